import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Window 2.11
import Native 1.0

ApplicationWindow {
    id: window
    // Shown by windowMemory, at the size, place and state the console had when it last closed.
    visible: false
    width: 640
    height: 480
    title: qsTr("Client")
    flags: debug ? Qt.Window : (Qt.Window | Qt.FramelessWindowHint)

    WindowMemory {
        id: windowMemory
    }
    Component.onCompleted: windowMemory.restore(window)

    StackView {
        id: stack
        anchors.fill: parent
        initialItem: loginPage
    }

    Component {
        id: loginPage
        LoginPage {
            onRequestNextStep: stack.replace(mainPage)
        }
    }

    Component {
        id: mainPage
        MainPage {}
    }

    // The server refused the stored credentials while reconnecting.
    Connections {
        target: App
        function onLoginRequired(message) {
            stack.replace(loginPage, { "refusedMessage": message })
        }
    }
}
