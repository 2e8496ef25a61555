import QtQuick 2.11
import QtQuick.Window 2.2

// The player's last picture, frozen and laid over the player while its stream is replaced by
// another or its decoding is off, so that the cell shows that picture instead of black until
// the player draws again.
ShaderEffectSource {
    id: hold
    objectName: "pictureHold"
    property var player: null
    readonly property bool holding: visible
    // Frames still to be drawn after the player restarted before the hold lets go: by then the
    // new picture is in the player's framebuffer.
    property int framesToRelease: -1
    property var pending: null

    sourceItem: player
    live: false
    hideSource: false
    visible: false

    // Freezes the picture on screen, then runs action once that picture is captured. A hold
    // already up keeps its picture: the player may show none by now.
    function capture(action) {
        framesToRelease = -1
        if (!visible)
            scheduleUpdate()
        visible = true
        pending = action
        captureFallback.restart()
    }

    // The player shows its new stream: let go once it was drawn.
    function releaseAfterNextFrames() {
        if (visible && pending === null)
            framesToRelease = 2
    }

    function releaseNow() {
        framesToRelease = -1
        pending = null
        visible = false
        captureFallback.stop()
        releaseFallback.stop()
    }

    function runPending() {
        captureFallback.stop()
        var action = pending
        pending = null
        if (typeof action === "function")
            action()
    }

    Connections {
        target: hold.Window.window
        enabled: hold.visible
        function onFrameSwapped() {
            if (hold.pending !== null) {
                hold.runPending()
            } else if (hold.framesToRelease > 0 && --hold.framesToRelease === 0) {
                hold.releaseNow()
            }
        }
    }

    // A window that draws nothing (minimised) swaps no frames: act anyway.
    Timer {
        id: captureFallback
        interval: 250
        onTriggered: hold.runPending()
    }
    // A picture that never comes does not keep an old one up for ever; the cell's status
    // takes over from there.
    Timer {
        id: releaseFallback
        interval: 10000
        running: hold.visible && hold.pending === null
        onTriggered: hold.releaseNow()
    }
}
