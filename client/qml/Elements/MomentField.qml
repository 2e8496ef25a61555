import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// A moment typed to go to it: Ctrl+G (while the field shows) puts the cursor here, Enter plays
// "2026-12-08 14:30", "14:30" (today) or "yesterday 14:30"; MomentParser reads it and says why
// a text is refused, under the field (or over it, `messageAbove`).
Item {
    id: field
    objectName: "momentField"
    property bool messageAbove: false
    // What the moment is for, until the operator types: "Go to… (Ctrl+G)".
    property alias placeholderText: input.placeholderText
    readonly property alias input: input
    // Why the last text was refused; empty when it was read.
    property string error: ""
    signal momentChosen(real time)

    implicitWidth: input.implicitWidth
    implicitHeight: input.implicitHeight

    function begin() {
        input.forceActiveFocus()
        input.selectAll()
    }

    function go() {
        var read = parser.read(input.text)
        if (!read.ok) {
            error = read.error
            console.warn("Moment refused:", JSON.stringify(input.text), "-", read.error)
            return
        }
        error = ""
        // The keys go back to the page: Space pauses again, the arrows step.
        input.focus = false
        console.log("Going to the moment", new Date(read.time).toISOString())
        momentChosen(read.time)
    }

    MomentParser { id: parser }

    Shortcut {
        sequence: "Ctrl+G"
        enabled: field.visible && field.enabled
        onActivated: field.begin()
    }

    TextField {
        id: input
        objectName: "momentInput"
        anchors.fill: parent
        selectByMouse: true
        placeholderText: qsTr("Go to… (Ctrl+G)") + I18n.localeNotify
        ToolTip.text: qsTr("A moment to play: 2026-12-08 14:30, 14:30 (today) or yesterday 14:30")
                      + I18n.localeNotify
        ToolTip.visible: hovered && field.error === ""
        onAccepted: field.go()
        // Esc leaves the field, and only that (not the playback, not a camera shown alone).
        Keys.onShortcutOverride: event.accepted = event.key === Qt.Key_Escape
        Keys.onEscapePressed: {
            field.error = ""
            input.focus = false
        }
        onTextEdited: field.error = ""
        onActiveFocusChanged: {
            if (!activeFocus)
                field.error = ""
        }
    }

    Label {
        objectName: "momentError"
        visible: field.error !== ""
        // Over the field it keeps to the field's right edge: the bar's fields sit on the right.
        x: field.messageAbove ? input.width - width : 0
        y: field.messageAbove ? -height - 4 : input.height + 4
        z: 300
        width: Math.max(input.width, 320)
        text: field.error
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: "white"
        padding: 6
        background: Rectangle { color: "#b71c1c"; radius: 3 }
    }
}
