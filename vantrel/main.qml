import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import QtQuick.Window 2.11
import Native 1.0

Window {
    id: window
    visible: true
    width: 640
    height: 480
    title: qsTr("List")
    flags: debug ? Qt.Window : (Qt.Window | Qt.FramelessWindowHint)
    color: "black"

    SwipeView {
        id: pages
        objectName: "pages"
        anchors.fill: parent
        // The page follows the console's state only; a swipe by hand would break the binding.
        interactive: false
        currentIndex: QuickRpc.loggedIn ? 1 : 0
        background: Rectangle { color: "black" }

        Item {
            Label {
                objectName: "loginLabel"
                anchors.centerIn: parent
                text: qsTr("Login to continue")
                color: "white"
            }
        }

        Item {
            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                Label {
                    Layout.preferredHeight: 32
                    text: "Menu"
                    font.bold: true
                    color: "white"
                    verticalAlignment: Text.AlignVCenter
                }

                ComboBox {
                    id: menu
                    objectName: "menu"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 40
                    textRole: "label"
                    model: ListModel {
                        ListElement { label: "Playback"; page: "playback" }
                        ListElement { label: "Recorder"; page: "recorder" }
                    }
                    onCurrentIndexChanged: {
                        if (currentIndex >= 0 && currentIndex < model.count)
                            QuickRpc.setPage(model.get(currentIndex).page)
                    }
                }

                Label {
                    Layout.preferredHeight: 32
                    text: "Layouts"
                    font.bold: true
                    color: "white"
                    verticalAlignment: Text.AlignVCenter
                }

                ListView {
                    id: layouts
                    objectName: "layouts"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    model: LayoutList
                    // A row number, kept when the console replaces the list.
                    property int selectedRow: -1
                    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

                    delegate: Rectangle {
                        objectName: "layoutRow" + index
                        width: ListView.view.width
                        height: 40
                        color: index === layouts.selectedRow ? "gray" : "black"

                        Label {
                            anchors.verticalCenter: parent.verticalCenter
                            leftPadding: 8
                            text: name
                            // Layout names come from the server: shown as typed, never as markup.
                            textFormat: Text.PlainText
                            color: "white"
                        }

                        MouseArea {
                            anchors.fill: parent
                            onClicked: {
                                layouts.selectedRow = index
                                QuickRpc.setLayout(name, json)
                            }
                        }
                    }
                }
            }
        }
    }
}
