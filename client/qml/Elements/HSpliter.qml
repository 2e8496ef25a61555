import QtQuick 2.11
import QtQuick.Controls 2.2

// Two panes side by side; dragging the handle between them sets the left pane's width.
Item {
    id: root
    property alias leftContent: leftPane.contentItem
    property alias rightContent: rightPane.contentItem

    Row {
        anchors.fill: parent
        spacing: 0

        Pane {
            id: leftPane
            padding: 0
            width: 250
            height: parent.height
            Behavior on width {
                NumberAnimation { duration: 250; easing.type: Easing.OutExpo }
            }
        }

        Item {
            id: handleColumn
            width: 5
            height: parent.height

            Rectangle {
                id: handle
                width: 5
                height: parent.height
                color: "gray"
                anchors.left: parent.left

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.SplitHCursor
                    drag.target: handle
                    drag.axis: Drag.XAxis
                    drag.minimumX: 0
                    drag.maximumX: root.width - 5
                    onPressed: {
                        handle.anchors.left = undefined
                        handle.parent = root
                        handle.x = handleColumn.x
                        handle.z = 10
                    }
                    onReleased: {
                        leftPane.width = handle.x
                        handle.parent = handleColumn
                        handle.z = 0
                        handle.x = 0
                        handle.anchors.left = handleColumn.left
                    }
                }
            }
        }

        Pane {
            id: rightPane
            padding: 0
            width: parent.width - leftPane.width - handleColumn.width
            height: parent.height
        }
    }
}
