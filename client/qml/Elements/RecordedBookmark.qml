import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// A bookmark of the recorded page's stream: B (or the controls' "Bookmark") asks its note, for
// the moment shown.
Item {
    id: root
    property bool active: false
    property string streamId: ""
    property string streamName: ""
    // The moment shown (ms since the epoch); none while not above 0.
    property real moment: -1

    function ask() {
        if (streamId === "" || !(moment > 0))
            return
        note.ask(streamId, streamName, Math.round(moment))
    }

    Shortcut {
        sequence: "B"
        enabled: root.active && !note.opened
        onActivated: root.ask()
    }
    BookmarkNoteField {
        id: note
    }
}
