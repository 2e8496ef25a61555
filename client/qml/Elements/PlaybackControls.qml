import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0
import Native 1.0

// Controls of a recording: play and pause, a seek bar with position and duration, speed and
// a step of one frame.
Rectangle {
    id: controls
    objectName: "playbackControls"
    // The MpvObject playing the recording.
    property var player: null
    readonly property real duration: player ? player.duration : 0
    readonly property real position: player ? player.position : 0
    readonly property bool paused: player ? player.paused : false
    readonly property var speeds: [0.5, 1, 2, 4]
    // Set from a seek until the player reports its first position after it.
    property real seekTarget: -1
    // The player's time has jumped, or stopped, or runs again: the page re-times what follows.
    signal seeked(real seconds)
    signal pauseToggled(bool paused)
    signal speedChosen(real speed)

    height: 66
    color: Qt.rgba(0, 0, 0, 0.6)

    function timeText(seconds) {
        var s = Math.max(0, Math.floor(seconds))
        var m = Math.floor(s / 60)
        s = s % 60
        return m + ":" + (s < 10 ? "0" : "") + s
    }

    function seekTo(seconds) {
        if (!player || duration <= 0)
            return
        var target = Math.max(0, Math.min(seconds, duration))
        console.log("Seeking to:", target.toFixed(2))
        seekTarget = target
        player.seek(target)
        seeked(target)
    }

    function togglePause() {
        if (!player)
            return
        player.playPause()
    }

    function stepFrame() {
        if (!player)
            return
        player.command(["frame-step"])
    }

    function setSpeed(speed) {
        if (!player)
            return
        console.log("Playback speed:", speed)
        player.speed = speed
        speedChosen(speed)
    }

    Connections {
        target: controls.player
        function onPositionChanged(value) {
            if (controls.seekTarget >= 0 && Math.abs(value - controls.seekTarget) < 5) {
                console.log("Position after seeking:", value.toFixed(2))
                controls.seekTarget = -1
            }
        }
        function onPausedChanged(value) {
            controls.pauseToggled(value)
        }
    }

    Slider {
        id: seekBar
        objectName: "seekBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        height: 24
        padding: 0
        from: 0
        to: Math.max(controls.duration, 0.001)
        enabled: controls.duration > 0
        // The recording the handle was taken on: when playback runs into the next one while
        // the handle is held, letting go seeks nothing (the place was meant for the other).
        property string heldOn: ""
        onPressedChanged: {
            var current = controls.player ? controls.player.path : ""
            if (pressed) {
                heldOn = current
                return
            }
            if (current !== heldOn) {
                console.log("Seek dropped: the recording changed while the handle was held")
                return
            }
            controls.seekTo(value)
        }
    }

    // The bar follows the player, except while the operator holds the handle.
    Binding {
        target: seekBar
        property: "value"
        value: controls.position
        when: !seekBar.pressed
    }

    Row {
        id: buttons
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 2
        spacing: 2
        leftPadding: 4

        ToolButton {
            objectName: "playPauseButton"
            width: 36
            height: 36
            text: controls.paused ? "\u25b6" : "\u2016"
            ToolTip.visible: hovered
            ToolTip.text: controls.paused ? qsTr("Play") : qsTr("Pause")
            onClicked: controls.togglePause()
        }
        ToolButton {
            objectName: "frameStepButton"
            width: 36
            height: 36
            text: "\u25b6|"
            ToolTip.visible: hovered
            ToolTip.text: qsTr("Next frame")
            onClicked: controls.stepFrame()
        }
        Label {
            height: 36
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            color: G.theme.foreColor
            text: controls.timeText(seekBar.pressed ? seekBar.value : controls.position) + " / "
                  + controls.timeText(controls.duration)
        }
    }

    ComboBox {
        id: speedBox
        objectName: "speedBox"
        anchors.right: parent.right
        anchors.rightMargin: 4
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 2
        width: 80
        height: 36
        model: controls.speeds.map(function(s) { return s + "\u00d7" })
        currentIndex: 1
        ToolTip.visible: hovered
        ToolTip.text: qsTr("Speed")
        onActivated: controls.setSpeed(controls.speeds[index])
    }
}
