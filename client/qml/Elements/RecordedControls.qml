import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// The controls of the stream on the recorded page's timeline, between the picture and the
// timeline, so that none covers the picture; they wrap onto a second line in a narrow window.
Rectangle {
    id: strip
    objectName: "recordedControls"
    // The page's playback by time, its timeline and recording index.
    property TimelinePlayback playback: null
    property Item timeline: null
    property RecordingIndex index: null
    property string streamId: ""
    // The timeline's keys act (the page shows a stream).
    property bool keysActive: false
    property bool canBookmark: false
    property bool motionOpen: false

    signal layoutPlaybackRequested(real time)
    signal bookmarkRequested()
    signal motionToggled()

    visible: streamId !== ""
    height: visible ? controlFlow.implicitHeight + 8 : 0
    color: "#202020"

    Flow {
        id: controlFlow
        x: 4
        y: 4
        width: parent.width - 8
        spacing: 6

        Button {
            objectName: "playLayoutHere"
            visible: strip.playback !== null && strip.playback.time > 0
            text: qsTr("Play the layout from here") + I18n.localeNotify
            ToolTip.text: qsTr("Every camera of the layout at this moment, in step")
                          + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: strip.layoutPlaybackRequested(strip.playback.time)
        }

        Button {
            objectName: "bookmarkButton"
            enabled: strip.canBookmark
            text: qsTr("Bookmark") + I18n.localeNotify
            ToolTip.text: qsTr("Mark the moment shown with a note (B)") + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: strip.bookmarkRequested()
        }

        Button {
            objectName: "motionSearchButton"
            text: qsTr("Motion search") + I18n.localeNotify
            checkable: true
            checked: strip.motionOpen
            ToolTip.text: qsTr("Find the moments something moved in an area of the picture (Ctrl+M)")
                          + I18n.localeNotify
            ToolTip.visible: hovered
            onClicked: strip.motionToggled()
        }

        // Marks a range of the timeline and exports it as files to hand over.
        ExportPanel {
            width: Math.min(implicitWidth, controlFlow.width)
            active: strip.keysActive
            timeline: strip.timeline
            index: strip.index
            playback: strip.playback
            streamId: strip.streamId
        }
    }
}
