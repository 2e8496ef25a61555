import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0
import Elements 1.0

// Recorded video: pick a stream, then one of its recorded chunks; the chunk is downloaded from
// the stream's gateway and played with the point-of-sale texts recorded with it.
Page {
    id: page
    objectName: "recordedPage"
    background: Rectangle { color: "black" }

    property string deviceId: ""
    property string streamId: ""
    // The chunk list's recording: what it plays and the texts laid over it.
    property alias startTime: chunkPath.startTime
    property alias endTime: chunkPath.endTime
    property alias schedule: chunkPath.schedule
    property alias fullSchedule: chunkPath.fullSchedule
    property alias posDataError: chunkPath.posDataError
    readonly property alias downloadError: recordingLoader.error
    // "Play the layout from here": the whole layout in playback at that moment.
    signal layoutPlaybackRequested(real time)

    // What the chosen stream has recorded (StreamHistory), shared with every other screen.
    property StreamHistory history: null
    readonly property RecordingIndex index: history ? history.index : null

    function chooseStream(device, stream) {
        console.log("Device id:", device, "stream id:", stream)
        deviceId = device
        streamId = stream
        chunkPath.list(stream)
        openOnTimeline(stream)
    }

    function chooseChunk(start, end, size) {
        playback.stop()
        receiptTime = -1
        receiptText = ""
        chunkPath.chooseChunk(start, end, size)
    }

    function fetchRecording(gateway) { chunkPath.fetchRecording(gateway) }

    // Recorded video by time: the chunk searches in flight.
    readonly property int searchesRunning: history ? history.searching : 0
    // What was shown of the channel texts so far, by time; -1 after a jump.
    property real overlayShownUntil: -1
    readonly property real hourMs: 3600 * 1000

    // A receipt found by a transaction search: its till plays from 10 s before it, the
    // receipt laid over the picture and a badge saying where playback is against it.
    property real receiptTime: -1
    property string receiptText: ""
    function openReceipt(device, stream, time, text) {
        openAt("the receipt of stream", device, stream, time, 10000, time, String(text))
    }
    // An event of the past: the camera that shows its source plays from 10 s before it.
    function openMoment(device, stream, time) {
        openAt("stream", device, stream, time, 10000, -1, "")
    }
    // A bookmark: its camera plays from its very moment.
    function openBookmark(device, stream, time) {
        openAt("the bookmark of stream", device, stream, time, 0, -1, "")
    }
    function openAt(what, device, stream, time, lead, receipt, text) {
        console.log("Opening " + what, stream, "at", new Date(time).toISOString())
        receiptTime = receipt
        receiptText = text
        showMoment(device, stream, time, lead)
    }

    // `lead`: how long before the moment playback starts.
    function showMoment(device, stream, time, lead) {
        // Nothing of what played before is carried over to the stream: this moment plays.
        playback.stop()
        leaveHistory()
        chooseStream(device, stream)
        var view = timelinePanel.timeline
        view.showRange(time - 30 * 60000, time + 30 * 60000)
        playMoment(time - lead)
    }

    function streamName() {
        var stream = App.zarnRepository.objectById(streamId)
        return stream ? stream.name : streamId
    }

    // A camera chosen while something plays by time opens at the same moment.
    function openOnTimeline(stream) {
        var moment = playback.active ? playback.time : (history ? history.pendingMoment : -1)
        playback.stop()
        player.url = ""
        leaveHistory()
        history = App.histories.of(stream)
        overlayShownUntil = -1
        gatewayProbe.reset()
        if (history.gatewayKnown)
            posTexts.setSource(stream, history.gateway)
        requestVisible()
        if (moment >= 0)
            history.playWhenKnown(moment)
    }

    // The history shown so far waits for nothing of this page any more.
    function leaveHistory() {
        if (!history)
            return
        history.cancelPending()
        history.showRange(0, 0)
        history.playhead = -1
    }

    // The visible range, searched with as much again on each side as the history decides.
    function requestVisible() {
        if (!history)
            return
        var view = timelinePanel.timeline
        history.showRange(view.viewStart, view.viewEnd)
        if (history.gatewayKnown)
            posTexts.request(view.viewStart, view.viewEnd)
    }

    // A click on the timeline, a key or a transaction: plays the moment once it can.
    function playMoment(t) {
        if (!history)
            return
        recordingLoader.cancel()
        chunkPath.stopTexts()
        history.playWhenKnown(t)
    }

    // The history knows what holds `t`: it plays.
    function playKnownMoment(t) {
        var view = timelinePanel.timeline
        if (t < view.viewStart || t > view.viewEnd)
            view.centerOn(t)
        overlayShownUntil = -1
        player.url = ""
        posTexts.request(t - hourMs, t + hourMs)
        playback.seekTo(t)
    }

    // Steps from what plays (or the play head) by `ms`.
    function stepBy(ms) {
        var from = playback.time >= 0 ? playback.time : timelinePanel.playhead
        if (from < 0)
            return
        playMoment(from + ms)
    }

    // Home and End: the first or last recorded moment of the whole stream.
    function goToEdge(edge) {
        if (!history)
            return
        recordingLoader.cancel()
        chunkPath.stopTexts()
        history.playEdge(edge === "last")
    }

    // The channel texts the playback has just passed are laid over the picture, half a second
    // early as with the chunk list's recordings; a jump shows none of those it skipped.
    function showTextsUntil(t) {
        if (!playback.active || t < 0)
            return
        if (overlayShownUntil < 0 || t < overlayShownUntil || t - overlayShownUntil > 3000) {
            overlayShownUntil = t
            return
        }
        var texts = posTexts.textsBetween(overlayShownUntil + 500, t + 500)
        for (var i = 0; i < texts.length; ++i)
            player.appendPos(texts[i].text)
        if (Math.floor(t / hourMs) !== Math.floor(overlayShownUntil / hourMs))
            posTexts.request(t - 60000, t + hourMs)
        overlayShownUntil = t
    }

    // Another page shows: the camera and the moment stay chosen, the player stops, and the
    // moment plays again when the page is back (the console keeps one page for its life).
    property real momentWhenLeft: -1
    function forgetLeftMoment() { momentWhenLeft = -1 }
    onVisibleChanged: {
        if (!visible) {
            var pending = history ? history.pendingMoment : -1
            if (streamId === "" || !playback.active && pending < 0)
                return
            momentWhenLeft = playback.active ? playback.time : pending
            console.log("Recorded page left at", new Date(momentWhenLeft).toISOString())
            playback.stop()
            player.url = ""
            leaveHistory()
        } else if (momentWhenLeft >= 0) {
            requestVisible()
            var t = momentWhenLeft
            momentWhenLeft = -1
            playMoment(t)
        }
    }

    // Keys of the timeline, while this page shows a stream on it.
    readonly property bool timelineKeys: visible && streamId !== ""
    Shortcut { sequence: "Left"; enabled: page.timelineKeys; onActivated: page.stepBy(-10000) }
    Shortcut { sequence: "Right"; enabled: page.timelineKeys; onActivated: page.stepBy(10000) }
    Shortcut { sequence: "Shift+Left"; enabled: page.timelineKeys; onActivated: page.stepBy(-60000) }
    Shortcut { sequence: "Shift+Right"; enabled: page.timelineKeys; onActivated: page.stepBy(60000) }
    Shortcut { sequence: "Home"; enabled: page.timelineKeys; onActivated: page.goToEdge("first") }
    Shortcut { sequence: "End"; enabled: page.timelineKeys; onActivated: page.goToEdge("last") }
    // B or "Bookmark": a note for a bookmark of the moment shown (what plays, else the play head).
    RecordedBookmark {
        id: bookmark
        active: page.timelineKeys
        streamId: page.streamId
        streamName: page.streamName()
        moment: playback.time >= 0 ? playback.time : timelinePanel.playhead
    }
    Shortcut {
        sequence: "Space"
        enabled: page.timelineKeys && player.backend.playlistCount > 0
        onActivated: player.backend.playPause()
    }

    Timer {
        id: viewSettle
        interval: 150
        onTriggered: page.requestVisible()
    }

    GatewayProbe {
        id: gatewayProbe
        objectName: "gatewayProbe"
    }

    PosTextCache {
        id: posTexts
        objectName: "posTexts"
    }

    TimelinePlayback {
        id: playback
        objectName: "timelinePlayback"
        player: player.backend
        index: page.index
        gateway: page.history ? page.history.gateway : ""
        onTimeChanged: {
            page.showTextsUntil(time)
            if (page.history)
                page.history.playhead = active ? time : -1
        }
        onActiveChanged: if (page.history) page.history.playhead = active ? time : -1
        // A refused recording may be a gateway that does not answer at all: said in words.
        onChunkUnavailable: gatewayProbe.check(gateway)
        onNeedChunksAfter: page.history.search(t, t + 6 * page.hourMs)
    }

    Connections {
        target: page.history
        function onMomentReady(t) { page.playKnownMoment(t) }
        function onGatewayChanged() {
            gatewayProbe.reset()
            if (page.history.gatewayKnown) {
                posTexts.setSource(page.streamId, page.history.gateway)
                page.requestVisible()
            }
        }
    }

    Connections {
        target: timelinePanel.timeline
        function onViewChanged() { viewSettle.restart() }
    }

    ChunkRecording {
        id: chunkPath
        player: player
        loader: recordingLoader
        history: page.history
        deviceId: page.deviceId
        streamId: page.streamId
    }

    HSpliter {
        anchors.fill: parent
        // The column's texts keep the style's colour: the splitter's pane behind them is light.
        leftContent: RecordedChoices {
            chunks: chunkPath.chunks
            streamChosen: page.streamId !== ""
            onStreamClicked: page.chooseStream(device, stream)
            onChunkClicked: page.chooseChunk(start, end, size)
            onMomentChosen: page.playMoment(time)
        }
        rightContent: Item {
            CameraView {
                id: player
                objectName: "recordedPlayer"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.rightMargin: motionTool.panelWidth
                anchors.top: parent.top
                anchors.bottom: controlStrip.top
                fpsVisible: true
                // the receipt opened from a search keeps the top right corner
                receiptTopMargin: notes.receiptHeight
                // and the playback controls and the export panel keep the bottom
                receiptBottomMargin: 66 + 8 + 48

                PlaybackControls {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    visible: duration > 0
                    player: player.backend
                    onSeeked: chunkPath.followPlayer(seconds, paused)
                    onPauseToggled: chunkPath.followPlayer(position, paused)
                    onSpeedChosen: {
                        chunkPath.speed = speed
                        chunkPath.followPlayer(position, paused)
                    }
                }

                // Fetches the chosen chunk and hands it to the player; says what went wrong.
                RecordingLoader {
                    id: recordingLoader
                    anchors.fill: parent
                    view: player
                    onReady: chunkPath.start()
                }
            }

            // Motion search: Ctrl+M opens its panel beside the picture, the areas are drawn on it.
            MotionSearchTool {
                id: motionTool
                anchors.fill: parent
                anchors.bottomMargin: parent.height - controlStrip.y
                keysActive: page.timelineKeys
                streamId: page.streamId
                history: page.history
                timeline: timelinePanel.timeline
                picture: player
                onPlayFrom: page.playMoment(time)
            }

            RecordedControls {
                id: controlStrip
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: timelinePanel.top
                playback: playback
                timeline: timelinePanel.timeline
                index: page.index
                streamId: page.streamId
                keysActive: page.timelineKeys
                canBookmark: bookmark.moment > 0
                motionOpen: motionTool.open
                onLayoutPlaybackRequested: page.layoutPlaybackRequested(time)
                onBookmarkRequested: bookmark.ask()
                onMotionToggled: motionTool.open = !motionTool.open
            }

            TimelinePanel {
                id: timelinePanel
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                visible: page.streamId !== ""
                height: visible ? implicitHeight : 0
                index: page.index
                texts: posTexts
                playhead: playback.time
                playback: playback
                bookmarkStreams: page.streamId !== "" ? [page.streamId] : []
                busy: page.searchesRunning > 0 || posTexts.busy
                onMomentClicked: page.playMoment(time)
            }

            RecordedNotes {
                id: notes
                objectName: "recordedNotes"
                anchors.fill: player
                playback: playback
                idle: page.streamId !== "" && !playback.active && player.url === ""
                      && playback.time >= 0
                gatewayDown: gatewayProbe.down && page.streamId !== "" && page.history !== null
                // Looked up when said: a reloaded tree replaces the stream's object.
                gatewayText: gatewayDown ? qsTr("The gateway of %1 at %2 does not answer")
                                           .arg(page.streamName()).arg(page.history.gatewayHostPort)
                                           + I18n.localeNotify
                                         : ""
                posDataError: page.posDataError
                receiptText: page.receiptText
                receiptTime: page.receiptTime
                pendingMoment: page.history ? page.history.pendingMoment : -1
                onPlayFrom: page.playMoment(time)
            }
        }
    }
}
