import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// The recorded page's column: the streams of the layout, the chunks of the one chosen, and the
// field where a moment is typed (Ctrl+G); under the lists, which keep their places.
ColumnLayout {
    id: choices
    spacing: 4

    // The chunk list's model (ChunkRecording.chunks).
    property var chunks: null
    property bool streamChosen: false
    signal streamClicked(string device, string stream)
    signal chunkClicked(real start, real end, real size)
    signal momentChosen(real time)

    Label {
        text: qsTranslate("RecordedPage", "Available streams") + I18n.localeNotify
        font.bold: true
    }
    ListView {
        id: streams
        objectName: "streamList"
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(contentHeight, choices.height / 2)
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
            onClicked: choices.streamClicked(deviceId, objectId)
        }
    }
    Label {
        text: qsTranslate("RecordedPage", "Recorded chunks") + I18n.localeNotify
        font.bold: true
    }
    ListView {
        id: chunkList
        objectName: "chunkList"
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        model: choices.chunks
        ScrollBar.vertical: ScrollBar {}
        delegate: ItemDelegate {
            width: chunkList.width
            contentItem: Column {
                Label { text: qsTranslate("RecordedPage", "start: %1").arg(new Date(start).toLocaleString()) }
                Label { text: qsTranslate("RecordedPage", "end: %1").arg(new Date(end).toLocaleString()) }
                Label { text: qsTranslate("RecordedPage", "size: %1").arg(size); textFormat: Text.PlainText }
            }
            onClicked: choices.chunkClicked(start, end, size)
        }
    }
    // A moment typed (Ctrl+G) plays on the chosen camera; under the lists, which keep
    // their places.
    MomentField {
        id: momentField
        objectName: "recordedMomentField"
        Layout.fillWidth: true
        Layout.preferredHeight: implicitHeight
        enabled: choices.streamChosen
        onMomentChosen: choices.momentChosen(time)
    }
    EButton {
        visible: debug
        text: qsTr("Delete all streams")
    }
}
