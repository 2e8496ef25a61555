import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// The bar under a layout in playback: play/pause, frame steps while paused, the speed, the
// moment, "Back to live", and the timeline of every cell's recordings together.
Rectangle {
    id: bar
    objectName: "playbackBar"
    property LayoutPlayback playback: null
    readonly property bool active: playback !== null && playback.active
    readonly property real moment: active ? playback.clock.moment : -1
    readonly property real shownHeight: visible ? height : 0
    signal backToLive()
    // "Bookmark": the page marks the moment of one of its cameras.
    signal bookmarkRequested()
    // The streams whose bookmarks are flagged on the bar's timeline.
    property alias bookmarkStreams: panel.bookmarkStreams

    visible: active
    height: controls.height + panel.height
    color: "#202020"

    function showAround(t) {
        panel.timeline.showRange(t - 30 * 60000, t + 30 * 60000)
    }

    // The play head stays in view while the moment runs on.
    onMomentChanged: {
        if (moment > 0 && (moment < panel.timeline.viewStart || moment > panel.timeline.viewEnd))
            panel.timeline.centerOn(moment)
    }

    Shortcut {
        sequence: "Space"
        enabled: bar.visible
        onActivated: bar.playback.paused ? bar.playback.play() : bar.playback.pause()
    }

    RowLayout {
        id: controls
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        height: 44
        spacing: 6

        Button {
            objectName: "playbackPlayPause"
            Layout.preferredWidth: 70
            text: (bar.active && bar.playback.paused ? qsTr("Play") : qsTr("Pause"))
                  + I18n.localeNotify
            onClicked: bar.playback.paused ? bar.playback.play() : bar.playback.pause()
        }
        Button {
            objectName: "playbackFrameBack"
            Layout.preferredWidth: 44
            text: "\u25C0|"
            enabled: bar.active && bar.playback.paused
            ToolTip.text: qsTr("One frame back") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: bar.playback.stepFrame(-1)
        }
        Button {
            objectName: "playbackFrameForward"
            Layout.preferredWidth: 44
            text: "|\u25B6"
            enabled: bar.active && bar.playback.paused
            ToolTip.text: qsTr("One frame on") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: bar.playback.stepFrame(1)
        }
        ComboBox {
            id: speedBox
            objectName: "playbackSpeed"
            Layout.preferredWidth: 90
            model: [0.5, 1, 2, 4, 8]
            currentIndex: 1
            displayText: currentText + "\u00D7"
            onActivated: bar.playback.setRate(model[index])
            // A new playback starts at the normal speed, as the clock does.
            Connections {
                target: bar
                function onActiveChanged() {
                    if (bar.active)
                        speedBox.currentIndex = 1
                }
            }
        }
        // Large, in the frame's colour: what shows is not live.
        Label {
            objectName: "playbackMoment"
            Layout.fillWidth: true
            text: (bar.moment > 0 ? qsTr("PLAYBACK  %1").arg(
                       Qt.formatDateTime(new Date(bar.moment), "yyyy-MM-dd  HH:mm:ss")) : "")
                  + I18n.localeNotify
            textFormat: Text.PlainText
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
            color: "#ff9800"
            font.pixelSize: 24
            font.bold: true
        }
        MomentField {
            objectName: "playbackMomentField"
            Layout.preferredWidth: 150
            Layout.preferredHeight: implicitHeight
            messageAbove: true
            enabled: bar.active
            onMomentChosen: {
                bar.playback.seek(time)
                bar.showAround(time)
            }
        }
        Button {
            objectName: "playbackBookmark"
            text: qsTr("Bookmark") + I18n.localeNotify
            ToolTip.text: qsTr("Mark this moment of the camera shown alone or last clicked (B)")
                          + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: bar.bookmarkRequested()
        }
        Button {
            objectName: "backToLive"
            text: qsTr("Back to live") + I18n.localeNotify
            ToolTip.text: qsTr("Every cell live again (Esc)") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: bar.backToLive()
        }
    }

    TimelinePanel {
        id: panel
        objectName: "playbackTimeline"
        anchors.top: controls.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        index: bar.playback ? bar.playback.index : null
        playhead: bar.moment
        onMomentClicked: bar.playback.seek(time)
    }
}
