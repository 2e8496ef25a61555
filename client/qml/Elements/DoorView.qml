import QtQuick 2.11
import QtQuick.Layouts 1.3
import Native 1.0

Item {
    id: root
    property string name: "Door"
    property bool isClosed: true
    property bool toOpen: true
    property alias buttonOpenClose: button

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Image {
            id: picture
            Layout.fillWidth: true
            Layout.fillHeight: true
            fillMode: Image.PreserveAspectFit
            source: root.isClosed ? "qrc:/images/door-closed.png" : "qrc:/images/door-opened.png"

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
