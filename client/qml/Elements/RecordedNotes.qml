import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// What the recorded page says over the picture of the stream on the timeline: why nothing
// plays at the moment asked for and where the recording goes on, a gateway that does not
// answer, and the receipt opened from a transaction search with where playback is against it.
Item {
    id: notes

    // The page's TimelinePlayback.
    property var playback: null
    // Nothing plays at the moment asked for: the last picture would mislead.
    property bool idle: false
    // The gateway does not take connections, named as the operator reads it.
    property bool gatewayDown: false
    property string gatewayText: ""
    // The chunk list's recording plays without its texts: why.
    property string posDataError: ""
    property string receiptText: ""
    // The receipt's time, -1 for none, and the moment waiting for its chunks, -1 for none.
    property real receiptTime: -1
    property real pendingMoment: -1
    readonly property real receiptHeight: receiptBox.visible ? receiptBox.height + 8 : 0

    // Where playback is against the receipt.
    function receiptBadge() {
        if (receiptTime < 0)
            return ""
        if (pendingMoment >= 0 || playback.time < 0)
            return qsTranslate("RecordedPage", "Opening the recording…")
        if (!playback.active && pendingMoment < 0 && playback.note !== "")
            return qsTranslate("RecordedPage", "No recorded video at that time")
        var ahead = receiptTime - playback.time
        if (ahead > 0)
            return qsTranslate("RecordedPage", "Receipt in %1 s").arg(Math.ceil(ahead / 1000))
        if (ahead > -3000)
            return qsTranslate("RecordedPage", "Receipt")
        return qsTranslate("RecordedPage", "%1 s after the receipt").arg(Math.floor(-ahead / 1000))
    }

    // "Play from …" under a note.
    signal playFrom(real time)

    Rectangle {
        objectName: "timelineIdleCover"
        anchors.fill: parent
        color: "black"
        visible: notes.idle
    }

    Label {
        objectName: "gatewayDown"
        anchors.centerIn: parent
        width: Math.min(implicitWidth, parent.width - 16)
        visible: notes.gatewayDown
        text: notes.gatewayText
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        color: "white"
        font.pixelSize: 16
        padding: 8
        background: Rectangle { color: "#b71c1c"; opacity: 0.85; radius: 4 }
    }

    Label {
        objectName: "posDataError"
        anchors.top: parent.top
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(implicitWidth, parent.width - 20)
        visible: notes.posDataError !== ""
        text: notes.posDataError
        textFormat: Text.PlainText
        elide: Text.ElideRight
        padding: 4
        color: "white"
        background: Rectangle { color: "#b35900"; opacity: 0.8 }
    }

    Column {
        id: receiptBox
        objectName: "receiptBox"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 8
        spacing: 4
        visible: notes.receiptText !== ""
        Label {
            objectName: "receiptBadge"
            anchors.right: parent.right
            text: notes.receiptBadge() + I18n.localeNotify
            textFormat: Text.PlainText
            color: "black"
            font.bold: true
            padding: 4
            background: Rectangle { color: "#ffd54f"; radius: 3 }
        }
        Label {
            objectName: "receiptText"
            width: Math.min(implicitWidth, notes.width / 2)
            text: notes.receiptText
            textFormat: Text.PlainText
            font.family: "monospace"
            elide: Text.ElideRight
            color: "white"
            padding: 6
            background: Rectangle { color: "black"; opacity: 0.7 }
        }
    }

    Column {
        objectName: "timelineNote"
        anchors.top: parent.top
        anchors.topMargin: 48
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 6
        visible: notes.playback.note !== ""
        Label {
            objectName: "timelineNoteText"
            anchors.horizontalCenter: parent.horizontalCenter
            text: notes.playback.note
            textFormat: Text.PlainText
            color: "white"
            padding: 6
            background: Rectangle { color: "black"; opacity: 0.75 }
        }
        Button {
            objectName: "nextRecordedMoment"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: notes.playback.nextMoment >= 0 && !notes.playback.active
            text: qsTranslate("RecordedPage", "Play from %1").arg(notes.playback.nextMoment >= 0
                      ? new Date(notes.playback.nextMoment).toLocaleString(Qt.locale(),
                                                                          Locale.ShortFormat)
                      : "") + I18n.localeNotify
            onClicked: notes.playFrom(notes.playback.nextMoment)
        }
    }
}
