import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// Motion search on the recorded page: Ctrl+M (or the controls' button) opens its panel at the
// right, the areas are drawn on the picture, and the moments found are drawn on the timeline of
// the stream they were found in. Fills the part of the page above the controls; the picture
// leaves `panelWidth` to the panel.
Item {
    id: tool
    property bool open: false
    // The timeline's keys act (the page shows a stream).
    property bool keysActive: false
    property string streamId: ""
    property StreamHistory history: null
    property Item timeline: null
    // The camera view the areas are drawn on.
    property Item picture: null
    readonly property real panelWidth: panel.visible ? panel.width : 0

    signal playFrom(real time)

    Shortcut {
        sequence: "Ctrl+M"
        enabled: tool.keysActive
        onActivated: tool.open = !tool.open
    }
    MotionSearch {
        id: motionSearch
        objectName: "motionSearch"
        history: tool.history
    }
    Binding {
        target: tool.timeline
        property: "motion"
        value: motionSearch.searchedStream !== "" && motionSearch.searchedStream === tool.streamId
               ? motionSearch.moments : null
    }

    MotionAreaLayer {
        x: tool.picture ? tool.picture.x : 0
        y: tool.picture ? tool.picture.y : 0
        width: tool.picture ? tool.picture.width : 0
        height: tool.picture ? tool.picture.height : 0
        visible: panel.visible
        pictureRect: tool.picture ? tool.picture.pictureRect : Qt.rect(0, 0, 0, 0)
        areas: motionSearch.areas
        onAreasEdited: motionSearch.areas = areas
    }

    MotionSearchPanel {
        id: panel
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: implicitWidth
        visible: tool.open && tool.streamId !== ""
        search: motionSearch
        timeline: tool.timeline
        onPlayFrom: tool.playFrom(time)
        onCloseRequested: tool.open = false
    }
}
