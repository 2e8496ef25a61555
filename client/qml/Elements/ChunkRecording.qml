import QtQuick 2.11
import Native 1.0

// The recorded page's chunk list and what it plays: the stream's chunks as the server lists
// them; one chosen is downloaded from the stream's gateway and played with the point-of-sale
// texts recorded with it, each laid over the picture at its time.
Item {
    id: recording

    // The camera view that plays, and the loader that fetches into it.
    property var player: null
    property var loader: null
    // The chosen stream's history (StreamHistory): where its gateway is.
    property var history: null
    property string deviceId: ""
    property string streamId: ""
    property string startTime: ""
    property string endTime: ""
    property var schedule: []
    // Every text of the recording, kept so that a seek can re-time the ones that follow.
    property var fullSchedule: []
    // The chosen chunk's size as the server lists it: a download well past it is no recording.
    property real chunkSize: 0
    // Set when the recording plays without its texts.
    property string posDataError: ""
    // Set while the chunk list's choice waits for its gateway.
    property bool chunkInfoPending: false
    // Texts keep pace with the recording when it plays faster or slower.
    property real speed: 1
    readonly property alias chunks: chunkModel

    // The chunks of `stream`, listed anew.
    function list(stream) {
        chunkModel.clear()
        App.zarnClient.searchChunks(stream, ZarnClient.START, 1, Date.now())
    }

    function chooseChunk(start, end, size) {
        chunkInfoPending = true
        startTime = String(start)
        endTime = String(end)
        chunkSize = size > 0 ? size : 0
        App.zarnClient.getStreamGatewayInfo(deviceId, streamId)
    }

    // No text of this recording shows any more: another moment is about to play.
    function stopTexts() {
        overlayTimer.stop()
        schedule = []
        fullSchedule = []
    }

    // The stream's gateway, where its HTTP service is reached (GatewayAddress):
    // {base: "http://host:port", host, port, hostPort, source}.
    function gatewayOf(addr) {
        var gateway = history.gatewayFor(addr)
        if (gateway.source === "setting")
            console.log("GW address from LDAP")
        else if (gateway.source === "reported")
            console.log("GW address from streamInfo result")
        else
            console.log("GW address from fallback")
        console.log("Gateway addr:", gateway.host)
        return gateway
    }

    function fetchRecording(gateway) {
        var query = "%1/pos-data?strmId=%2&from=%3&to=%4".arg(gateway.base)
                .arg(streamId).arg(startTime).arg(endTime)
        console.log("Querying URL:", QmlUtils.redacted(query))
        // The texts of the previous recording never play over this one.
        stopTexts()
        posDataError = ""
        // The recording is fetched once the texts have come, failed or timed out.
        posData.fetch(query, function(answer) {
            if (answer.failed) {
                console.warn("Fetching the recording without its POS texts:", answer.reason)
                posDataError = qsTranslate("RecordedPage", "The receipts of this recording could not be fetched")
            } else {
                console.log("Parsing POS text")
                parseSchedule(answer)
            }
            var fileName = QmlUtils.fileNameFromMSec(streamId, Number(startTime))
            var address = "%1/%2".arg(gateway.base).arg(fileName)
            console.log("Fetching:", address)
            recording.loader.fetch(address, recording.chunkSize)
        })
    }

    // `data`: a PosDataFetcher's answer, the texts already read and bounded off this thread.
    function parseSchedule(data) {
        if (data.error !== "")
            console.log("Exception:", data.error)
        if (!data.hasFrom) { console.log("no field `from`"); return }
        if (!data.hasTo) { console.log("no field `to`"); return }
        if (!data.hasArr) { console.log("no field `arr`"); return }
        // once per answer, not once per text: a malformed answer may hold millions
        if (data.withoutTime > 0)
            console.log("sub don't have `time` field", "(" + data.withoutTime + " texts)")
        if (data.withoutText > 0)
            console.log("sub don't have `text` field", "(" + data.withoutText + " texts)")
        var entries = []
        for (var i = 0; i < data.times.length; ++i)
            entries.push({ time: data.times[i] - 500, text: data.texts[i] })
        console.log("POS size:", entries.length)
        schedule = entries
        fullSchedule = entries.slice()
        if (entries.length > 0) {
            var delay = entries[0].time - data.from
            if (delay < 0) {
                console.warn("delay<0? (delay:", delay, entries[0].time + ")")
                delay = 0
            }
            overlayTimer.interval = delay
        }
    }

    // The recording is playing: its texts start.
    function start() {
        if (schedule.length > 0)
            overlayTimer.start()
    }

    function showNextText() {
        if (schedule.length === 0) {
            overlayTimer.stop()
            return
        }
        var shown = schedule.shift()
        player.appendPos(shown.text)
        if (schedule.length === 0) {
            overlayTimer.stop()
            return
        }
        var delay = schedule[0].time - shown.time
        if (delay < 0) {
            console.warn("Why delay is negative (delay:", delay, shown.time, schedule[0].time + ")")
            delay = 1
        }
        console.log("Scheduled show next pos in", delay, "ms")
        overlayTimer.interval = delay / playbackSpeed()
        overlayTimer.restart()
    }

    function playbackSpeed() {
        return speed > 0 ? speed : 1
    }

    // After a seek, a pause, a resume or a change of speed: the texts from the player's
    // position on are shown at their time again; none while paused.
    function followPlayer(seconds, paused) {
        overlayTimer.stop()
        var now = Number(startTime) + seconds * 1000
        schedule = fullSchedule.filter(function(entry) { return entry.time >= now })
        console.log("POS texts from", seconds.toFixed(2), "s on:", schedule.length)
        if (paused || schedule.length === 0)
            return
        overlayTimer.interval = Math.max(0, schedule[0].time - now) / playbackSpeed()
        overlayTimer.restart()
    }

    Timer {
        id: overlayTimer
        objectName: "overlayTimer"
        interval: 10000
        repeat: false
        onTriggered: recording.showNextText()
    }

    ListModel { id: chunkModel }

    PosDataFetcher {
        id: posData
        objectName: "posData"
    }

    Connections {
        target: App.zarnClient
        function onStreamChunksReceived(received) {
            chunkModel.clear()
            for (var i = 0; i < received.length; ++i)
                chunkModel.append({ start: Number(received[i].start), end: Number(received[i].end),
                                    size: Number(received[i].size) })
        }
        function onStreamInfoReceived(device, stream, token, addr) {
            if (!recording.chunkInfoPending || stream !== recording.streamId || !recording.history)
                return
            recording.chunkInfoPending = false
            recording.fetchRecording(recording.gatewayOf(addr))
        }
    }
}
