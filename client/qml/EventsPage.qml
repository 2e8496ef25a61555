import QtQuick 2.15
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0
import Elements 1.0

// The site's events and the console's own, newest first: filtered by class, source, text and
// whether they are new; acknowledged one by one or all those shown; and from each, by a
// double click or Enter, the picture of its source.
Page {
    id: page
    objectName: "eventsPage"

    // An event opened: the picture of its source at its time is wanted.
    signal eventActivated(string sourceId, real time, real arrival)
    // The whole current layout wanted in playback at `time`, ms since the epoch.
    signal layoutPlaybackRequested(real time)

    // What the filters are set to; empty for all.
    property string chosenCls: ""
    property string chosenSourceId: ""
    property var classChoices: [allClasses()]
    property var sourceChoices: [allSources()]

    readonly property alias filter: shown

    StackView.onActivated: {
        refreshChoices()
        eventList.forceActiveFocus()
    }

    EventFilter {
        id: shown
        objectName: "eventFilter"
        events: App.events
        cls: page.chosenCls
        sourceId: page.chosenSourceId
        text: findField.text
        newOnly: newOnlyBox.checked
        // A door forced open stays on top while new, however many motions come after it.
        alarmsFirst: true
    }

    function allClasses() { return qsTr("All classes") }
    function allSources() { return { id: "", name: qsTr("All sources") } }
    // The filters' first choices are made by functions: made again in a new language.
    Connections {
        target: I18n
        function onLocaleChanged() { page.refreshChoices() }
    }

    // The classes and sources of the events listed now, each filter keeping its choice even
    // when no event of it is left.
    function refreshChoices() {
        var classes = App.events.classes()
        // "audit" lists every file handed over, whatever its kind.
        if (classes.indexOf("audit") < 0)
            classes.push("audit")
        if (chosenCls !== "" && classes.indexOf(chosenCls) < 0)
            classes.push(chosenCls)
        classChoices = [allClasses()].concat(classes)
        classBox.currentIndex = Math.max(0, classChoices.indexOf(chosenCls))

        var sources = App.events.sources()
        var chosenAt = -1
        for (var i = 0; i < sources.length; ++i) {
            if (sources[i].id === chosenSourceId)
                chosenAt = i + 1
        }
        if (chosenSourceId !== "" && chosenAt < 0) {
            sources.push({ id: chosenSourceId, name: chosenSourceId })
            chosenAt = sources.length
        }
        sourceChoices = [allSources()].concat(sources)
        sourceBox.currentIndex = Math.max(0, chosenAt)
    }

    function timeText(ms) { return I18n.localeNotify + I18n.dateTimeText(ms) }

    function stateText(isNew, ackBy, ackTime) {
        if (isNew)
            return qsTr("New")
        return qsTr("Acknowledged by %1 at %2").arg(ackBy)
                .arg(Qt.formatDateTime(new Date(ackTime), "HH:mm:ss"))
    }

    // The names above the source, without the source itself.
    function placeOf(path, source) {
        var tail = " / " + source
        if (path.length > tail.length && path.substring(path.length - tail.length) === tail)
            return path.substring(0, path.length - tail.length)
        return path === source ? "" : path
    }

    function countText() {
        var events = shown.count === 1 ? qsTr("1 event") : qsTr("%1 events").arg(shown.count)
        return qsTr("%1, %2 new").arg(events).arg(shown.newCount)
    }

    function acknowledgeCurrent() {
        var key = shown.keyAt(eventList.currentIndex)
        if (key >= 0)
            App.events.acknowledge(key)
    }

    function openCurrent() {
        var item = eventList.currentItem
        if (item)
            page.eventActivated(item.sourceId, item.time, item.arrival)
    }

    component HeaderCell: Label {
        height: parent.height
        verticalAlignment: Text.AlignVCenter
        leftPadding: 6
        font.bold: true
        elide: Text.ElideRight
        color: "black"
    }

    component Cell: Label {
        anchors.verticalCenter: parent.verticalCenter
        leftPadding: 6
        elide: Text.ElideRight
        textFormat: Text.PlainText
        color: "black"
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        Flow {
            Layout.fillWidth: true
            spacing: 6
            ComboBox {
                id: classBox
                objectName: "eventClass"
                width: 190
                model: page.classChoices
                // Class names come from the site: shown as the characters they hold.
                delegate: ItemDelegate {
                    width: classBox.width
                    contentItem: Label {
                        text: modelData
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                    }
                    highlighted: classBox.highlightedIndex === index
                }
                // A text longer than the box is cut; the whole of it shows when hovered.
                ToolTip.visible: hovered && classBoxLabel.truncated
                ToolTip.text: displayText
                contentItem: Label {
                    id: classBoxLabel
                    leftPadding: 8
                    rightPadding: classBox.indicator.width + 4
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: classBox.displayText
                }
                onActivated: page.chosenCls = index > 0 ? page.classChoices[index] : ""
            }
            ComboBox {
                id: sourceBox
                objectName: "eventSource"
                width: 210
                model: page.sourceChoices
                textRole: "name"
                // Source names come from the site: shown as the characters they hold.
                delegate: ItemDelegate {
                    width: sourceBox.width
                    contentItem: Label {
                        text: modelData.name
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                    }
                    highlighted: sourceBox.highlightedIndex === index
                }
                // A text longer than the box is cut; the whole of it shows when hovered.
                ToolTip.visible: hovered && sourceBoxLabel.truncated
                ToolTip.text: displayText
                contentItem: Label {
                    id: sourceBoxLabel
                    leftPadding: 8
                    rightPadding: sourceBox.indicator.width + 4
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: sourceBox.displayText
                }
                onActivated: page.chosenSourceId = page.sourceChoices[index].id
            }
            CheckBox {
                id: newOnlyBox
                objectName: "eventNewOnly"
                text: qsTr("New only") + I18n.localeNotify
            }
            TextField {
                id: findField
                objectName: "eventText"
                width: 220
                placeholderText: qsTr("Find in events") + I18n.localeNotify
                selectByMouse: true
                Keys.onDownPressed: eventList.forceActiveFocus()
            }
            Button {
                objectName: "acknowledgeEvent"
                text: qsTr("Acknowledge") + I18n.localeNotify
                enabled: eventList.currentItem ? eventList.currentItem.isNew : false
                onClicked: page.acknowledgeCurrent()
            }
            Button {
                objectName: "playLayoutAtEvent"
                text: qsTr("Play the layout at this time") + I18n.localeNotify
                enabled: eventList.currentItem !== null
                onClicked: page.layoutPlaybackRequested(eventList.currentItem.time)
            }
            Button {
                objectName: "acknowledgeShown"
                text: qsTr("Acknowledge all") + I18n.localeNotify
                enabled: shown.newCount > 0
                onClicked: shown.acknowledgeShown()
            }
        }
        Connections {
            target: classBox.popup
            function onAboutToShow() { page.refreshChoices() }
        }
        Connections {
            target: sourceBox.popup
            function onAboutToShow() { page.refreshChoices() }
        }

        Label {
            objectName: "eventCount"
            text: page.countText() + I18n.localeNotify
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: "#b0b0b0"
            color: "white"

            Rectangle {
                id: header
                x: 1
                y: 1
                width: parent.width - 2
                height: 28
                color: "#e8e8e8"
                Row {
                    anchors.fill: parent
                    HeaderCell {
                        width: eventList.timeWidth
                        text: qsTr("Time") + I18n.localeNotify
                    }
                    HeaderCell {
                        width: eventList.sourceWidth
                        text: qsTr("Source") + I18n.localeNotify
                    }
                    HeaderCell {
                        width: eventList.classWidth
                        text: qsTr("Class") + I18n.localeNotify
                    }
                    HeaderCell {
                        width: eventList.textWidth
                        text: qsTr("Event") + I18n.localeNotify
                    }
                    HeaderCell {
                        width: eventList.stateWidth
                        text: qsTr("State") + I18n.localeNotify
                    }
                }
            }

            ListView {
                id: eventList
                objectName: "eventList"
                anchors.fill: parent
                anchors.topMargin: header.height + 1
                anchors.margins: 1
                clip: true
                model: shown
                currentIndex: -1
                boundsBehavior: Flickable.StopAtBounds
                keyNavigationEnabled: true
                highlightMoveDuration: 0
                ScrollBar.vertical: ScrollBar { minimumSize: 0.04 }

                readonly property int rowHeight: 38
                readonly property int timeWidth: 160
                readonly property int sourceWidth: 200
                readonly property int classWidth: 120
                readonly property int stateWidth: 290
                readonly property int textWidth: Math.max(120, width - timeWidth - sourceWidth
                                                               - classWidth - stateWidth)

                Keys.onSpacePressed: page.acknowledgeCurrent()
                Keys.onReturnPressed: page.openCurrent()
                Keys.onEnterPressed: page.openCurrent()

                // Texts come from the site: shown as the characters they hold.
                delegate: Rectangle {
                    id: row
                    readonly property bool isNew: model.isNew
                    readonly property string sourceId: model.sourceId
                    readonly property real time: model.time
                    readonly property real arrival: model.arrival
                    width: eventList.width
                    height: eventList.rowHeight
                    color: ListView.isCurrentItem ? "#cfe0f5"
                                                  : model.isNew ? "#fff0ee"
                                                                : (index % 2 ? "#f6f6f6" : "white")
                    // New events are marked at the left edge as well as in bold.
                    Rectangle {
                        width: 4
                        height: parent.height
                        color: "#d32f2f"
                        visible: model.isNew
                    }
                    // A new event of an alarm class flashes until it is acknowledged.
                    FlashingBorder {
                        objectName: "alarmRowFlash"
                        flashing: model.isNew && model.isAlarm
                    }
                    Row {
                        anchors.fill: parent
                        Cell {
                            width: eventList.timeWidth
                            font.bold: model.isNew
                            text: page.timeText(model.time)
                        }
                        Column {
                            width: eventList.sourceWidth
                            anchors.verticalCenter: parent.verticalCenter
                            // The whole path, where the column is too narrow for it.
                            ToolTip {
                                visible: sourceHover.hovered && model.sourcePath !== ""
                                delay: 600
                                contentItem: Label {
                                    textFormat: Text.PlainText
                                    text: model.sourcePath
                                }
                            }
                            HoverHandler { id: sourceHover }
                            Label {
                                width: parent.width
                                leftPadding: 6
                                elide: Text.ElideRight
                                textFormat: Text.PlainText
                                color: "black"
                                font.bold: model.isNew
                                text: model.source
                            }
                            Label {
                                width: parent.width
                                leftPadding: 6
                                elide: Text.ElideLeft
                                textFormat: Text.PlainText
                                color: "#808080"
                                font.pixelSize: 11
                                visible: text !== ""
                                text: page.placeOf(model.sourcePath, model.source)
                            }
                        }
                        Cell {
                            width: eventList.classWidth
                            text: model.cls
                        }
                        Cell {
                            width: eventList.textWidth
                            font.bold: model.isNew
                            text: model.text
                        }
                        Cell {
                            width: eventList.stateWidth
                            color: model.isNew ? "#b00020" : "#505050"
                            font.bold: model.isNew
                            text: page.stateText(model.isNew, model.ackBy, model.ackTime)
                                  + I18n.localeNotify
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            eventList.currentIndex = index
                            eventList.forceActiveFocus()
                        }
                        onDoubleClicked: page.eventActivated(row.sourceId, row.time, row.arrival)
                    }
                }

            }
            // Beside the list, not in it: a list's children sit on its content, which has no
            // height while the list is empty.
            Label {
                anchors.centerIn: eventList
                visible: eventList.count === 0
                color: "#707070"
                text: (App.events.count === 0 ? qsTr("No events yet")
                                              : qsTr("No event matches")) + I18n.localeNotify
            }
        }
    }
}
