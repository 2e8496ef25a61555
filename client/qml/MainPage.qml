import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0
import Config 1.0
import Elements 1.0
import Scripts 1.0

Page {
    id: mainPage
    objectName: "mainPage"
    background: Rectangle { color: G.theme.background }

    function exit() { Qt.quit() }

    StackView {
        id: pages
        objectName: "pages"
        anchors.fill: parent
        anchors.leftMargin: G.settings.sidebarClosedWidth
        clip: true
        initialItem: layoutPage
    }

    Sidebar {
        id: sidebar
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        z: 10
        currentPage: !pages.currentItem ? "playback"
                     : pages.currentItem.objectName === "recordedPage" ? "recorder"
                     : pages.currentItem === transactionsPage ? "transactions"
                     : pages.currentItem === eventsPage ? "events"
                     : pages.currentItem === bookmarksPage ? "bookmarks" : "playback"
        onExitConfirmed: mainPage.exit()
        onStreamActivated: {
            var page = pages.currentItem
            if (page && typeof page.chooseStream === "function") {
                var stream = App.zarnRepository.objectById(streamId)
                page.chooseStream(stream ? stream.parentId : "", streamId)
            } else {
                App.showStreamAlone(streamId)
            }
        }
    }

    // The live layout: switches it to playback one minute ago. In the sidebar's strip, under
    // its entries, where it covers no cell's buttons (a door's "Open" in the corner).
    readonly property Item layoutShown: pages.currentItem
                                        && pages.currentItem.objectName === "layoutPage"
                                        ? pages.currentItem : null
    Button {
        objectName: "playbackButton"
        x: 3
        width: G.settings.sidebarClosedWidth - 6
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        z: 11
        visible: mainPage.layoutShown !== null && !mainPage.layoutShown.playbackMode
                 && App.layoutModel.numRows > 0 && !sidebar.opened
        text: "\u25C0\u25C0"
        font.pixelSize: 16
        ToolTip.text: qsTr("Playback: the whole layout from one minute ago (Ctrl+P)")
                      + I18n.localeNotify
        ToolTip.visible: hovered
        onClicked: mainPage.layoutShown.togglePlayback()
    }

    Keyboard {
        page: pages.currentItem
        onLayoutPlaybackRequested: mainPage.playLayoutAt(Date.now() - 60000)
    }

    ConnectionBanner {
        anchors.left: parent.left
        anchors.right: parent.right
        z: 10
    }

    Shortcut {
        sequence: "Ctrl+I"
        context: Qt.ApplicationShortcut
        onActivated: G.statsForAll = !G.statsForAll
    }

    Component {
        id: layoutPage
        LayoutPage { onEventActivated: mainPage.openEvent(sourceId, time, arrival) }
    }
    // One for the console's life, like the transactions page: the chosen camera and moment
    // wait while other pages show, and play again on return.
    RecordedPage {
        id: recordedPage
        visible: false
        onLayoutPlaybackRequested: mainPage.playLayoutAt(time)
    }
    // The recorded page, shown; `moment`: true when a moment to open follows at once, so that
    // the one left there does not start first.
    function showRecorded(moment) {
        if (moment)
            recordedPage.forgetLeftMoment()
        if (pages.currentItem !== recordedPage)
            pages.replace(recordedPage)
        return recordedPage
    }
    // One for the console's life: its search runs on and its results wait while other pages
    // show (the stack hides it and hands it back here).
    TransactionsPage {
        id: transactionsPage
        visible: false
        onReceiptActivated: mainPage.openReceipt(deviceId, streamId, time, text)
        onLayoutPlaybackRequested: mainPage.playLayoutAt(time)
    }

    // One for the console's life, like the transactions page: its filters and selection wait
    // while other pages show.
    EventsPage {
        id: eventsPage
        visible: false
        onEventActivated: mainPage.openEvent(sourceId, time, arrival)
        onLayoutPlaybackRequested: mainPage.playLayoutAt(time)
    }

    // One for the console's life, like the events page: its search and order wait while other
    // pages show.
    BookmarksPage {
        id: bookmarksPage
        visible: false
        onBookmarkActivated: mainPage.openBookmark(streamId, time)
    }

    // A bookmark chosen on its page: its camera's recording from its moment.
    function openBookmark(streamId, time) {
        var page = mainPage.showRecorded(true)
        if (page && typeof page.openBookmark === "function")
            page.openBookmark(App.events.deviceOf(streamId), streamId, time)
    }

    // The till rules watch every till while the console runs, whatever page shows.
    PosRuleWatcher {
        receiver: PosReceiver
        events: App.events
        repository: App.zarnRepository
    }

    // An event opened from the events page or an alarm cell: the camera that shows its
    // source, live when the event is recent, else recorded from just before it.
    readonly property int liveEventMs: 60000
    function openEvent(sourceId, time, arrival) {
        var stream = App.events.streamFor(sourceId)
        if (stream === "") {
            console.log("No camera shows the source of the event:", sourceId)
            eventNotice.show(qsTr("No camera shows this event's source"))
            return
        }
        // An event that happened a while ago (by the server's clock, which the recordings
        // follow) or arrived a while ago is seen recorded: a camera live would not show it.
        if (Date.now() - Math.min(time, arrival) > liveEventMs) {
            var page = mainPage.showRecorded(true)
            if (page && typeof page.openMoment === "function")
                page.openMoment(App.events.deviceOf(stream), stream, time)
            return
        }
        App.showStreamAlone(stream)
        if (!pages.currentItem || pages.currentItem.objectName !== "layoutPage")
            App.jumpToPage("playback")
    }

    // The current layout in playback at `time` (ms since the epoch), all its cameras in step.
    function playLayoutAt(time) {
        var page = pages.currentItem
        if (!page || page.objectName !== "layoutPage")
            page = pages.replace(layoutPage)
        if (page && typeof page.playAt === "function")
            page.playAt(time)
    }

    // A receipt chosen on the transactions page: its till's recording from just before it.
    function openReceipt(deviceId, streamId, time, text) {
        var page = mainPage.showRecorded(true)
        if (page && typeof page.openReceipt === "function")
            page.openReceipt(deviceId, streamId, time, text)
    }

    Connections {
        target: App
        function onRequestedJumpPage(page) {
            if (page === "playback")
                pages.replace(layoutPage)
            else if (page === "recorder")
                mainPage.showRecorded(false)
            else if (page === "transactions" && pages.currentItem !== transactionsPage)
                pages.replace(transactionsPage)
            else if (page === "events" && pages.currentItem !== eventsPage)
                pages.replace(eventsPage)
            else if (page === "bookmarks" && pages.currentItem !== bookmarksPage)
                pages.replace(bookmarksPage)
        }
    }

    Component {
        id: questionDialog
        Dialog {
            property var handler
            property alias message: messageLabel.text
            anchors.centerIn: parent
            modal: true
            standardButtons: Dialog.Yes | Dialog.No
            Label { id: messageLabel; color: "black"; textFormat: Text.PlainText }
            onAccepted: if (Utils.isfunction(handler)) handler(true)
            onRejected: if (Utils.isfunction(handler)) handler(false)
            onClosed: destroy()
        }
    }

    // A short word on why something asked for could not be done.
    Notice {
        id: eventNotice
        objectName: "eventNotice"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 60
        z: 20
        font.bold: true
    }

    Popup {
        id: waitPopup
        objectName: "waitPopup"
        property string title: ""
        property alias message: waitMessage.text
        anchors.centerIn: parent
        modal: true
        closePolicy: Popup.NoAutoClose
        Column {
            spacing: 8
            Label {
                text: waitPopup.title
                font.bold: true
                visible: text !== ""
                textFormat: Text.PlainText
            }
            Label { id: waitMessage; textFormat: Text.PlainText }
        }
    }

    Component.onCompleted: {
        G.dialogs.questionFunction = function(message, title, handler) {
            var dialog = questionDialog.createObject(mainPage, { title: title, message: message,
                                                                  handler: handler })
            dialog.open()
        }
        G.dialogs.waitFunction = function(message, title) {
            waitPopup.title = Utils.isValid(title) ? title : ""
            waitPopup.message = message
            waitPopup.open()
        }
        G.dialogs.endWaitFunction = function() { waitPopup.close() }
    }
    // Back on the login screen (a refused sign-in) the dialogs are gone with this page.
    Component.onDestruction: {
        G.dialogs.questionFunction = null
        G.dialogs.waitFunction = null
        G.dialogs.endWaitFunction = null
    }
}
