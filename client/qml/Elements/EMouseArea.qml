import QtQuick 2.11
import Config 1.0

// Tells a single click from a double click: a click is reported only when no second click
// followed within the click delay.
Item {
    id: root
    signal clicked()
    signal doubleClicked()
    signal entered()
    signal exited()
    signal pressed()
    signal released()

    Timer {
        id: singleClick
        interval: G.settings.clickDelay
        repeat: false
        onTriggered: root.clicked()
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        preventStealing: true
        onClicked: singleClick.restart()
        onDoubleClicked: {
            singleClick.stop()
            root.doubleClicked()
        }
        onEntered: root.entered()
        onExited: root.exited()
        onPressed: root.pressed()
        onReleased: root.released()
    }
}
