import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Window 2.2
import Native 1.0
import Elements 1.0

// The live layout: one element per cell of the loaded layout, placed on its grid.
Pane {
    id: page
    objectName: "layoutPage"
    padding: 0
    background: Rectangle { color: "black" }

    readonly property real cellWidth: width / Math.max(1, App.layoutModel.numCols)
    readonly property real cellHeight: height / Math.max(1, App.layoutModel.numRows)
    // The camera view shown alone over the others, if any: the cells it covers stop decoding.
    property Item viewAlone: null
    readonly property bool onScreen: visible && Window.visibility !== Window.Minimized
                                     && Window.visibility !== Window.Hidden

    // A double click on an event of an alarm cell: its picture is wanted.
    signal eventActivated(string sourceId, real time, real arrival)

    Component.onCompleted: App.showFirstLayoutUntilOneIsApplied()

    // A reloaded object tree replaces the objects the cells hold: counting the reloads makes
    // the cells look theirs up again.
    property int treeRevision: 0
    Connections {
        target: App.zarnRepository
        function onDataChanged() { page.treeRevision++ }
    }

    function componentFor(type) {
        if (type === LayoutModel.Video)
            return cameraCell
        if (type === LayoutModel.Door)
            return doorCell
        if (type === LayoutModel.Alarm)
            return alarmCell
        return null
    }

    // Returns every camera shown alone to its cell.
    function leaveSingleView() {
        for (var i = 0; i < cells.count; ++i) {
            var cell = cells.itemAt(i)
            if (cell && cell.item && typeof cell.item.leaveSingleView === "function")
                cell.item.leaveSingleView()
        }
    }

    // A camera or door cell flashes for a while when one of its objects raised a new event.
    readonly property int eventFlashMs: 10000
    function flashOnEvents(border, sourceIds, ids) {
        for (var i = 0; i < ids.length; ++i) {
            if (ids[i] !== "" && sourceIds.indexOf(ids[i]) >= 0) {
                border.flashFor(eventFlashMs)
                return
            }
        }
    }

    Repeater {
        id: cells
        model: App.layoutModel
        Loader {
            readonly property string cellLabel: label
            readonly property int cellIndex: index
            readonly property string cellUrl: url
            readonly property string gatewayId: deviceId
            readonly property string streamId: objectId
            readonly property string lockId: actuatorId
            readonly property var sensor: page.treeRevision, App.zarnRepository.objectById(objectId)
            readonly property var actuator: page.treeRevision,
                App.zarnRepository.objectById(actuatorId)
            x: col * page.cellWidth
            y: row * page.cellHeight
            width: colSpan * page.cellWidth
            height: rowSpan * page.cellHeight
            sourceComponent: page.componentFor(type)
        }
    }

    Component {
        id: alarmCell
        AlarmView {
            readonly property Item slot: parent
            objectName: "alarmView"
            label: slot ? slot.cellLabel : ""
            // The cell watches its object's area, or its device's when it names no object.
            areaId: !slot ? "" : slot.streamId !== "" ? slot.streamId : slot.gatewayId
            events: App.events
            onEventActivated: page.eventActivated(sourceId, time, arrival)
        }
    }

    Component {
        id: cameraCell
        Item {
            id: cell
            readonly property Item slot: parent
            readonly property string streamId: slot ? slot.streamId : ""
            property string posAddress: ""

            function leaveSingleView() { view.singleView = false }

            function subscribeOverlay() {
                if (!slot || slot.streamId === "" || slot.gatewayId === "")
                    return
                var address = "127.0.0.1"
                var port = 5556
                var gateway = App.zarnRepository.objectById(slot.gatewayId)
                // A setting the gateway lacks keeps its fallback.
                if (gateway && gateway.settings) {
                    if (gateway.settings.contains("address")) {
                        address = gateway.settings.prop("address")
                        console.log("GW address from LDAP:", address)
                    }
                    if (gateway.settings.contains("posPort")) {
                        port = parseInt(gateway.settings.prop("posPort"))
                        console.log("Pos Port from LDAP:", port)
                    }
                }
                console.log("Gateway IP:", address)
                console.log("Pos Port:", port)
                posAddress = address
                PosReceiver.subscribe(address, port, slot.streamId)
            }

            Connections {
                target: App.events
                function onArrived(sourceIds) {
                    page.flashOnEvents(cameraFlash, sourceIds, [cell.streamId,
                                                                cell.slot ? cell.slot.gatewayId : ""])
                }
            }

            Component.onCompleted: subscribeOverlay()
            Component.onDestruction: {
                if (page.viewAlone === view)
                    page.viewAlone = null
                if (streamId !== "")
                    PosReceiver.unsubscribe(posAddress, streamId)
            }

            ProfileChooser {
                id: chooser
                streamId: cell.slot ? cell.slot.streamId : ""
                fallbackUrl: cell.slot ? cell.slot.cellUrl : ""
                pixelWidth: Math.round(view.width * Screen.devicePixelRatio)
                pixelHeight: Math.round(view.height * Screen.devicePixelRatio)
                cellName: cell.slot ? "cell " + (cell.slot.cellIndex + 1) + " (\"" + cell.slot.cellLabel
                                      + "\")" : ""
            }

            Connections {
                target: PosReceiver
                function onPosReceived(topic, msg) {
                    if (topic === cell.streamId)
                        view.appendPos(msg)
                }
            }

            CameraView {
                id: view
                objectName: "cameraView"
                width: cell.width
                height: cell.height
                cameraName: cell.slot ? cell.slot.cellLabel : ""
                url: chooser.url
                profile: chooser.profile
                shouldAutoplay: true
                networkOnly: true
                decoding: page.onScreen && (page.viewAlone === null || page.viewAlone === view)
                onSingleViewChanged: {
                    if (singleView)
                        page.viewAlone = view
                    else if (page.viewAlone === view)
                        page.viewAlone = null
                }

                Component.onCompleted: {
                    backend.command(["apply-profile", "low-latency"])
                    backend.setOption("no-cache", null)
                    backend.setOption("video-sync", "desync")
                    backend.setOption("aid", "no")
                    // Everything received is read into the demuxer, so that what it holds
                    // measures how far behind the live edge the cell plays.
                    backend.setOption("demuxer-readahead-secs", "30")
                }

                FlashingBorder {
                    id: cameraFlash
                }

                states: State {
                    name: "single"
                    when: view.singleView
                    ParentChange {
                        target: view
                        parent: page
                        x: 0
                        y: 0
                        width: page.width
                        height: page.height
                    }
                    PropertyChanges { target: view; z: 100 }
                }
                transitions: Transition {
                    ParentAnimation {
                        NumberAnimation {
                            properties: "x,y,z,width,height"
                            easing.type: Easing.InOutQuad
                        }
                    }
                }
            }
        }
    }

    Component {
        id: doorCell
        Item {
            id: cell
            readonly property Item slot: parent
            readonly property var sensor: slot ? slot.sensor : null
            readonly property var actuator: slot ? slot.actuator : null
            property bool pending: false

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
                        page.flashOnEvents(doorFlash, sourceIds, [cell.slot.streamId,
                                                                  cell.slot.lockId,
                                                                  cell.slot.gatewayId])
                }
            }

            FlashingBorder {
                id: doorFlash
            }

            DoorView {
                objectName: "doorView"
                anchors.fill: parent
                name: cell.slot ? cell.slot.cellLabel : ""
                isClosed: cell.sensor ? cell.sensor.value : false
                toOpen: cell.actuator ? cell.actuator.value : false
                reported: cell.sensor ? cell.sensor.valueKnown : false
                stateKnown: !App.reconnector.active
                buttonOpenClose.enabled: !App.reconnector.active && !cell.pending
                                         && (cell.actuator ? cell.actuator.valueKnown : false)
                buttonOpenClose.onClicked: {
                    cell.actuator.value = !cell.actuator.value
                    cell.pending = true
                    pendingTimer.restart()
                }
            }
        }
    }
}
