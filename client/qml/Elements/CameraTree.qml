import QtQuick 2.11
import Native 1.0

// The server's sites, devices, streams, sensors and actuators; a double click on a stream
// asks to show it.
ETreeView {
    id: cameraTree
    objectName: "cameraTree"
    signal streamActivated(string streamId)

    ObjectTree {
        id: objects
        repository: App.zarnRepository
    }

    model: objects.model
    onActivated: {
        if (icon === "stream")
            cameraTree.streamActivated(nodeId)
    }
}
