import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0
import Native 1.0
import Scripts 1.0

// What the camera tree's search found: each match under its ancestors, shown open, the current
// match marked and kept in view. A click makes a match current, a double click on a stream asks
// to show it.
ListView {
    id: found
    property var finder: null
    property int rowHeight: 24
    property int indent: 14
    signal streamActivated(string streamId)

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    model: finder ? finder.model : null
    ScrollBar.vertical: ScrollBar {}

    function showCurrent() {
        if (finder && finder.currentRow >= 0)
            positionViewAtIndex(finder.currentRow, ListView.Contain)
    }

    Connections {
        target: found.finder
        function onCurrentChanged() { found.showCurrent() }
    }

    Label {
        objectName: "nothingFound"
        visible: found.count === 0
        x: 6
        height: found.rowHeight
        verticalAlignment: Text.AlignVCenter
        color: Qt.darker(G.theme.foreColor, 1.5)
        text: qsTr("Nothing found") + I18n.localeNotify
    }

    delegate: Rectangle {
        objectName: "foundRow"
        width: found.width
        height: found.rowHeight
        readonly property bool current: found.finder && index === found.finder.currentRow
        color: current ? G.theme.lighter1 : (rowArea.containsMouse ? G.theme.darker1
                                                                   : "transparent")
        Label {
            x: 4 + model.level * found.indent
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - x
            elide: Text.ElideRight
            color: G.theme.foreColor
            // Ancestors are there to place the matches; they step back.
            opacity: model.match ? 1 : 0.6
            font.bold: model.match
            textFormat: Text.PlainText
            text: (model.open ? "\u25be " : "   ") + Utils.treeGlyph(model.icon) + " "
                  + model.label
        }
        MouseArea {
            id: rowArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: found.finder.chooseRow(index)
            onDoubleClicked: {
                if (model.icon === "stream")
                    found.streamActivated(model.id)
            }
        }
    }
}
