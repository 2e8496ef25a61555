import QtQuick 2.11
import QtQuick.Controls 2.2

// The player's figures over its picture: transport, resolution, frame rate, video bitrate,
// decoder, dropped frames and how far behind the live edge the cell plays. Read once a second
// while shown.
Rectangle {
    id: stats
    objectName: "statsOverlay"
    property var player: null
    // Seconds behind the live edge; negative for a recording.
    property real liveDelay: -1
    // The stream profile played, empty when the camera offers none.
    property string profile: ""
    // The address played: its scheme tells how the video comes.
    property string url: ""

    property string text: ""

    width: label.implicitWidth + 12
    height: label.implicitHeight + 8
    color: Qt.rgba(0, 0, 0, 0.6)
    radius: 3

    function number(name) {
        var v = player ? player.getProperty(name) : undefined
        return typeof v === "number" ? v : 0
    }

    // RTSP cells take their RTP interleaved in the RTSP connection (the cells ask for TCP).
    function transport() {
        var scheme = url.split(":")[0].toLowerCase()
        if (scheme === "rtsp" || scheme === "rtsps")
            return qsTr("RTSP (RTP over TCP)")
        return scheme !== "" ? scheme.toUpperCase() : qsTr("none")
    }

    function refresh() {
        if (!player)
            return
        var hw = player.getProperty("hwdec-current")
        var decoder = (typeof hw === "string" && hw !== "" && hw !== "no")
                ? qsTr("hardware (%1)").arg(hw) : qsTr("software")
        var lines = [
            qsTr("Profile: %1").arg(profile !== "" ? profile : qsTr("single stream")),
            qsTr("Transport: %1").arg(transport()),
            qsTr("Resolution: %1×%2").arg(number("width")).arg(number("height")),
            qsTr("FPS: %1").arg(number("estimated-vf-fps").toFixed(1)),
            qsTr("Bitrate: %1 kbit/s").arg((number("video-bitrate") / 1000).toFixed(0)),
            qsTr("Decoder: %1").arg(decoder),
            qsTr("Dropped: %1").arg(number("frame-drop-count") + number("decoder-frame-drop-count"))
        ]
        if (liveDelay >= 0)
            lines.push(qsTr("Live delay: %1 s").arg(liveDelay.toFixed(2)))
        text = lines.join("\n")
    }

    Timer {
        interval: 1000
        repeat: true
        running: stats.visible
        triggeredOnStart: true
        onTriggered: stats.refresh()
    }

    Label {
        id: label
        objectName: "statsText"
        x: 6
        y: 4
        text: stats.text
        textFormat: Text.PlainText
        color: "white"
        font.pixelSize: 12
        font.family: "monospace"
    }
}
