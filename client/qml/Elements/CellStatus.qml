// 2.12: its LoggingCategory has defaultLogLevel.
import QtQuick 2.12
import QtQuick.Controls 2.2
import Native 1.0

// What a live camera cell is doing, laid over its player: connecting, playing, no signal
// (with the seconds until the next attempt) or stalled. It watches the player while a stream
// should be playing: a stream whose picture does not move for stallMs counts as failed
// (an HTTP connection that stays open but sends nothing ends neither with eof nor error),
// and a cell that fell behind the live edge by more than maxDelay plays faster until it is
// back; a cell more than jumpDelay behind opens its stream anew at the live edge. A cell
// that cannot play faster (the machine is busy) stays a little behind rather than reopening:
// a new connection starts at the stream's last keyframe, about a second behind anyway, and
// when every cell of a busy layout reopens at once none of them catches up. While the cell
// waits to retry, its last picture stays, dimmed.
Item {
    id: status
    objectName: "cellStatus"

    property var player: null
    property string url: ""
    // The address as logs show it: without its password.
    readonly property string shownUrl: QmlUtils.redacted(url)
    // Live streams are watched; a recording is left alone.
    property bool live: false
    property bool retrying: false
    // Milliseconds since the epoch of the next attempt while retrying.
    property double retryAt: 0

    readonly property int stallMs: 5000
    // A stream that has not shown its first picture yet gets longer: the first connection to
    // a gateway may wait for its video to be prepared.
    readonly property int firstPictureMs: 15000
    readonly property real maxDelay: 1.0
    readonly property real edgeDelay: 0.3
    readonly property real jumpDelay: 3.0
    // A cell that opened or reopened its stream waits this long before it reopens it for
    // being behind: when the machine cannot keep up (a layout of many cells starting at once),
    // reopening every cell over and over costs more than playing a little late.
    readonly property int jumpPauseMs: 10000
    property double lastOpened: 0

    // Seconds behind the live edge, as far as the player can tell.
    property real liveDelay: 0
    property bool catchingUp: false
    property bool loading: false
    property bool sawPicture: false
    property double lastProgress: 0
    property var lastPos: undefined
    property int secondsLeft: 0

    readonly property string streamState: retrying ? "nosignal"
                                             : (loading && !sawPicture ? "connecting"
                                                                       : (sawPicture ? "playing" : "idle"))

    // Why the stream failed (MpvObject.failure) when it last ended, empty when nothing tells;
    // kept through the wait and the next attempt, which would otherwise read "No signal" until
    // it fails in turn.
    property string failure: ""
    // libmpv hands over its log messages after its events: the message that explains a failure
    // comes just after the end of the load.
    Connections {
        target: status.player
        ignoreUnknownSignals: true
        function onFailureChanged(value) {
            if (value !== "")
                status.failure = value
        }
    }

    signal stalled()
    // The cell is too far behind to catch up by playing faster: open the stream again.
    signal jumpToLiveEdge()

    // One line per cell and second with its delay, for measurements; off unless the rules
    // turn on "ardix.livedelay.info".
    LoggingCategory {
        id: delayLog
        name: "ardix.livedelay"
        defaultLogLevel: LoggingCategory.Warning
    }
    property int samples: 0

    // What the cell says while it waits to retry, with %1 for the seconds left.
    function failureText(kind) {
        switch (kind) {
        case "denied": return qsTr("Access denied by the camera, retrying in %1 s")
        case "notfound": return qsTr("The camera does not know this stream, retrying in %1 s")
        case "noanswer": return qsTr("The camera does not answer, retrying in %1 s")
        case "undecodable": return qsTr("The video cannot be decoded, retrying in %1 s")
        case "notrtsp": return qsTr("The camera does not speak RTSP, retrying in %1 s")
        case "refused": return qsTr("The camera refuses the connection, retrying in %1 s")
        case "closed": return qsTr("The camera closed the connection, retrying in %1 s")
        default: return qsTr("No signal, retrying in %1 s")
        }
    }

    // The view has asked the player to load the stream.
    // keepPicture: a reopening to catch up, during which the picture counts as playing.
    function started(keepPicture) {
        loading = true
        sawPicture = keepPicture === true
        // The player still reports the position of what it played before.
        lastPos = player ? player.position : undefined
        lastProgress = Date.now()
        lastOpened = lastProgress
        setCatchingUp(false)
    }

    // The stream ended or is abandoned.
    function ended() {
        loading = false
        failure = player && player.failure ? player.failure : ""
        setCatchingUp(false)
    }

    function setCatchingUp(on) {
        if (catchingUp === on)
            return
        catchingUp = on
        if (!on && player)
            player.speed = 1.0
    }

    function check() {
        var now = Date.now()
        // The newest frame the demuxer received, or failing that the one shown as the player
        // last reported it (asking for it too would wait for the player's core once more).
        var pos = player.getProperty("demuxer-cache-time")
        if (typeof pos !== "number")
            pos = player.position
        if (typeof pos === "number" && pos !== lastPos) {
            lastPos = pos
            lastProgress = now
            sawPicture = true
        }
        if (now - lastProgress >= (sawPicture ? stallMs : firstPictureMs)) {
            console.log("Stream stalled:", shownUrl)
            ended()
            stalled()
            return
        }
        boundDelay()
    }

    // Keeps the cell within maxDelay of the live edge: what the demuxer holds ahead of the
    // picture is how far behind the stream the cell plays.
    function boundDelay() {
        var ahead = player.getProperty("demuxer-cache-duration")
        if (typeof ahead !== "number")
            return
        liveDelay = ahead
        if (++samples % 2 === 0)
            console.info(delayLog, "Live delay:", shownUrl, liveDelay.toFixed(3))
        if (liveDelay > jumpDelay && Date.now() - lastOpened > jumpPauseMs) {
            console.log("Jumping to the live edge:", shownUrl, "delay", liveDelay.toFixed(2), "s")
            setCatchingUp(false)
            jumpToLiveEdge()
            return
        }
        if (!catchingUp && liveDelay > maxDelay) {
            console.log("Catching up:", shownUrl, "delay", liveDelay.toFixed(2), "s")
            catchingUp = true
        } else if (catchingUp && liveDelay < edgeDelay) {
            console.log("Back at the live edge:", shownUrl, "delay", liveDelay.toFixed(2), "s")
            setCatchingUp(false)
            return
        }
        if (catchingUp)
            player.speed = Math.min(3.0, Math.max(1.5, 1.0 + liveDelay))
    }

    Timer {
        interval: 500
        repeat: true
        running: status.live && status.loading && status.player !== null
        onTriggered: status.check()
    }

    Timer {
        interval: 250
        repeat: true
        running: status.retrying
        triggeredOnStart: true
        onTriggered: status.secondsLeft = Math.max(0, Math.ceil((status.retryAt - Date.now()) / 1000))
    }

    // The last picture, kept while the stream plays and shown dimmed while it does not.
    Rectangle {
        anchors.fill: parent
        color: "black"
        visible: lastPicture.visible
    }
    ShaderEffectSource {
        id: lastPicture
        anchors.fill: parent
        sourceItem: status.player
        live: false
        hideSource: false
        opacity: 0.4
        property bool taken: false
        visible: taken && status.live && (status.retrying || (status.loading && !status.sawPicture))
    }
    Timer {
        interval: 1000
        repeat: true
        running: status.live && status.sawPicture && !status.retrying
        onTriggered: {
            lastPicture.scheduleUpdate()
            lastPicture.taken = true
        }
    }

    Label {
        objectName: "retryNotice"
        anchors.centerIn: parent
        // The reasons are longer than "No signal": a small cell of a large layout wraps them.
        width: Math.min(implicitWidth, parent.width - 8)
        wrapMode: Text.WordWrap
        horizontalAlignment: Text.AlignHCenter
        visible: status.live && status.streamState !== "playing" && status.streamState !== "idle"
        text: status.streamState === "nosignal" ? status.failureText(status.failure)
                                                 .arg(status.secondsLeft)
                                           : qsTr("Connecting…")
        color: "white"
        font.pixelSize: 15
        background: Rectangle { color: "black"; opacity: 0.6 }
    }
}
