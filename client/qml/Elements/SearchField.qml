import QtQuick 2.11
import QtQuick.Controls 2.5
import Config 1.0
import Native 1.0

// A small find field for a header line: what is typed is matched as plain text; Down and Up
// step through what it found, Enter takes it.
TextField {
    id: field
    signal stepped(int by)

    font.pixelSize: 12
    color: G.theme.foreColor
    selectByMouse: true
    leftPadding: 6
    rightPadding: clear.visible ? clear.width : 6
    topPadding: 0
    bottomPadding: 0
    verticalAlignment: TextInput.AlignVCenter
    placeholderText: qsTr("Find") + I18n.localeNotify
    placeholderTextColor: Qt.darker(G.theme.foreColor, 1.35)
    background: Rectangle {
        radius: 3
        color: Qt.darker(G.theme.background, 1.45)
        border.width: 1
        border.color: field.activeFocus ? G.theme.foreColor : G.theme.lighter1
    }
    Keys.onDownPressed: field.stepped(1)
    Keys.onUpPressed: field.stepped(-1)

    Label {
        id: clear
        anchors.right: parent.right
        width: 18
        height: parent.height
        visible: field.text.length > 0
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: G.theme.foreColor
        text: "\u2715"
        MouseArea {
            anchors.fill: parent
            onClicked: field.clear()
        }
    }
}
