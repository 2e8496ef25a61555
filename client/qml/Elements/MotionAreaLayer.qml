import QtQuick 2.11

// The marked area of a motion search over the picture: drag to draw a rectangle (several may
// be drawn), each drawn one shown with its frame. Rectangles are kept normalised to the
// picture (0..1), so they stay on the same part of it whatever the window's size.
Item {
    id: areaLayer
    objectName: "motionAreaLayer"
    // Where the picture lies in the layer (CameraView.pictureRect).
    property rect pictureRect: Qt.rect(0, 0, width, height)
    // [{x, y, width, height}], normalised.
    property var areas: []
    signal areasEdited(var areas)

    function normalised(x0, y0, x1, y1) {
        var r = pictureRect
        var left = (Math.min(x0, x1) - r.x) / r.width, top = (Math.min(y0, y1) - r.y) / r.height
        var right = (Math.max(x0, x1) - r.x) / r.width, bottom = (Math.max(y0, y1) - r.y) / r.height
        left = Math.max(0, left); top = Math.max(0, top)
        right = Math.min(1, right); bottom = Math.min(1, bottom)
        return { x: left, y: top, width: Math.max(0, right - left), height: Math.max(0, bottom - top) }
    }

    Repeater {
        model: areaLayer.areas.length
        Rectangle {
            objectName: "motionArea"
            readonly property var area: areaLayer.areas[index] || { x: 0, y: 0, width: 0, height: 0 }
            x: areaLayer.pictureRect.x + area.x * areaLayer.pictureRect.width
            y: areaLayer.pictureRect.y + area.y * areaLayer.pictureRect.height
            width: area.width * areaLayer.pictureRect.width
            height: area.height * areaLayer.pictureRect.height
            color: "#202f9bff"
            border.color: "#2f9bff"
            border.width: 2
        }
    }
    Rectangle {
        id: rubber
        visible: drag.pressed
        color: "#402f9bff"
        border.color: "white"
        border.width: 1
    }
    MouseArea {
        id: drag
        objectName: "motionAreaDrag"
        anchors.fill: parent
        cursorShape: Qt.CrossCursor
        property real startX: 0
        property real startY: 0
        onPressed: {
            startX = mouse.x
            startY = mouse.y
            rubber.x = mouse.x; rubber.y = mouse.y; rubber.width = 0; rubber.height = 0
        }
        onPositionChanged: {
            rubber.x = Math.min(startX, mouse.x)
            rubber.y = Math.min(startY, mouse.y)
            rubber.width = Math.abs(mouse.x - startX)
            rubber.height = Math.abs(mouse.y - startY)
        }
        onReleased: {
            var area = areaLayer.normalised(startX, startY, mouse.x, mouse.y)
            if (area.width <= 0 || area.height <= 0)
                return
            var list = areaLayer.areas.slice()
            list.push(area)
            areaLayer.areasEdited(list)
        }
    }
}
