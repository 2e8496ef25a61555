import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// The recorded stream's timeline with its day navigation: previous and next day, a calendar,
// "Now", and what is under the pointer. Clicks on the timeline are handed to the page.
Rectangle {
    id: panel
    objectName: "timelinePanel"
    property alias timeline: timeline
    property alias index: timeline.index
    property alias texts: timeline.texts
    property alias playhead: timeline.playhead
    // The streams whose bookmarks are flagged on the timeline.
    property alias bookmarkStreams: timeline.bookmarkStreams
    // Searching the recordings or fetching texts.
    property bool busy: false
    // The page's playback, which names a chunk's recording: the pictures over the timeline
    // come from there. None, no pictures.
    property QtObject playback: null
    signal momentClicked(var time)

    implicitHeight: navigation.height + strip.height + timeline.height
    // The last day, now near the right edge.
    Component.onCompleted: timeline.showRange(Date.now() - 23 * 3600 * 1000,
                                              Date.now() + 3600 * 1000)
    color: "#202020"

    readonly property real dayMs: 24 * 3600 * 1000

    function dayStart(t) {
        var d = new Date(t)
        return new Date(d.getFullYear(), d.getMonth(), d.getDate()).getTime()
    }
    // The whole local day of `t`, whatever its length (days of 23 and 25 hours included).
    function showDay(t) {
        var start = dayStart(t)
        var d = new Date(start)
        var end = new Date(d.getFullYear(), d.getMonth(), d.getDate() + 1).getTime()
        timeline.showRange(start, end)
    }
    function stepDay(delta) {
        var d = new Date(dayStart((timeline.viewStart + timeline.viewEnd) / 2))
        showDay(new Date(d.getFullYear(), d.getMonth(), d.getDate() + delta, 12).getTime())
    }
    // Now near the right edge, the span kept.
    function showNow() {
        var span = timeline.viewEnd - timeline.viewStart
        var now = Date.now()
        timeline.showRange(now - span * 0.9, now + span * 0.1)
    }

    RowLayout {
        id: navigation
        anchors.left: parent.left
        anchors.right: parent.right
        height: 32
        spacing: 4
        ToolButton {
            objectName: "previousDay"
            text: "\u25C0"
            ToolTip.text: qsTr("Previous day") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: panel.stepDay(-1)
        }
        Button {
            id: dayButton
            objectName: "dayButton"
            flat: true
            text: I18n.localeNotify + new Date((timeline.viewStart + timeline.viewEnd) / 2)
                  .toLocaleDateString(Qt.locale(I18n.locale), Locale.ShortFormat)
            contentItem: Label { text: dayButton.text; color: "white" }
            onClicked: {
                dayPicker.selected = new Date((timeline.viewStart + timeline.viewEnd) / 2)
                dayPicker.open()
            }
            DayPicker {
                id: dayPicker
                y: -height
                onPicked: panel.showDay(new Date(day.getFullYear(), day.getMonth(),
                                                 day.getDate(), 12).getTime())
            }
        }
        ToolButton {
            objectName: "nextDay"
            text: "\u25B6"
            ToolTip.text: qsTr("Next day") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: panel.stepDay(1)
        }
        ToolButton {
            objectName: "nowButton"
            text: qsTr("Now") + I18n.localeNotify
            contentItem: Label { text: parent.text; color: "white" }
            onClicked: panel.showNow()
        }
        BusyIndicator {
            Layout.preferredWidth: 24
            Layout.preferredHeight: 24
            running: panel.busy
            visible: running
        }
        Label {
            id: textsFailed
            objectName: "receiptsUnavailable"
            // Re-read whenever the texts or the view change.
            property int revision: 0
            visible: {
                revision
                return panel.texts !== null
                        && panel.texts.failedBetween(timeline.viewStart, timeline.viewEnd)
            }
            text: qsTr("Receipts unavailable") + I18n.localeNotify
            color: "#ffb060"
            Connections {
                target: panel.texts
                function onChanged() { textsFailed.revision++ }
            }
            Connections {
                target: timeline
                function onViewChanged() { textsFailed.revision++ }
            }
        }
        Item { Layout.fillWidth: true }
    }

    // While the timeline shows an hour or less: a picture of each labelled tick's moment.
    Item {
        id: strip
        objectName: "thumbnailStrip"
        anchors.top: navigation.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        visible: stripSlots.shown
        height: visible ? Math.round(stripSlots.pictureWidth * 9 / 16) + 4 : 0
        clip: true
        ThumbnailStrip {
            id: stripSlots
            recordings: timeline.index
            playback: panel.playback
            viewStart: timeline.viewStart
            viewEnd: timeline.viewEnd
            width: timeline.width
        }
        Repeater {
            model: stripSlots
            Rectangle {
                objectName: "stripPicture"
                x: {
                    timeline.viewStart
                    timeline.viewEnd
                    timeline.width
                    return Math.round(timeline.xAt(model.time) - width / 2)
                }
                y: 2
                width: stripSlots.pictureWidth
                height: strip.height - 4
                color: "#101010"
                border.color: "#404040"
                ThumbnailView {
                    id: stripPicture
                    anchors.fill: parent
                    anchors.margins: 1
                    image: model.image
                }
            }
        }
    }

    Timeline {
        id: timeline
        objectName: "timeline"
        // Its day and hour labels are drawn in the language's way.
        Connections {
            target: I18n
            function onLocaleChanged() { timeline.update() }
        }
        anchors.top: strip.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        height: 64
        bookmarks: App.bookmarks
        onClicked: panel.momentClicked(time)
        onHoverTimeChanged: panel.showThumbnail()
    }

    // The picture of the moment under the pointer, above it: the keyframe at or before it, of
    // a recording that is complete and not known to be lost.
    function showThumbnail() {
        var t = timeline.hoverTime
        var chunk = t >= 0 && panel.playback && panel.index ? panel.index.chunkAt(t) : null
        if (!chunk || chunk.start === undefined || chunk.unavailable || chunk.open) {
            thumbnails.clear()
            return
        }
        thumbnails.show(panel.playback.recordingUrl(chunk.start), t - chunk.start)
    }
    TimelineThumbnails {
        id: thumbnails
    }
    Rectangle {
        id: thumbnailBox
        objectName: "timelineThumbnail"
        z: 2
        visible: thumbnails.imageOffset >= 0 && timeline.hoverTime >= 0
        width: thumbnailView.implicitWidth + 4
        height: thumbnailView.implicitHeight + 4
        x: Math.max(0, Math.min(panel.width - width,
                                timeline.xAt(timeline.hoverTime) - width / 2))
        y: timeline.y - height - 4
        color: "black"
        border.color: "lightgrey"
        ThumbnailView {
            id: thumbnailView
            x: 2
            y: 2
            width: implicitWidth
            height: implicitHeight
            image: thumbnails.image
        }
    }
}
