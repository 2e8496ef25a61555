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
    // Where a press began and where the pointer moves while pressed (a drag).
    signal pressedAt(real x, real y)
    signal moved(real x, real y)
    // Set by a user of the area while a press drags something: that press is then no click.
    property bool dragging: false
    readonly property bool containsMouse: area.containsMouse

    Timer {
        id: singleClick
        interval: G.settings.clickDelay
        repeat: false
        onTriggered: root.clicked()
    }

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        preventStealing: true
        onClicked: {
            if (!root.dragging)
                singleClick.restart()
        }
        onDoubleClicked: {
            singleClick.stop()
            root.doubleClicked()
        }
        onEntered: root.entered()
        onExited: root.exited()
        onPressed: {
            root.dragging = false
            root.pressedAt(mouse.x, mouse.y)
            root.pressed()
        }
        onPositionChanged: {
            if (pressed)
                root.moved(mouse.x, mouse.y)
        }
        onReleased: root.released()
    }
}
