import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// An alarm cell: the events of one area of the site (its object and everything below it),
// newest first, the number still new and a button that acknowledges them. The border flashes
// while any is new.
Rectangle {
    id: root
    property string label: ""
    // The object whose area the cell watches.
    property alias areaId: areaEvents.areaId
    property alias events: areaEvents.events
    // In layout playback, the moment played: the cell lists the events up to it; 0 when live.
    property alias until: areaEvents.until
    readonly property alias filter: areaEvents
    // A double click on an event: its picture is wanted.
    signal eventActivated(string sourceId, real time, real arrival)

    readonly property int rowHeight: 20
    color: "#1c1c1c"
    clip: true

    EventFilter {
        id: areaEvents
        alarmsFirst: true
    }

    function timeText(ms) { return Qt.formatDateTime(new Date(ms), "HH:mm:ss") }
    // The times line up whether their row is new (bold) or not.
    TextMetrics {
        id: timeMetrics
        font.bold: true
        text: "00:00:00"
    }

    Rectangle {
        id: header
        width: parent.width
        height: 32
        color: areaEvents.newCount > 0 ? "#5a1414" : "#2c2c2c"

        Label {
            objectName: "alarmLabel"
            anchors.left: parent.left
            anchors.right: newBadge.left
            anchors.margins: 6
            anchors.verticalCenter: parent.verticalCenter
            elide: Text.ElideRight
            font.bold: true
            color: "white"
            textFormat: Text.PlainText
            text: root.label
        }
        Label {
            id: newBadge
            objectName: "alarmNewCount"
            anchors.right: ackButton.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            padding: 3
            color: "white"
            font.bold: areaEvents.newCount > 0
            text: qsTr("%1 new").arg(areaEvents.newCount) + I18n.localeNotify
            background: Rectangle {
                radius: 3
                color: areaEvents.newCount > 0 ? "#d32f2f" : "transparent"
            }
        }
        Button {
            id: ackButton
            objectName: "alarmAcknowledge"
            anchors.right: parent.right
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            height: 26
            enabled: areaEvents.newCount > 0
            text: qsTr("Acknowledge") + I18n.localeNotify
            onClicked: areaEvents.acknowledgeShown()
        }
    }

    ListView {
        id: list
        objectName: "alarmEvents"
        anchors.fill: parent
        anchors.topMargin: header.height
        anchors.leftMargin: 4
        anchors.rightMargin: 4
        clip: true
        interactive: contentHeight > height
        boundsBehavior: Flickable.StopAtBounds
        model: areaEvents
        // Texts come from the site: shown as the characters they hold, one line each.
        delegate: Item {
            width: list.width
            height: root.rowHeight
            readonly property color ink: model.isNew ? "white" : "#9a9a9a"
            Row {
                anchors.fill: parent
                spacing: 6
                Label {
                    width: Math.ceil(timeMetrics.advanceWidth) + 2
                    anchors.verticalCenter: parent.verticalCenter
                    color: parent.parent.ink
                    font.bold: model.isNew
                    textFormat: Text.PlainText
                    text: root.timeText(model.time)
                }
                Label {
                    width: Math.min(implicitWidth, Math.max(60, list.width * 0.3))
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    color: model.isNew ? "#ffb4a8" : "#9a9a9a"
                    textFormat: Text.PlainText
                    text: model.source
                }
                Label {
                    width: Math.max(0, list.width - x)
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    color: parent.parent.ink
                    textFormat: Text.PlainText
                    text: model.text
                }
            }
            MouseArea {
                anchors.fill: parent
                onDoubleClicked: root.eventActivated(model.sourceId, model.time, model.arrival)
            }
        }

    }
    // Beside the list, not in it: a list's children sit on its content, which has no height
    // while the list is empty.
    Label {
        anchors.centerIn: list
        visible: list.count === 0
        color: "#808080"
        text: qsTr("No events") + I18n.localeNotify
    }

    FlashingBorder {
        flashing: areaEvents.newCount > 0
    }
}
