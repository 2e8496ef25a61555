import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// Bookmarks on the layout page: B (or the playback bar's "Bookmark") marks the camera shown
// alone, else the cell last clicked or pointed at, else the layout's only camera, at the moment
// it shows: the moment played back, or now when live. Fills the page: the note and the notice
// show over its middle.
Item {
    id: root
    // The page's cells (a Repeater of loaders whose items tell isCamera and streamId).
    property Item cellRepeater
    // The camera view shown alone, if any (its cellStream names its stream).
    property Item viewAlone: null
    property bool active: false
    property bool playbackMode: false
    property real playbackMoment: 0
    // The streams of the layout's camera cells: their bookmarks are flagged on the playback bar.
    property var streams: []
    // The camera cell last clicked or pointed at (its stream).
    property string pointedStream: ""

    function collectStreams() {
        var found = []
        for (var i = 0; cellRepeater && i < cellRepeater.count; ++i) {
            var cell = cellRepeater.itemAt(i)
            if (cell && cell.isCamera && cell.streamId !== "" && found.indexOf(cell.streamId) < 0)
                found.push(cell.streamId)
        }
        streams = found
    }

    function bookmarkCell() {
        var stream = ""
        if (viewAlone !== null)
            stream = viewAlone.cellStream
        if (stream === "" && streams.indexOf(pointedStream) >= 0)
            stream = pointedStream
        if (stream === "" && streams.length === 1)
            stream = streams[0]
        if (stream === "") {
            notice.show(qsTr("Click a camera, then press B"))
            return
        }
        var object = App.zarnRepository.objectById(stream)
        note.ask(stream, object ? object.name : stream,
                 playbackMode ? Math.round(playbackMoment) : Date.now())
    }

    Connections {
        target: root.cellRepeater
        function onItemAdded() { Qt.callLater(root.collectStreams) }
        function onItemRemoved() { Qt.callLater(root.collectStreams) }
    }
    Shortcut {
        sequence: "B"
        enabled: root.active && !note.opened
        onActivated: root.bookmarkCell()
    }
    BookmarkNoteField {
        id: note
    }
    Notice {
        id: notice
        objectName: "bookmarkNotice"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.verticalCenter: parent.verticalCenter
    }
}
