import QtQuick 2.11
import Native 1.0

// The texts a camera cell's stream printed, laid over the cell in layout playback as the
// moment passes them, fetched from its gateway as on the recorded page; after a jump the last
// one printed shortly before the moment shows, once the cell has its picture.
Item {
    id: texts

    // The cell's camera view, where the texts are laid.
    property var cameraView: null
    property string streamId: ""
    // The stream's gateway, "http://host:port".
    property string gateway: ""
    property bool playbackMode: false
    property real moment: -1
    // The cell's state in playback (LayoutPlayback.cellStates).
    property string cellState: ""
    // What the cell says in place of a picture of the moment, from its state.
    readonly property string stateText: {
        if (cellState === "noRecording")
            return qsTr("No recording")
        if (cellState === "gatewayDown")
            return qsTr("The gateway does not answer")
        if (cellState === "searchFailed")
            return qsTr("Recordings unavailable")
        if (cellState === "searching")
            return qsTr("Searching the recordings…")
        return ""
    }

    readonly property real hourMs: 3600000
    readonly property real recentMs: 30000
    property real textsUntil: -1
    property real jumpedTo: -1

    function followTexts() {
        var t = moment
        if (!playbackMode || streamId === "" || t < 0)
            return
        if (textsUntil < 0 || t < textsUntil || t - textsUntil > 3000) {
            cameraView.clearPos()
            posTexts.setSource(streamId, gateway)
            posTexts.request(t - hourMs, t + hourMs)
            jumpedTo = t
        }
        var since = textsUntil + 500
        textsUntil = t
        if (jumpedTo >= 0) {
            if (posTexts.busy || cellState !== "playing")
                return
            jumpedTo = -1
            var recent = posTexts.textsBetween(t - recentMs, t + 500)
            if (recent.length > 0)
                cameraView.appendPos(recent[recent.length - 1].text)
            return
        }
        var passed = posTexts.textsBetween(since, t + 500)
        for (var i = 0; i < passed.length; ++i)
            cameraView.appendPos(passed[i].text)
        if (Math.floor(t / hourMs) !== Math.floor((since - 500) / hourMs))
            posTexts.request(t - 60000, t + hourMs)
    }

    onMomentChanged: followTexts()
    onPlaybackModeChanged: {
        // Neither live nor recorded texts may pass for the other.
        cameraView.clearPos()
        textsUntil = -1
        followTexts()
    }
    onCellStateChanged: {
        if (jumpedTo >= 0)
            followTexts()
    }

    PosTextCache {
        id: posTexts
        objectName: "playbackTexts"
    }
    Connections {
        target: posTexts
        enabled: texts.jumpedTo >= 0
        function onBusyChanged() { texts.followTexts() }
    }
}
