import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Window 2.2
import Native 1.0
import Elements 1.0

// The live layout: one element per cell of the loaded layout, placed on its grid. In playback
// the same cells show their recordings at one shared moment, under a bar with the timeline.
Pane {
    id: page
    objectName: "layoutPage"
    padding: 0
    background: Rectangle { color: "black" }

    readonly property real cellWidth: width / Math.max(1, App.layoutModel.numCols)
    readonly property real cellHeight: (height - playbackBar.shownHeight)
                                       / Math.max(1, App.layoutModel.numRows)
    // The camera view shown alone over the others, if any: the cells it covers stop decoding.
    property Item viewAlone: null
    readonly property bool onScreen: visible && Window.visibility !== Window.Minimized
                                     && Window.visibility !== Window.Hidden

    // A double click on an event of an alarm cell: its picture is wanted.
    signal eventActivated(string sourceId, real time, real arrival)

    Component.onCompleted: App.showFirstLayoutUntilOneIsApplied()

    // A reloaded object tree replaces the objects the cells hold: counting the reloads makes
    // the cells look theirs up again.
    property int treeRevision: 0
    Connections {
        target: App.zarnRepository
        function onDataChanged() { page.treeRevision++ }
    }

    function componentFor(type) {
        if (type === LayoutModel.Video)
            return cameraCell
        if (type === LayoutModel.Door)
            return doorCell
        if (type === LayoutModel.Alarm)
            return alarmCell
        return null
    }

    // Returns every camera shown alone to its cell; with none alone, playback returns to live,
    // and a stream shown alone in place of the layout (an event, the camera tree) gives the
    // layout back.
    function leaveSingleView() {
        if (viewAlone === null && playbackMode) {
            backToLive()
            return
        }
        if (viewAlone === null && App.leaveStreamAlone())
            return
        for (var i = 0; i < cells.count; ++i) {
            var cell = cells.itemAt(i)
            if (cell && cell.item && typeof cell.item.leaveSingleView === "function")
                cell.item.leaveSingleView()
        }
    }

    // --- Playback of the whole layout -------------------------------------------------------

    readonly property bool playbackMode: layoutPlayback.active
    readonly property real playbackMoment: layoutPlayback.clock.moment

    // Every cell shows its recording at `time` (ms since the epoch), all in step.
    function playAt(time) {
        if (viewAlone !== null)
            viewAlone.singleView = false
        console.log("Layout playback from", new Date(time).toISOString())
        layoutPlayback.start(time)
        playbackBar.showAround(time)
    }
    function backToLive() {
        if (playbackMode)
            layoutPlayback.stop()
    }
    // Ctrl+P: one minute ago by default, or live again.
    function togglePlayback() {
        if (playbackMode)
            backToLive()
        else
            playAt(Date.now() - 60000)
    }
    LayoutPlayback {
        id: layoutPlayback
        objectName: "layoutPlayback"
        histories: App.histories
    }

    // A layout applied meanwhile (from vantrel, a key, the sidebar) is shown live.
    Connections {
        target: App
        function onCurrentLayoutChanged() { page.backToLive() }
    }
    Connections {
        target: App.layoutModel
        function onModelReset() { page.backToLive() }
    }

    // A camera or door cell flashes for a while when one of its objects raised a new event.
    readonly property int eventFlashMs: 10000
    function flashOnEvents(border, sourceIds, ids) {
        for (var i = 0; i < ids.length; ++i) {
            if (ids[i] !== "" && sourceIds.indexOf(ids[i]) >= 0) {
                border.flashFor(eventFlashMs)
                return
            }
        }
    }

    Repeater {
        id: cells
        model: App.layoutModel
        Loader {
            readonly property string cellLabel: label
            readonly property int cellIndex: index
            readonly property string cellUrl: url
            readonly property string gatewayId: deviceId
            readonly property string streamId: objectId
            readonly property string lockId: actuatorId
            readonly property bool isCamera: type === LayoutModel.Video
            readonly property var sensor: page.treeRevision, App.zarnRepository.objectById(objectId)
            readonly property var actuator: page.treeRevision,
                App.zarnRepository.objectById(actuatorId)
            x: col * page.cellWidth
            y: row * page.cellHeight
            width: colSpan * page.cellWidth
            height: rowSpan * page.cellHeight
            sourceComponent: page.componentFor(type)
        }
    }

    Component {
        id: alarmCell
        AlarmView {
            readonly property Item slot: parent
            objectName: "alarmView"
            label: slot ? slot.cellLabel : ""
            // The cell watches its object's area, or its device's when it names no object.
            areaId: !slot ? "" : slot.streamId !== "" ? slot.streamId : slot.gatewayId
            events: App.events
            // In playback, the events of the moment played, following it as it moves.
            until: page.playbackMode ? page.playbackMoment : 0
            onEventActivated: page.eventActivated(sourceId, time, arrival)
        }
    }

    Component {
        id: cameraCell
        Item {
            id: cell
            readonly property Item slot: parent
            readonly property string streamId: slot ? slot.streamId : ""
            // What the stream has recorded and where its gateway is, shared with other screens.
            readonly property StreamHistory history: App.histories.of(streamId)
            property string posAddress: ""

            function leaveSingleView() { view.singleView = false }

            // The stream's channel texts, from where its gateway publishes them (GatewayAddress).
            function subscribeOverlay() {
                if (!slot || slot.streamId === "" || slot.gatewayId === "" || !history)
                    return
                var channel = history.posChannel()
                if (channel.hostSource === "setting")
                    console.log("GW address from LDAP:", channel.host)
                if (channel.portSet)
                    console.log("Pos Port from LDAP:", channel.port)
                console.log("Gateway IP:", channel.host)
                console.log("Pos Port:", channel.port)
                posAddress = channel.host
                PosReceiver.subscribe(channel.host, channel.port, slot.streamId)
            }

            Connections {
                target: App.events
                function onArrived(sourceIds) {
                    page.flashOnEvents(cameraFlash, sourceIds, [cell.streamId,
                                                                cell.slot ? cell.slot.gatewayId : ""])
                }
            }

            readonly property int cellKey: slot ? slot.cellIndex : -1
            readonly property string playbackNote: page.playbackMode ? cellTexts.stateText : ""
            function takePart() {
                if (slot && streamId !== "")
                    layoutPlayback.addCell(cellKey, view.backend, streamId)
            }

            Component.onCompleted: {
                subscribeOverlay()
                takePart()
            }
            // A reloaded tree may move the stream's gateway (another address or "httpPort").
            Connections {
                target: page
                function onTreeRevisionChanged() { cell.takePart() }
            }
            Component.onDestruction: {
                if (layoutPlayback)
                    layoutPlayback.removeCell(cellKey)
                if (page.viewAlone === view)
                    page.viewAlone = null
                if (streamId !== "")
                    PosReceiver.unsubscribe(posAddress, streamId)
            }

            ProfileChooser {
                id: chooser
                streamId: cell.slot ? cell.slot.streamId : ""
                fallbackUrl: cell.slot ? cell.slot.cellUrl : ""
                pixelWidth: Math.round(view.zoomedWidth * Screen.devicePixelRatio)
                pixelHeight: Math.round(view.zoomedHeight * Screen.devicePixelRatio)
                cellName: cell.slot ? "cell " + (cell.slot.cellIndex + 1) + " (\"" + cell.slot.cellLabel
                                      + "\")" : ""
            }

            // In playback the texts the stream printed are laid over the cell as the moment
            // passes them.
            PlaybackCellTexts {
                id: cellTexts
                cameraView: view
                streamId: cell.streamId
                gateway: cell.history ? cell.history.gateway : ""
                playbackMode: page.playbackMode
                moment: page.playbackMoment
                cellState: page.playbackMode ? (layoutPlayback.statesRevision,
                                                layoutPlayback.stateOf(cell.cellKey))
                                             : ""
            }

            Connections {
                target: PosReceiver
                function onPosReceived(topic, msg) {
                    // Live receipts never show over a recording.
                    if (topic === cell.streamId && !page.playbackMode)
                        view.appendPos(msg)
                }
            }

            // Back to live, a frame rate forced from the cell's toolbar holds again (playback
            // plays recordings at their own pace).
            Connections {
                target: page
                function onPlaybackModeChanged() {
                    if (!page.playbackMode)
                        view.applyFps()
                }
            }

            CameraView {
                id: view
                objectName: "cameraView"
                // Shown alone, the view leaves its cell: it keeps the cell's stream for B.
                readonly property string cellStream: cell.streamId
                // The cell last clicked, or that the pointer is over, is the one B marks.
                onPointerOverChanged: if (pointerOver) bookmarks.pointedStream = cell.streamId
                onToolbarOpenChanged: if (toolbarOpen) bookmarks.pointedStream = cell.streamId
                covered: page.viewAlone !== null && page.viewAlone !== view
                width: cell.width
                height: cell.height
                cameraName: cell.slot ? cell.slot.cellLabel : ""
                url: page.playbackMode ? "" : chooser.url
                profile: page.playbackMode ? "" : chooser.profile
                shouldAutoplay: !page.playbackMode
                networkOnly: true
                // In playback every cell goes on decoding: a player stopped while hidden would
                // lose its place in the recording.
                decoding: page.playbackMode
                          || (page.onScreen && (page.viewAlone === null || page.viewAlone === view))
                onSingleViewChanged: {
                    if (singleView)
                        page.viewAlone = view
                    else if (page.viewAlone === view)
                        page.viewAlone = null
                }

                Component.onCompleted: {
                    backend.command(["apply-profile", "low-latency"])
                    backend.setOption("no-cache", null)
                    backend.setOption("video-sync", "desync")
                    backend.setOption("aid", "no")
                    // Everything received is read into the demuxer, so that what it holds
                    // measures how far behind the live edge the cell plays.
                    backend.setOption("demuxer-readahead-secs", "30")
                    // RTSP cameras send over the control connection (RTP interleaved in TCP):
                    // it passes NAT and firewalls that drop the UDP ports a camera would send
                    // to, and loses no packets, so a busy network delays the picture instead
                    // of smearing it. mpv's default as well; said here so it stays so.
                    backend.setOption("rtsp-transport", "tcp")
                }

                FlashingBorder {
                    id: cameraFlash
                    // A new event of an alarm class: until it is acknowledged.
                    flashing: App.events.alarmRevision,
                              App.events.hasNewAlarm([cell.streamId,
                                                      cell.slot ? cell.slot.gatewayId : ""])
                }

                // No recording at the moment: neither the last live picture nor the live
                // receipts may pass for the past.
                Rectangle {
                    anchors.fill: parent
                    color: "black"
                    visible: cell.playbackNote !== ""
                }
                Label {
                    objectName: "playbackNote"
                    anchors.centerIn: parent
                    width: Math.min(implicitWidth, parent.width - 8)
                    visible: cell.playbackNote !== ""
                    text: cell.playbackNote
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: "white"
                    font.pixelSize: 16
                    padding: 6
                    background: Rectangle { color: "black"; opacity: 0.75 }
                }

                states: State {
                    name: "single"
                    when: view.singleView
                    ParentChange {
                        target: view
                        parent: page
                        x: 0
                        y: 0
                        width: page.width
                        height: page.height
                    }
                    PropertyChanges { target: view; z: 100 }
                }
                transitions: Transition {
                    ParentAnimation {
                        NumberAnimation {
                            properties: "x,y,z,width,height"
                            easing.type: Easing.InOutQuad
                        }
                    }
                }
            }
        }
    }

    Component {
        id: doorCell
        LayoutDoorCell {
            layoutPage: page
            playback: layoutPlayback
        }
    }

    // Not live: a coloured frame round the page; the bar says the moment in large figures.
    Rectangle {
        objectName: "playbackFrame"
        anchors.fill: parent
        z: 200
        visible: page.playbackMode
        color: "transparent"
        border.color: "#ff9800"
        border.width: 5
    }

    LayoutPlaybackBar {
        id: playbackBar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        z: 150
        playback: layoutPlayback
        bookmarkStreams: bookmarks.streams
        onBackToLive: page.backToLive()
        onBookmarkRequested: bookmarks.bookmarkCell()
    }

    // B marks a camera of the layout with a note.
    LayoutBookmarks {
        id: bookmarks
        anchors.fill: parent
        z: 300
        cellRepeater: cells
        viewAlone: page.viewAlone
        active: page.visible
        playbackMode: page.playbackMode
        playbackMoment: page.playbackMoment
    }
}
