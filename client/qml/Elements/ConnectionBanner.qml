import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// A strip over the top of the main screen while the event server is out of reach: what
// happened and when the console tries again. The screen under it keeps running.
Rectangle {
    id: banner
    objectName: "connectionBanner"
    property var reconnector: App.reconnector
    readonly property bool shown: reconnector !== null && reconnector.active
    // Seconds until the next attempt; -1 while one is under way.
    property int secondsLeft: -1

    visible: shown
    height: shown ? message.implicitHeight + 12 : 0
    color: "#c0392b"
    opacity: 0.9

    function update() {
        if (!shown || reconnector.nextAttemptAt <= 0) {
            secondsLeft = -1
            return
        }
        secondsLeft = Math.max(0, Math.ceil((reconnector.nextAttemptAt - Date.now()) / 1000))
    }

    Timer {
        interval: 250
        repeat: true
        running: banner.shown
        triggeredOnStart: true
        onTriggered: banner.update()
    }

    Connections {
        target: banner.reconnector
        function onNextAttemptChanged() { banner.update() }
    }

    Label {
        id: message
        objectName: "connectionBannerText"
        anchors.centerIn: parent
        width: parent.width - 16
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        color: "white"
        font.bold: true
        text: banner.secondsLeft < 0
              ? qsTr("Connection to the server lost. Reconnecting…")
              : qsTr("Connection to the server lost. Next attempt in %1 s").arg(banner.secondsLeft)
    }
}
