import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// The note of a bookmark about to be made: the camera and moment above a field; Enter keeps
// the bookmark, Esc (or a click elsewhere) drops it. The note is plain text, kept on one line
// and cut at 500 characters, which the field says as soon as it is longer.
Popup {
    id: popup
    objectName: "bookmarkNote"
    property string streamId: ""
    property string camera: ""
    property real time: -1

    // Asks the note of a bookmark of `stream` at `moment`.
    function ask(stream, cameraName, moment) {
        if (stream === "" || !(moment > 0))
            return
        streamId = stream
        camera = cameraName
        time = moment
        noteText.text = ""
        open()
        noteText.forceActiveFocus()
    }

    function keep() {
        App.bookmarks.add(streamId, camera, time, noteText.text)
        close()
    }

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    anchors.centerIn: parent
    width: Math.min(480, parent ? parent.width - 20 : 480)
    padding: 12

    ColumnLayout {
        width: parent.width
        spacing: 6
        Label {
            Layout.fillWidth: true
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.bold: true
            text: qsTr("Bookmark %1 at %2").arg(popup.camera)
                  .arg(popup.time > 0 ? I18n.dateTimeText(popup.time) : "") + I18n.localeNotify
        }
        TextField {
            id: noteText
            objectName: "bookmarkNoteText"
            Layout.fillWidth: true
            placeholderText: qsTr("Note (Enter keeps it, Esc drops it)") + I18n.localeNotify
            selectByMouse: true
            // A pasted megabyte is taken no further than this; what is kept is cut shorter.
            maximumLength: 4000
            // Esc is the note's, not the console's (which leaves single view).
            Keys.onShortcutOverride: event.accepted = event.key === Qt.Key_Escape
            Keys.onEscapePressed: popup.close()
            Keys.onReturnPressed: popup.keep()
            Keys.onEnterPressed: popup.keep()
        }
        Label {
            objectName: "bookmarkNoteCut"
            Layout.fillWidth: true
            visible: noteText.length > 500
            wrapMode: Text.WordWrap
            color: "#b35900"
            text: qsTr("The note is cut at 500 characters") + I18n.localeNotify
        }
    }
}
