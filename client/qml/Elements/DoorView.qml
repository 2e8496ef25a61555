import QtQuick 2.11
import QtQuick.Layouts 1.3
import Native 1.0

Item {
    id: root
    property string name: "Door"
    property bool isClosed: true
    property bool toOpen: true
    // False while the server cannot tell the door's state (connection lost).
    property bool stateKnown: true
    // False until the door's sensor first reported: neither picture is shown then, as either
    // would claim a state.
    property bool reported: true
    property alias buttonOpenClose: button

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Image {
            id: picture
            Layout.fillWidth: true
            Layout.fillHeight: true
            fillMode: Image.PreserveAspectFit
            source: !root.reported ? ""
                    : root.isClosed ? "qrc:/images/door-closed.png" : "qrc:/images/door-opened.png"
            opacity: root.stateKnown && root.reported ? 1.0 : 0.3

            Text {
                objectName: "doorStateUnknown"
                anchors.centerIn: parent
                visible: !root.stateKnown || !root.reported
                text: qsTr("State unknown")
                color: "white"
                style: Text.Outline
                styleColor: "black"
                font.pixelSize: 15
            }

            Rectangle {
                anchors.top: parent.top
                anchors.horizontalCenter: parent.horizontalCenter
                width: nameText.implicitWidth + 8
                height: nameText.implicitHeight + 4
                color: Qt.rgba(1, 1, 1, 0.6)
                Text {
                    id: nameText
                    objectName: "doorName"
                    anchors.centerIn: parent
                    text: root.name
                    textFormat: Text.PlainText
                    color: "black"
                }
            }
        }

        EButton {
            id: button
            Layout.alignment: Qt.AlignHCenter
            flat: true
            text: root.toOpen ? qsTr("Open") : qsTr("Close") + I18n.localeNotify
        }
    }
}
