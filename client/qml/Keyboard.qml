import QtQuick 2.11
import QtQuick.Window 2.11
import Native 1.0

// The console's keys: 1 to 9 apply the first nine layouts, Esc leaves single view, F11 toggles
// full screen, Ctrl+R opens the recorded page, Ctrl+T the transactions page, Ctrl+E the events
// page, Ctrl+B the bookmarks page and Ctrl+L the layout page. Ctrl+P switches the layout
// between live and playback (one minute ago); Esc also returns it to live.
Item {
    id: keys
    // The page shown now; its leaveSingleView(), when it has one, is called on Esc.
    property Item page: null
    // Ctrl+P on a page other than the layout: the layout is wanted in playback.
    signal layoutPlaybackRequested()

    function applyLayoutAt(index) {
        if (index < App.layoutsList.length)
            App.applyLayout(App.layoutsList[index])
    }

    function toggleFullScreen() {
        var window = keys.Window.window
        if (!window)
            return
        window.visibility = window.visibility === Window.FullScreen ? Window.Windowed
                                                                    : Window.FullScreen
    }

    Repeater {
        model: 9
        Item {
            Shortcut {
                sequence: String(index + 1)
                onActivated: keys.applyLayoutAt(index)
            }
        }
    }
    Shortcut {
        sequence: "Esc"
        onActivated: {
            if (keys.page && typeof keys.page.leaveSingleView === "function")
                keys.page.leaveSingleView()
        }
    }
    Shortcut {
        sequence: "F11"
        onActivated: keys.toggleFullScreen()
    }
    Shortcut {
        sequence: "Ctrl+R"
        onActivated: App.jumpToPage("recorder")
    }
    Shortcut {
        sequence: "Ctrl+T"
        onActivated: App.jumpToPage("transactions")
    }
    Shortcut {
        sequence: "Ctrl+E"
        onActivated: App.jumpToPage("events")
    }
    Shortcut {
        sequence: "Ctrl+B"
        onActivated: App.jumpToPage("bookmarks")
    }
    Shortcut {
        sequence: "Ctrl+P"
        onActivated: {
            if (keys.page && typeof keys.page.togglePlayback === "function")
                keys.page.togglePlayback()
            else
                keys.layoutPlaybackRequested()
        }
    }
    Shortcut {
        sequence: "Ctrl+L"
        onActivated: App.jumpToPage("playback")
    }
}
