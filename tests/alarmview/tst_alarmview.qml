import QtQuick 2.11
import QtTest 1.2
import Elements 1.0

Item {
    id: scene
    width: 640
    height: 480

    Component {
        id: alarmComponent
        AlarmView {
            width: 400
            height: 200
            label: "Front door events"
            areaId: "3"
            events: siteEvents
        }
    }

    function findNamed(item, name) {
        for (var i = 0; i < item.children.length; ++i) {
            var child = item.children[i]
            if (child.objectName === name)
                return child
            var found = findNamed(child, name)
            if (found)
                return found
        }
        return null
    }

    // The texts of the rows the view shows, top to bottom.
    function shownTexts(view) {
        var list = findNamed(view, "alarmEvents")
        var texts = []
        for (var row = 0; row < list.count; ++row) {
            list.currentIndex = row
            var labels = list.currentItem.children[0].children
            texts.push(labels[1].text + " " + labels[2].text)
        }
        return texts
    }

    TestCase {
        name: "AlarmView"
        when: windowShown

        // The cell lists its area's events only, flashes while one is new, and its button
        // acknowledges them, and them only, which stops the flashing.
        function test_areaEventsFlashUntilAcknowledged() {
            var view = createTemporaryObject(alarmComponent, scene)
            var border = findNamed(view, "flashingBorder")
            verify(!border.active)
            siteEvents.addLocal("21", "door.FORCED", "door forced open")
            siteEvents.addLocal("14", "video.MOTION", "motion")
            siteEvents.addLocal("22", "door.LOCK", "<b>locked</b>")
            tryCompare(siteEvents, "count", 3)
            tryCompare(view.filter, "count", 2)
            // The door forced open is an alarm: on top while new, though the lock came later.
            compare(shownTexts(view), ["Front door door forced open", "Front lock <b>locked</b>"])
            compare(findNamed(view, "alarmNewCount").text, "2 new")

            verify(border.active)
            tryCompare(border, "lit", false, 2000)
            tryCompare(border, "lit", true, 2000)

            mouseClick(findNamed(view, "alarmAcknowledge"))
            tryCompare(view.filter, "newCount", 0)
            compare(siteEvents.newCount, 1) // the motion, outside the area, stays new
            verify(!border.active)
            wait(1200) // more than two periods of the flashing
            verify(!border.lit)
            compare(view.filter.count, 2)
            compare(shownTexts(view), ["Front lock <b>locked</b>", "Front door door forced open"])
        }
    }
}
