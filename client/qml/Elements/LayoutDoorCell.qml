import QtQuick 2.11
import Native 1.0

// A door cell of the live layout: the door's state and its open/close button; in playback,
// the door's last reported state before the moment played, and no button.
Item {
    id: cell
    // The layout page (flashOnEvents, playbackMode, playbackMoment) and its LayoutPlayback.
    property var layoutPage: null
    property var playback: null
    readonly property bool playbackMode: layoutPage ? layoutPage.playbackMode : false
    readonly property real playbackMoment: layoutPage ? layoutPage.playbackMoment : 0
    readonly property Item slot: parent
    readonly property var sensor: slot ? slot.sensor : null
    readonly property var actuator: slot ? slot.actuator : null
    property bool pending: false
    // In playback: the door's last reported state before the moment, "" when unknown.
    readonly property string pastState: cell.playbackMode && slot && cell.playback
        ? cell.playback.doorStateAt(App.events, slot.streamId, cell.playbackMoment) : ""

    Timer {
        id: pendingTimer
        interval: 10000
        repeat: false
        onTriggered: cell.pending = false
    }

    Connections {
        target: cell.actuator
        function onValueChanged() {
            cell.pending = false
            pendingTimer.stop()
        }
    }

    Connections {
        target: App.events
        function onArrived(sourceIds) {
            if (cell.slot)
                cell.layoutPage.flashOnEvents(doorFlash, sourceIds, [cell.slot.streamId,
                                                          cell.slot.lockId,
                                                          cell.slot.gatewayId])
        }
    }

    FlashingBorder {
        id: doorFlash
        // A new event of an alarm class: until it is acknowledged.
        flashing: App.events.alarmRevision,
                  cell.slot ? App.events.hasNewAlarm([cell.slot.streamId, cell.slot.lockId,
                                                      cell.slot.gatewayId])
                            : false
    }

    DoorView {
        objectName: "doorView"
        anchors.fill: parent
        name: cell.slot ? cell.slot.cellLabel : ""
        isClosed: cell.playbackMode ? cell.pastState === "closed"
                                    : cell.sensor ? cell.sensor.value : false
        toOpen: cell.actuator ? cell.actuator.value : false
        reported: cell.playbackMode ? cell.pastState !== ""
                                    : cell.sensor ? cell.sensor.valueKnown : false
        stateKnown: !App.reconnector.active && (!cell.playbackMode || cell.pastState !== "")
        buttonOpenClose.enabled: !cell.playbackMode && !App.reconnector.active && !cell.pending
                                 && (cell.actuator ? cell.actuator.valueKnown : false)
        buttonOpenClose.onClicked: {
            cell.actuator.value = !cell.actuator.value
            cell.pending = true
            pendingTimer.restart()
        }
    }
}
