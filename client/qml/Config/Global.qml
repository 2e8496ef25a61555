pragma Singleton
import QtQuick 2.11

// Settings, colours and dialog hooks shared by every screen.
Item {
    visible: false

    // Ctrl+I: the player figures over every camera view.
    property bool statsForAll: false

    readonly property QtObject settings: QtObject {
        readonly property int clickDelay: 200
        readonly property int toolbarIconSize: 32
        readonly property int sidebarOpenedWidth: 250
        readonly property int sidebarClosedWidth: 50
        readonly property int sidebarIconSize: 50
    }

    readonly property QtObject theme: QtObject {
        readonly property color background: "darkGray"
        readonly property color darker1: Qt.darker(background, 1.1)
        readonly property color darker2: Qt.darker(background, 1.2)
        readonly property color lighter1: Qt.lighter(background, 1.1)
        readonly property color lighter2: Qt.lighter(background, 1.2)
        readonly property color foreColor: "white"
    }

    // The main screen installs the functions; until then the calls do nothing.
    readonly property QtObject dialogs: QtObject {
        property var questionFunction: null
        property var waitFunction: null
        property var endWaitFunction: null

        function question(message, title, handler) {
            if (typeof questionFunction === "function")
                questionFunction(message, title, handler)
        }
        function wait(message, title) {
            if (typeof waitFunction === "function")
                waitFunction(message, title)
        }
        function endWait() {
            if (typeof endWaitFunction === "function")
                endWaitFunction()
        }
    }
}
