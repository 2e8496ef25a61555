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
    property int gatewayPort: 9554

    function chooseStream(device, stream) {
        console.log("Device id:", device, "stream id:", stream)
        deviceId = device
        streamId = stream
        chunks.clear()
        App.zarnClient.searchChunks(stream, ZarnClient.START, 1, Date.now())
    }

    function chooseChunk(start, end, size) {
        startTime = String(start)
        endTime = String(end)
        chunkSize = size > 0 ? size : 0
        App.zarnClient.getStreamGatewayInfo(deviceId, streamId)
    }

    function gatewayAddress(device, addr) {
        var gateway = App.zarnRepository.objectById(device)
        var address
        if (gateway && gateway.settings && gateway.settings.contains("address")) {
            address = gateway.settings.prop("address")
            console.log("GW address from LDAP")
        } else if (addr !== "") {
            address = addr
            console.log("GW address from streamInfo result")
        } else {
            address = "127.0.0.1"
            console.log("GW address from fallback")
        }
        console.log("Gateway addr:", address)
        return address
    }

    function fetchRecording(address) {
        var query = "http://%1:%2/pos-data?strmId=%3&from=%4&to=%5".arg(address).arg(gatewayPort)
                .arg(streamId).arg(startTime).arg(endTime)
        console.log("Querying URL:", query)
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
            var recording = "http://%1:%2/%3".arg(address).arg(gatewayPort).arg(fileName)
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
            page.fetchRecording(page.gatewayAddress(device, addr))
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
            EButton {
                visible: debug
                text: "Delete all streams"
            }
        }
        rightContent: CameraView {
            id: player
            objectName: "recordedPlayer"
            fpsVisible: true

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
    }
}
