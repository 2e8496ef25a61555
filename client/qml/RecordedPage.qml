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
    property string startTime: ""
    property string endTime: ""
    property var schedule: []
    // Every text of the recording, kept so that a seek can re-time the ones that follow.
    property var fullSchedule: []
    // The chosen chunk's size as the server lists it: a download well past it is no recording.
    property real chunkSize: 0
    readonly property alias downloadError: recordingLoader.error
    // Set when the recording plays without its texts.
    property string posDataError: ""
    // "Play the layout from here": the whole layout in playback at that moment.
    signal layoutPlaybackRequested(real time)

    function chooseStream(device, stream) {
        console.log("Device id:", device, "stream id:", stream)
        deviceId = device
        streamId = stream
        chunks.clear()
        App.zarnClient.searchChunks(stream, ZarnClient.START, 1, Date.now())
        openOnTimeline(device, stream)
    }

    function chooseChunk(start, end, size) {
        playback.stop()
        receiptTime = -1
        receiptText = ""
        chunkInfoPending = true
        startTime = String(start)
        endTime = String(end)
        chunkSize = size > 0 ? size : 0
        App.zarnClient.getStreamGatewayInfo(deviceId, streamId)
    }

    // The stream's gateway, where its HTTP service is reached (GatewayAddress):
    // {base: "http://host:port", host, port, hostPort, source}.
    function gatewayOf(device, addr) {
        var gateway = App.zarnRepository.gatewayHttp(device, addr)
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
        overlayTimer.stop()
        schedule = []
        fullSchedule = []
        posDataError = ""
        // The recording is fetched once the texts have come, failed or timed out.
        posData.fetch(query, function(answer) {
            if (answer.failed) {
                console.warn("Fetching the recording without its POS texts:", answer.reason)
                posDataError = qsTr("The receipts of this recording could not be fetched")
            } else {
                console.log("Parsing POS text")
                parseSchedule(answer)
            }
            var fileName = QmlUtils.fileNameFromMSec(streamId, Number(startTime))
            var recording = "%1/%2".arg(gateway.base).arg(fileName)
            console.log("Fetching:", recording)
            recordingLoader.fetch(recording, page.chunkSize)
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

    // Texts keep pace with the recording when it plays faster or slower.
    property real speed: 1
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


    // --- Recorded video by time --------------------------------------------------------------

    // The gateway of the stream on the timeline, "http://host:port"; empty until known.
    property string gatewayBase: ""
    // The same as the operator reads it, "host:port", for saying that it does not answer.
    property string gatewayHostPort: ""
    function useGateway(gateway) {
        gatewayHostPort = gateway.hostPort
        gatewayBase = gateway.base
        gatewayProbe.reset()
    }
    // Set while the chunk list's choice waits for its gateway.
    property bool chunkInfoPending: false
    // A moment to play once the stream's chunks around it are known, -1 for none.
    property real pendingMoment: -1
    // Chunk searches in flight (ChunkSearches decides what to search, and when again).
    readonly property int searchesRunning: searchPlan.running
    // What was shown of the channel texts so far, by time; -1 after a jump.
    property real overlayShownUntil: -1
    readonly property real hourMs: 3600 * 1000

    // A receipt found by a transaction search: its till plays from 10 s before it, the
    // receipt laid over the picture and a badge saying where playback is against it.
    property real receiptTime: -1
    property string receiptText: ""
    function openReceipt(device, stream, time, text) {
        console.log("Opening the receipt of stream", stream, "at", new Date(time).toISOString())
        receiptTime = time
        receiptText = String(text)
        showMoment(device, stream, time)
    }

    // An event of the past: the camera that shows its source plays from 10 s before it.
    function openMoment(device, stream, time) {
        console.log("Opening stream", stream, "at", new Date(time).toISOString())
        receiptTime = -1
        receiptText = ""
        showMoment(device, stream, time)
    }

    function showMoment(device, stream, time) {
        chooseStream(device, stream)
        var view = timelinePanel.timeline
        view.showRange(time - 30 * 60000, time + 30 * 60000)
        playMoment(time - 10000)
    }

    function receiptBadge() {
        if (receiptTime < 0)
            return ""
        if (pendingMoment >= 0 || playback.time < 0)
            return qsTr("Opening the recording…")
        if (!playback.active && pendingMoment < 0 && playback.note !== "")
            return qsTr("No recorded video at that time")
        var ahead = receiptTime - playback.time
        if (ahead > 0)
            return qsTr("Receipt in %1 s").arg(Math.ceil(ahead / 1000))
        if (ahead > -3000)
            return qsTr("Receipt")
        return qsTr("%1 s after the receipt").arg(Math.floor(-ahead / 1000))
    }

    // A camera chosen while something plays by time opens at the same moment.
    function openOnTimeline(device, stream) {
        var moment = playback.active ? playback.time : (pendingMoment >= 0 ? pendingMoment : -1)
        playback.stop()
        player.url = ""
        gatewayBase = ""
        recordedIndex.streamId = stream
        pendingMoment = moment
        overlayShownUntil = -1
        App.zarnClient.getStreamGatewayInfo(device, stream)
        gatewayWait.restart()
        requestVisible()
    }

    // A gateway that does not say where it is: the stream's device address, or this machine.
    function gatewayFallback() {
        if (streamId === "" || gatewayBase !== "")
            return
        console.warn("No stream information for stream", streamId, "after 10 s")
        useGateway(gatewayOf(deviceId, ""))
        posTexts.setSource(streamId, gatewayBase)
        requestVisible()
        playPendingMoment()
    }

    function searchRange(from, to) {
        if (streamId === "")
            return
        var asked = searchPlan.ask(streamId, Math.floor(from), Math.ceil(to))
        for (var i = 0; i < asked.length; ++i)
            App.zarnClient.searchRecordedChunks(streamId, asked[i].from, asked[i].to)
        if (searchPlan.running > 0)
            searchWatch.start()
    }

    // The visible range and as much again on each side, so that a pan finds them known.
    function requestVisible() {
        if (streamId === "")
            return
        var view = timelinePanel.timeline
        var span = view.viewEnd - view.viewStart
        searchRange(view.viewStart - span, view.viewEnd + span)
        if (gatewayBase !== "")
            posTexts.request(view.viewStart, view.viewEnd)
    }

    // A search that has not answered in time counts as failed; its answer may still come.
    function expireSearches() {
        var expired = searchPlan.expireNow()
        for (var i = 0; i < expired.length; ++i) {
            console.warn("Searching the recordings of stream", expired[i].stream, "took too long")
            recordedIndex.markFailed(expired[i].stream, expired[i].from, expired[i].to)
        }
        if (searchPlan.running === 0)
            searchWatch.stop()
    }

    // A click on the timeline, a key or a transaction: plays the moment once it can.
    function playMoment(t) {
        if (streamId === "")
            return
        if (pendingEdge !== "" && !playingEdge)
            pendingEdge = ""
        recordingLoader.cancel()
        overlayTimer.stop()
        schedule = []
        fullSchedule = []
        var view = timelinePanel.timeline
        if (t < view.viewStart || t > view.viewEnd)
            view.centerOn(t)
        if (gatewayBase === "" || recordedIndex.missingRanges(t, t + 1).length > 0) {
            pendingMoment = t
            searchRange(t - hourMs, t + hourMs)
            return
        }
        pendingMoment = -1
        overlayShownUntil = -1
        player.url = ""
        posTexts.request(t - hourMs, t + hourMs)
        playback.seekTo(t)
    }

    function playPendingMoment() {
        if (pendingMoment >= 0 && gatewayBase !== ""
                && recordedIndex.missingRanges(pendingMoment, pendingMoment + 1).length === 0)
            playMoment(pendingMoment)
    }

    // Steps from what plays (or the play head) by `ms`.
    function stepBy(ms) {
        var from = playback.time >= 0 ? playback.time : timelinePanel.playhead
        if (from < 0)
            return
        playMoment(from + ms)
    }

    // Home and End: the first or last recorded moment of the whole stream, searched for once.
    property string pendingEdge: ""
    property bool playingEdge: false
    function goToEdge(edge) {
        if (streamId === "")
            return
        pendingEdge = edge
        searchRange(0, Date.now() + 24 * hourMs)
        playPendingEdge()
    }
    function playPendingEdge() {
        if (pendingEdge === "")
            return
        // What is still unknown is asked as ChunkSearches allows; this runs again on each answer.
        if (recordedIndex.missingRanges(0, Date.now()).length > 0) {
            searchRange(0, Date.now() + 24 * hourMs)
            return
        }
        var edge = pendingEdge
        pendingEdge = ""
        if (recordedIndex.firstRecorded < 0) {
            playback.playAt(Date.now())
            return
        }
        playingEdge = true
        playMoment(edge === "first" ? recordedIndex.firstRecorded
                                    : Math.max(recordedIndex.firstRecorded,
                                               recordedIndex.lastRecorded - 10000))
        playingEdge = false
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
            if (streamId === "" || !playback.active && pendingMoment < 0)
                return
            momentWhenLeft = playback.active ? playback.time : pendingMoment
            console.log("Recorded page left at", new Date(momentWhenLeft).toISOString())
            playback.stop()
            player.url = ""
        } else if (momentWhenLeft >= 0) {
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
    Shortcut {
        sequence: "Space"
        enabled: page.timelineKeys && player.backend.playlistCount > 0
        onActivated: player.backend.playPause()
    }

    Timer {
        id: gatewayWait
        interval: 10000
        onTriggered: page.gatewayFallback()
    }

    Timer {
        id: searchWatch
        interval: 1000
        repeat: true
        onTriggered: page.expireSearches()
    }

    // A view that reaches the present, or playback near it, is asked again now and then: what
    // was recorded and published since shows up (ChunkSearches asks at most once per 10 s).
    Timer {
        interval: 5000
        repeat: true
        running: page.visible && page.streamId !== ""
                 && (timelinePanel.timeline.viewEnd > Date.now() - 60000
                     || playback.time > Date.now() - 15 * 60000)
        onTriggered: {
            page.requestVisible()
            if (playback.active)
                page.searchRange(playback.time - 60000, playback.time + page.hourMs)
        }
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

    RecordingIndex {
        id: recordedIndex
        objectName: "recordedIndex"
    }

    ChunkSearches {
        id: searchPlan
        objectName: "chunkSearches"
    }

    PosTextCache {
        id: posTexts
        objectName: "posTexts"
    }

    TimelinePlayback {
        id: playback
        objectName: "timelinePlayback"
        player: player.backend
        index: recordedIndex
        gateway: page.gatewayBase
        onTimeChanged: page.showTextsUntil(time)
        // A refused recording may be a gateway that does not answer at all: said in words.
        onChunkUnavailable: gatewayProbe.check(page.gatewayBase)
        onNeedChunksAfter: page.searchRange(t, t + 6 * page.hourMs)
    }

    Connections {
        target: recordedIndex
        function onChanged() {
            page.playPendingMoment()
            page.playPendingEdge()
        }
    }

    Connections {
        target: timelinePanel.timeline
        function onViewChanged() { viewSettle.restart() }
    }

    Timer {
        id: overlayTimer
        objectName: "overlayTimer"
        interval: 10000
        repeat: false
        onTriggered: page.showNextText()
    }

    ListModel { id: chunks }

    PosDataFetcher {
        id: posData
        objectName: "posData"
    }

    Connections {
        target: App.zarnClient
        function onStreamChunksReceived(received) {
            chunks.clear()
            for (var i = 0; i < received.length; ++i)
                chunks.append({ start: Number(received[i].start), end: Number(received[i].end),
                                size: Number(received[i].size) })
        }
        function onStreamInfoReceived(device, stream, token, addr) {
            var gateway = page.gatewayOf(device, addr)
            if (stream === page.streamId && page.gatewayBase === "") {
                page.useGateway(gateway)
                posTexts.setSource(stream, page.gatewayBase)
                page.requestVisible()
                page.playPendingMoment()
            }
            if (page.chunkInfoPending) {
                page.chunkInfoPending = false
                page.fetchRecording(gateway)
            }
        }
        function onRecordedChunksReceived(stream, from, to, received) {
            // What was still being recorded is asked again later (ChunkSearches).
            searchPlan.answer(stream, from, to, received)
            recordedIndex.addChunks(stream, from, to, received)
        }
        function onRecordedChunksFailed(stream, from, to, reason) {
            searchPlan.fail(stream, from, to)
            recordedIndex.markFailed(stream, from, to)
        }
    }

    HSpliter {
        anchors.fill: parent
        // The column's texts keep the style's colour: the splitter's pane behind them is light.
        leftContent: ColumnLayout {
            spacing: 4
            Label {
                text: qsTr("Available streams") + I18n.localeNotify
                font.bold: true
            }
            ListView {
                id: streams
                objectName: "streamList"
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, page.height / 2)
                clip: true
                model: App.layoutModel
                ScrollBar.vertical: ScrollBar {}
                delegate: ItemDelegate {
                    id: streamRow
                    width: streams.width
                    readonly property var stream: App.zarnRepository.objectById(objectId)
                    text: stream ? stream.name : ""
                    // Names come from the server: shown as the characters they hold.
                    contentItem: Label {
                        text: streamRow.text
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                    }
                    visible: type === LayoutModel.Video
                    height: visible ? implicitHeight : 0
                    onClicked: page.chooseStream(deviceId, objectId)
                }
            }
            Label {
                text: qsTr("Recorded chunks") + I18n.localeNotify
                font.bold: true
            }
            ListView {
                id: chunkList
                objectName: "chunkList"
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true
                model: chunks
                ScrollBar.vertical: ScrollBar {}
                delegate: ItemDelegate {
                    width: chunkList.width
                    contentItem: Column {
                        Label { text: qsTr("start: %1").arg(new Date(start).toLocaleString()) }
                        Label { text: qsTr("end: %1").arg(new Date(end).toLocaleString()) }
                        Label { text: "size: " + size; textFormat: Text.PlainText }
                    }
                    onClicked: page.chooseChunk(start, end, size)
                }
            }
            // A moment typed (Ctrl+G) plays on the chosen camera; under the lists, which keep
            // their places.
            MomentField {
                id: momentField
                objectName: "recordedMomentField"
                Layout.fillWidth: true
                Layout.preferredHeight: implicitHeight
                enabled: page.streamId !== ""
                onMomentChosen: page.playMoment(time)
            }
            EButton {
                visible: debug
                text: "Delete all streams"
            }
        }
        rightContent: Item {
            CameraView {
                id: player
                objectName: "recordedPlayer"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: controlStrip.top
                fpsVisible: true
                // the receipt opened from a search keeps the top right corner
                receiptTopMargin: receiptBox.visible ? receiptBox.height + 8 : 0
                // and the playback controls and the export panel keep the bottom
                receiptBottomMargin: 66 + 8 + 48

                PlaybackControls {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    visible: duration > 0
                    player: player.backend
                    onSeeked: page.followPlayer(seconds, paused)
                    onPauseToggled: page.followPlayer(position, paused)
                    onSpeedChosen: {
                        page.speed = speed
                        page.followPlayer(position, paused)
                    }
                }

                // Fetches the chosen chunk and hands it to the player; says what went wrong.
                RecordingLoader {
                    id: recordingLoader
                    anchors.fill: parent
                    view: player
                    onReady: {
                        if (page.schedule.length > 0)
                            overlayTimer.start()
                    }
                }

                Label {
                    objectName: "posDataError"
                    anchors.top: parent.top
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: Math.min(implicitWidth, parent.width - 20)
                    visible: page.posDataError !== ""
                    text: page.posDataError
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    padding: 4
                    color: "white"
                    background: Rectangle { color: "#b35900"; opacity: 0.8 }
                }
            }

            // The controls of the stream on the timeline, between the picture and the timeline,
            // so that none covers the picture; they wrap onto a second line in a narrow window.
            Rectangle {
                id: controlStrip
                objectName: "recordedControls"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: timelinePanel.top
                visible: page.streamId !== ""
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
                        visible: playback.time > 0
                        text: qsTr("Play the layout from here") + I18n.localeNotify
                        ToolTip.text: qsTr("Every camera of the layout at this moment, in step")
                                      + I18n.localeNotify
                        ToolTip.visible: hovered
                        onClicked: page.layoutPlaybackRequested(playback.time)
                    }

                    // Marks a range of the timeline and exports it as files to hand over.
                    ExportPanel {
                        width: Math.min(implicitWidth, controlFlow.width)
                        active: page.timelineKeys
                        timeline: timelinePanel.timeline
                        index: recordedIndex
                        playback: playback
                        streamId: page.streamId
                    }
                }
            }

            TimelinePanel {
                id: timelinePanel
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                visible: page.streamId !== ""
                height: visible ? implicitHeight : 0
                index: recordedIndex
                texts: posTexts
                playhead: playback.time
                busy: page.searchesRunning > 0 || posTexts.busy
                onMomentClicked: page.playMoment(time)
            }


            // Nothing plays at the moment asked for: the last picture of another moment or
            // camera would mislead.
            Rectangle {
                objectName: "timelineIdleCover"
                anchors.fill: player
                color: "black"
                visible: page.streamId !== "" && !playback.active && player.url === ""
                         && playback.time >= 0
            }

            // The stream's gateway does not take connections: nothing of the past can come.
            Label {
                objectName: "gatewayDown"
                anchors.centerIn: player
                width: Math.min(implicitWidth, player.width - 16)
                visible: gatewayProbe.down && page.streamId !== ""
                // Looked up when said: a reloaded tree replaces the stream's object.
                function streamName() {
                    var stream = App.zarnRepository.objectById(page.streamId)
                    return stream ? stream.name : page.streamId
                }
                text: gatewayProbe.down ? qsTr("The gateway of %1 at %2 does not answer")
                                          .arg(streamName()).arg(page.gatewayHostPort)
                                          + I18n.localeNotify
                                        : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                color: "white"
                font.pixelSize: 16
                padding: 8
                background: Rectangle { color: "#b71c1c"; opacity: 0.85; radius: 4 }
            }

            // The receipt opened from a transaction search, and where playback is against it.
            Column {
                id: receiptBox
                objectName: "receiptBox"
                anchors.top: parent.top
                anchors.right: player.right
                anchors.margins: 8
                spacing: 4
                visible: page.receiptText !== ""
                Label {
                    objectName: "receiptBadge"
                    anchors.right: parent.right
                    text: page.receiptBadge() + I18n.localeNotify
                    textFormat: Text.PlainText
                    color: "black"
                    font.bold: true
                    padding: 4
                    background: Rectangle { color: "#ffd54f"; radius: 3 }
                }
                Label {
                    objectName: "receiptText"
                    width: Math.min(implicitWidth, player.width / 2)
                    text: page.receiptText
                    textFormat: Text.PlainText
                    font.family: "monospace"
                    elide: Text.ElideRight
                    color: "white"
                    padding: 6
                    background: Rectangle { color: "black"; opacity: 0.7 }
                }
            }

            // Why nothing plays at the moment asked for, and where the recording goes on.
            Column {
                objectName: "timelineNote"
                anchors.top: parent.top
                anchors.topMargin: 48
                anchors.horizontalCenter: player.horizontalCenter
                spacing: 6
                visible: playback.note !== ""
                Label {
                    objectName: "timelineNoteText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: playback.note
                    textFormat: Text.PlainText
                    color: "white"
                    padding: 6
                    background: Rectangle { color: "black"; opacity: 0.75 }
                }
                Button {
                    objectName: "nextRecordedMoment"
                    anchors.horizontalCenter: parent.horizontalCenter
                    visible: playback.nextMoment >= 0 && !playback.active
                    text: qsTr("Play from %1").arg(playback.nextMoment >= 0
                              ? new Date(playback.nextMoment).toLocaleString(Qt.locale(),
                                                                              Locale.ShortFormat)
                              : "") + I18n.localeNotify
                    onClicked: page.playMoment(playback.nextMoment)
                }
            }
        }
    }
}
