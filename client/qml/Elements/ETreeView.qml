import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0
import Scripts 1.0

// A collapsible tree over a TreeModel: each level is a list, indented by its level; a click
// opens or closes a node, a double click activates it.
ListView {
    id: tree
    property int rowHeight: 24
    property int indent: 14
    property color textColor: G.theme.foreColor
    signal activated(string nodeId, string label, string icon)

    clip: true
    boundsBehavior: Flickable.StopAtBounds

    function glyph(icon) {
        return Utils.treeGlyph(icon)
    }

    delegate: Column {
        id: node
        width: tree.width
        readonly property var children_: model.childItems
        readonly property bool open: model.expanded

        Rectangle {
            objectName: "treeRow"
            width: parent.width
            height: tree.rowHeight
            color: rowArea.hovered ? G.theme.lighter1 : "transparent"

            Label {
                x: 4 + model.level * tree.indent
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - x
                elide: Text.ElideRight
                color: tree.textColor
                textFormat: Text.PlainText
                text: (node.children_ ? (node.open ? "\u25be " : "\u25b8 ") : "   ")
                      + tree.glyph(model.icon) + " " + model.label
            }

            EMouseArea {
                id: rowArea
                property bool hovered: false
                anchors.fill: parent
                onEntered: hovered = true
                onExited: hovered = false
                onClicked: if (node.children_) model.expanded = !node.open
                onDoubleClicked: tree.activated(model.id, model.label, model.icon)
            }
        }

        Loader {
            id: childTree
            width: parent.width
            active: node.open && node.children_ !== null
            visible: active
            source: "ETreeView.qml"
            onLoaded: {
                item.model = Qt.binding(function() { return node.children_ })
                item.interactive = false
                item.height = Qt.binding(function() { return item.contentHeight })
                item.rowHeight = tree.rowHeight
                item.indent = tree.indent
                item.textColor = tree.textColor
            }
        }

        Connections {
            target: childTree.item
            function onActivated(nodeId, nodeLabel, nodeIcon) {
                tree.activated(nodeId, nodeLabel, nodeIcon)
            }
        }
    }
}
