import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Window 2.2
import Config 1.0
import Native 1.0

// One camera: its player, the channel texts laid over the picture and a small toolbar.
Item {
    id: root
    // Overlay lines pile up while texts keep coming; they stay inside this view and never
    // cover the neighbouring cells of a layout.
    clip: true
    property string cameraName: ""
    // The camera's object id, for the record of what was handed over (its name when unset).
    property string sourceId: ""
    property string url: ""
    property bool singleView: false
    property alias backend: player
    property bool fpsVisible: false
    property bool shouldAutoplay: false
    property int videoWidth: player.dwidth
    property int videoHeight: player.dheight
    property bool videoLoaded: player.playlistCount >= 1 && videoWidth > 0 && videoHeight > 0

    property bool toolbarOpen: false
    property bool statsVisible: false
    readonly property int maxVisibleLines: 20
    // Set while a view that restarts by itself waits for its next attempt.
    property bool retrying: false
    // A camera cell plays network streams only; the address it refused, if any.
    property alias networkOnly: player.networkOnly
    property string refusedAddress: ""
    property alias status: cellStatus
    // The stream profile the address plays, for the stats overlay; empty when the camera
    // offers none.
    property string profile: ""
    // Off while nobody can see the view: the player keeps its connection but decodes nothing,
    // and its last picture stays up until it draws again.
    property bool decoding: true
    property string playingUrl: ""
    // Room at the top right that the page covers with something of its own (the recorded
    // page's receipt from a search): the channel texts keep below it.
    property real receiptTopMargin: 0
    // Room at the bottom that the page covers with its own controls.
    property real receiptBottomMargin: 0
    // The digital zoom of the picture (wheel, drag, 0 or "1:1"); the width the whole picture
    // is drawn at, zoom included, is what a stream profile has to cover.
    property alias zoom: zoom
    // Another view lies over this one (a camera shown alone over the layout): the pointer
    // over it is not over this one.
    property bool covered: false
    // The pointer is over the picture (what the keys 0 and B act on).
    readonly property bool pointerOver: pointer.over && !covered
    PointerOver {
        id: pointer
        item: root
    }
    readonly property real zoomedWidth: width * zoom.scale
    readonly property real zoomedHeight: height * zoom.scale

    // A live stream that failed, ended or stalled is tried again after 5 s; one whose camera
    // closed the connection sooner (MpvObject.retryDelayMs).
    function scheduleRetry(delayMs) {
        var delay = delayMs > 0 ? delayMs : 5000
        cellStatus.ended()
        root.retrying = true
        cellStatus.retryAt = Date.now() + delay
        console.log("Scheduled to restart in " + Math.round(delay / 1000) + " secs")
        loadTimer.interval = delay
        loadTimer.restart()
    }

    // The frame rate chosen on the toolbar, whether the toolbar is open or not: its first
    // value counts from the start.
    function applyFps() {
        if (!root.fpsVisible || fpsBox.currentText === "")
            return
        player.setOption("no-correct-pts", "")
        player.setOption("fps", fpsBox.currentText)
    }

    // Counts the changes of the lines shown, and the characters of the longest.
    property int linesRevision: 0
    readonly property int longestLine: {
        linesRevision // read, so that the binding follows every change of the lines
        var longest = 0
        for (var i = 0; i < overlayLines.count; ++i)
            longest = Math.max(longest, String(overlayLines.get(i).label).length)
        return longest
    }

    // Keeps the last maxVisibleLines lines: older ones could never be shown.
    function appendPos(msg) {
        var pieces = String(msg).split("\n")
        for (var i = Math.max(0, pieces.length - maxVisibleLines); i < pieces.length; ++i)
            overlayLines.append({ "label": pieces[i] })
        if (overlayLines.count > maxVisibleLines)
            overlayLines.remove(0, overlayLines.count - maxVisibleLines)
        ++linesRevision
        clearTimer.interval = 3000
        clearTimer.restart()
    }

    function clearPos() {
        overlayLines.clear()
        ++linesRevision
        clearTimer.stop()
    }

    // A playing stream replaced by another (a different profile) is switched at once, its
    // last picture held over the player until the new stream's first one is drawn.
    function switchStream() {
        console.log("Switching stream:", QmlUtils.redacted(root.playingUrl), "->",
                    QmlUtils.redacted(root.url))
        loadTimer.stop()
        hold.capture(function() { root.openStream(true) })
    }

    // Hidden, the stream is stopped and its last picture held; shown again, it is opened anew
    // at its live edge, the held picture staying until the new one is drawn.
    function applyDecoding() {
        if (!decoding) {
            console.log("Decoding off, not shown:", QmlUtils.redacted(root.url))
            cellStatus.ended()
            hold.capture(function() {
                if (!root.decoding)
                    player.command(["stop"])
            })
        } else if (root.playingUrl !== "") {
            console.log("Decoding on, shown again:", QmlUtils.redacted(root.url))
            loadTimer.stop()
            root.retrying = false
            hold.capture(function() { root.openStream(true) })
        }
    }

    // A hidden view opens its stream when it is shown again.
    function openStream(keepPicture) {
        root.playingUrl = root.url
        if (!root.decoding)
            return
        cellStatus.started(keepPicture)
        player.loadFile(root.url)
    }

    onUrlChanged: {
        refusedAddress = ""
        // A load still waiting would replace what another owner of the player plays now.
        if (url === "") {
            loadTimer.stop()
            return
        }
        if (playingUrl !== "" && cellStatus.sawPicture && !retrying)
            switchStream()
        else
            loadTimer.restart()
    }
    onDecodingChanged: applyDecoding()
    onFpsVisibleChanged: applyFps()
    Component.onCompleted: applyFps()
    onVideoLoadedChanged: console.log("videoLoaded:", videoLoaded)
    onVideoWidthChanged: console.log("videoWidth:", videoWidth)
    onVideoHeightChanged: console.log("videoHeight:", videoHeight)

    MpvObject {
        id: player
        objectName: "mpvObject"
        anchors.fill: parent
        // Its framebuffer is the item's own size: drawn one to one, filtering adds nothing
        // but the cost of sampling four texels for each pixel of every cell.
        smooth: false
        Component.onCompleted: setEnableAudio(false)
        onFileStarted: console.log("onFileStarted")
        onLoadRefused: root.refusedAddress = address
        onFileLoaded: {
            console.log("onFileLoaded")
            root.retrying = false
        }
        onPlaybackRestarted: hold.releaseAfterNextFrames()
        onFileEnded: {
            // A stream stopped to be replaced keeps its picture held; one that failed hands
            // over to the cell's status.
            if (reason !== "stop")
                hold.releaseNow()
            console.log("onFileEnded: \"" + QmlUtils.redacted(root.url) + "\", reason:", reason)
            // A live stream has no end: one that ends has failed as well.
            if ((reason === "error" || reason === "eof") && root.shouldAutoplay)
                root.scheduleRetry(player.retryDelayMs())
        }
    }

    // Zoom is the video output's view of the whole decoded picture: no stream changes.
    ZoomView {
        id: zoom
        viewWidth: root.width
        viewHeight: root.height
        videoWidth: root.videoWidth
        videoHeight: root.videoHeight
        onChanged: {
            player.setProperty("video-zoom", mpvZoom)
            player.setProperty("video-pan-x", panX)
            player.setProperty("video-pan-y", panY)
        }
    }

    PictureHold {
        id: hold
        anchors.fill: parent
        player: player
    }

    CellStatus {
        id: cellStatus
        anchors.fill: parent
        player: player
        url: root.url
        live: root.shouldAutoplay
        retrying: root.retrying
        onStalled: {
            player.command(["stop"])
            root.scheduleRetry()
        }
        onJumpToLiveEdge: root.openStream(true)
    }

    Timer {
        id: loadTimer
        objectName: "loadTimer"
        interval: 500
        repeat: false
        onTriggered: {
            console.log("Going to play:", QmlUtils.redacted(root.url))
            root.openStream(false)
        }
    }

    ListModel {
        id: overlayLines
    }

    Label {
        objectName: "refusedNotice"
        anchors.centerIn: parent
        width: Math.min(implicitWidth, parent.width - 8)
        visible: root.refusedAddress !== ""
        text: qsTr("Not a network stream, not played: %1")
              .arg(QmlUtils.redacted(root.refusedAddress))
        textFormat: Text.PlainText
        wrapMode: Text.WrapAnywhere
        horizontalAlignment: Text.AlignHCenter
        color: "white"
        font.pixelSize: 15
        background: Rectangle { color: "darkred"; opacity: 0.8 }
    }

    // Where the last snapshot of this view went, shown for a few seconds.
    Notice {
        id: snapshotNotice
        objectName: "snapshotNotice"
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottomMargin: 48
        width: Math.min(implicitWidth, parent.width - 8)
        elide: Text.ElideLeft
        padding: 4
        background: Rectangle { color: "black"; opacity: 0.7 }
    }
    Connections {
        target: Snapshot
        function onSaved(path, item) {
            if (item !== player)
                return
            snapshotNotice.show(qsTr("Saved: %1").arg(path))
            App.audit.recordExport(root.sourceId !== "" ? root.sourceId : root.cameraName,
                                   "Snapshot", path)
        }
        function onFailed(message, item) {
            if (item === player)
                snapshotNotice.show(message)
        }
    }

    Timer {
        id: clearTimer
        objectName: "clearTimer"
        repeat: false
        onTriggered: {
            if (overlayLines.count > 0) {
                overlayLines.remove(0)
                ++root.linesRevision
                interval = 500
                restart()
            }
        }
    }

    // Where the picture lies in the view (the video keeps its shape, bars around it), and the
    // part of it where cameras print their name and clock: its top left corner.
    readonly property rect pictureRect: {
        if (videoWidth <= 0 || videoHeight <= 0 || width <= 0 || height <= 0)
            return Qt.rect(0, 0, width, height)
        var scale = Math.min(width / videoWidth, height / videoHeight)
        var w = videoWidth * scale, h = videoHeight * scale
        return Qt.rect((width - w) / 2, (height - h) / 2, w, h)
    }
    readonly property rect labelZone: Qt.rect(pictureRect.x, pictureRect.y,
                                              pictureRect.width * 0.45, pictureRect.height * 0.3)

    // The channel texts, as on the recorded page: a dark box, a fixed-width font, inside the
    // view. At its top right when the room beside the camera's name and clock holds its lines,
    // else under them when that room holds at least four lines, else at the top right, its
    // lines cut; below the toolbar when it is open. The newest lines stay at the bottom; the
    // oldest are not drawn when the box runs out of room.
    FontMetrics {
        id: receiptFont
        font.family: "monospace"
        font.pixelSize: 12
    }
    Rectangle {
        id: receiptBox
        objectName: "receiptBox"
        readonly property int margin: 4
        readonly property int padding: 6
        readonly property real lineHeight: Math.max(1, receiptFont.height)
        readonly property real naturalWidth: root.longestLine * receiptFont.advanceWidth("0")
                                             + 2 * padding + 1
        readonly property real belowToolbar: Math.max(margin + root.receiptTopMargin,
                                                      toolbar.height + margin)
        readonly property real besideRoom: root.width - (root.labelZone.x + root.labelZone.width)
                                           - 2 * margin
        readonly property real belowY: Math.max(belowToolbar, root.labelZone.y
                                                              + root.labelZone.height + margin)
        readonly property int belowLines: linesIn(belowY)
        readonly property bool beside: besideRoom >= naturalWidth
                                       || belowLines < Math.min(4, overlayLines.count)
        readonly property real roomWidth: beside ? besideRoom : root.width - 2 * margin
        readonly property real roomY: beside ? belowToolbar : belowY
        // How many lines the room below roomY holds.
        readonly property int fitLines: linesIn(roomY)
        function linesIn(y) {
            return Math.max(0, Math.floor((root.height - root.receiptBottomMargin - margin - y
                                           - 2 * padding) / lineHeight))
        }
        readonly property int shownLines: Math.min(overlayLines.count, fitLines,
                                                   root.maxVisibleLines)
        visible: shownLines > 0 && roomWidth > 2 * padding
        x: beside ? root.width - margin - width : margin
        y: roomY
        width: Math.max(0, Math.min(overlay.implicitWidth + 2 * padding, roomWidth))
        height: shownLines * lineHeight + 2 * padding
        color: Qt.rgba(0, 0, 0, 0.7)
        clip: true
        Column {
            id: overlay
            objectName: "overlay"
            x: receiptBox.padding
            y: receiptBox.padding
            Repeater {
                model: overlayLines
                Label {
                    // Only the newest lines that fit are drawn; the others would be clipped,
                    // and not drawing them keeps a text-heavy cell as cheap as the others.
                    visible: index >= overlayLines.count - receiptBox.shownLines
                    width: Math.min(implicitWidth, receiptBox.roomWidth - 2 * receiptBox.padding)
                    height: receiptBox.lineHeight
                    text: label
                    font: receiptFont.font
                    color: "white"
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                }
            }
        }
    }

    StatsOverlay {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 4
        player: player
        profile: root.profile
        url: root.url
        liveDelay: root.shouldAutoplay ? cellStatus.liveDelay : -1
        visible: root.statsVisible || G.statsForAll
    }

    // The whole picture, small, with the part shown framed, while zoomed.
    Rectangle {
        id: overview
        objectName: "zoomOverview"
        readonly property real aspect: root.videoHeight > 0 ? root.videoWidth / root.videoHeight
                                                            : 16 / 9
        visible: zoom.zoomed && root.width > 120
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 6
        anchors.bottomMargin: 6 + root.receiptBottomMargin
        width: Math.min(96, root.width / 4)
        height: width / aspect
        color: Qt.rgba(0, 0, 0, 0.5)
        border.color: "lightgrey"
        // The player draws the video zoomed: the whole frame is asked of it, once a second.
        ZoomOverview {
            id: overviewSource
            player: player
            active: overview.visible
            size: Qt.size(Math.round(overviewPicture.width * Screen.devicePixelRatio),
                          Math.round(overviewPicture.height * Screen.devicePixelRatio))
        }
        ThumbnailView {
            id: overviewPicture
            objectName: "zoomOverviewPicture"
            anchors.fill: parent
            anchors.margins: 1
            image: overviewSource.image
        }
        Rectangle {
            objectName: "zoomFrame"
            x: zoom.shownPart.x * overview.width
            y: zoom.shownPart.y * overview.height
            width: Math.max(2, zoom.shownPart.width * overview.width)
            height: Math.max(2, zoom.shownPart.height * overview.height)
            color: "transparent"
            border.color: "white"
        }
    }

    EMouseArea {
        id: cellMouse
        property point last
        anchors.fill: parent
        onClicked: root.toolbarOpen = !root.toolbarOpen
        onDoubleClicked: root.singleView = !root.singleView
        onPressedAt: last = Qt.point(x, y)
        // A zoomed picture follows a drag; a move of a few pixels is still a click.
        onMoved: {
            if (!zoom.zoomed || (!dragging && Math.abs(x - last.x) + Math.abs(y - last.y) < 6))
                return
            dragging = true
            zoom.panBy(x - last.x, y - last.y)
            last = Qt.point(x, y)
        }
    }
    // The wheel zooms around the pointer; without a picture it goes on to what lies below.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: wheel.accepted = zoom.wheel(wheel.x, wheel.y, wheel.angleDelta.y)
    }
    Shortcut {
        sequence: "0"
        enabled: zoom.zoomed && root.pointerOver
        onActivated: zoom.reset()
    }

    Rectangle {
        id: toolbar
        objectName: "toolbar"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        clip: true
        height: root.toolbarOpen ? toolbarRow.height : 0
        // Closed, it draws nothing: its buttons would still cost the scene a batch each.
        visible: height > 0
        color: Qt.rgba(0.5, 0.5, 0.5, 0.5)
        Behavior on height {
            NumberAnimation { duration: 500; easing.type: Easing.OutQuint }
        }

        Row {
            id: toolbarRow
            width: parent.width
            spacing: 5

            ELabel {
                objectName: "cameraName"
                text: root.cameraName
                width: parent.width - statsButton.width - snapshotButton.width - 10
                       - (fpsLabel.visible ? fpsLabel.width + fpsBox.width + 10 : 0)
                       - (zoomResetButton.visible ? zoomResetButton.width + 5 : 0)
                height: G.settings.toolbarIconSize
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }
            ELabel {
                id: fpsLabel
                visible: root.fpsVisible
                text: "FPS:"
                height: G.settings.toolbarIconSize
                verticalAlignment: Text.AlignVCenter
            }
            ComboBox {
                id: fpsBox
                objectName: "fpsBox"
                visible: root.fpsVisible
                flat: true
                height: G.settings.toolbarIconSize
                model: [15, 20, 25]
                onCurrentTextChanged: root.applyFps()
            }
            ToolButton {
                id: statsButton
                objectName: "statsButton"
                width: G.settings.toolbarIconSize
                height: G.settings.toolbarIconSize
                text: "i"
                checkable: true
                checked: root.statsVisible
                onToggled: root.statsVisible = checked
            }
            ToolButton {
                id: zoomResetButton
                objectName: "zoomResetButton"
                visible: zoom.zoomed
                height: G.settings.toolbarIconSize
                text: qsTr("1:1")
                palette.buttonText: G.theme.foreColor
                onClicked: zoom.reset()
            }
            // The snapshot button keeps the toolbar's right end.
            ToolButton {
                id: snapshotButton
                objectName: "snapshotButton"
                height: G.settings.toolbarIconSize
                text: qsTr("Snapshot")
                palette.buttonText: G.theme.foreColor
                // Zoomed, what is shown is saved at the stream's own pixels.
                onClicked: zoom.zoomed
                           ? Snapshot.saveSourcePart(player, zoom.sourceRect, root.cameraName)
                           : Snapshot.save(player, root.cameraName)
            }
        }
    }
}
