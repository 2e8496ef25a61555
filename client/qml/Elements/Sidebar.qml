import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0
import Native 1.0

// The console's own navigation: the two pages, the way out, the server's layouts and its
// cameras. Closed it is a strip of icons; opened it lies over the page beside it.
Rectangle {
    id: bar
    objectName: "sidebar"
    property bool opened: false
    // The page shown now: "playback" (the live layouts), "recorder", "transactions" or
    // "events".
    property string currentPage: "playback"
    signal streamActivated(string streamId)
    signal exitConfirmed()

    readonly property int entryHeight: G.settings.sidebarIconSize
    readonly property int listRowHeight: 28
    readonly property int headerHeight: 20

    width: opened ? G.settings.sidebarOpenedWidth : G.settings.sidebarClosedWidth
    color: G.theme.darker2
    clip: true
    Behavior on width {
        NumberAnimation { duration: 150; easing.type: Easing.OutQuad }
    }

    function showStream(streamId) {
        bar.opened = false
        bar.streamActivated(streamId)
    }

    function applyLayout(name) {
        bar.opened = false
        App.applyLayout(name)
    }

    // A closed sidebar keeps no key: typing goes back to the page and its shortcuts.
    onOpenedChanged: {
        if (!opened && (layoutsHeader.searching || camerasHeader.searching))
            bar.forceActiveFocus()
    }

    Shortcut {
        sequence: "Ctrl+F"
        onActivated: {
            bar.opened = true
            camerasHeader.search()
        }
    }

    function askExit() {
        G.dialogs.question(qsTr("Do you want to close the console?"), qsTr("Exit"),
                           function(yes) { if (yes) bar.exitConfirmed() })
    }

    // A list's title, with a find field beside it when searchName names one.
    component ListHeader: Item {
        id: header
        property string title: ""
        property string searchName: ""
        readonly property string text: field.visible ? field.text : ""
        readonly property bool searching: field.activeFocus
        signal accepted()
        signal stepped(int by)
        function search() {
            field.forceActiveFocus()
            field.selectAll()
        }
        width: G.settings.sidebarOpenedWidth
        height: bar.headerHeight
        Label {
            id: titleLabel
            height: parent.height
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            font.bold: true
            color: G.theme.foreColor
            text: header.title
        }
        SearchField {
            id: field
            objectName: header.searchName
            visible: header.searchName !== ""
            x: titleLabel.width + 8
            width: parent.width - x - 6
            height: parent.height
            onAccepted: header.accepted()
            onStepped: header.stepped(by)
        }
    }

    component Entry: Rectangle {
        id: entry
        property string glyph: ""
        property real glyphRotation: 0
        property string text: ""
        property bool current: false
        // A number shown on the icon (events waiting); none at 0.
        property int badge: 0
        signal activated()
        width: bar.width
        height: bar.entryHeight
        color: current ? G.theme.lighter1 : (entryArea.containsMouse ? G.theme.darker1
                                                                      : "transparent")
        Label {
            width: G.settings.sidebarClosedWidth
            height: parent.height
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 22
            color: G.theme.foreColor
            rotation: entry.glyphRotation
            text: entry.glyph
        }
        Rectangle {
            objectName: "entryBadge"
            x: G.settings.sidebarClosedWidth - width - 2
            y: 3
            width: Math.max(height, badgeText.implicitWidth + 8)
            height: 16
            radius: 8
            color: "#d32f2f"
            visible: entry.badge > 0
            Label {
                id: badgeText
                anchors.centerIn: parent
                font.pixelSize: 10
                font.bold: true
                color: "white"
                text: entry.badge > 999 ? "999+" : entry.badge
            }
        }
        Label {
            x: G.settings.sidebarClosedWidth
            height: parent.height
            width: parent.width - x
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            color: G.theme.foreColor
            text: entry.text
        }
        MouseArea {
            id: entryArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: entry.activated()
        }
    }

    Column {
        id: entries
        width: bar.width

        Entry {
            glyph: "\u2630"
            text: qsTr("Menu") + I18n.localeNotify
            onActivated: bar.opened = !bar.opened
        }
        Entry {
            glyph: "\u25a6"
            text: qsTr("Layout") + I18n.localeNotify
            current: bar.currentPage === "playback"
            onActivated: {
                bar.opened = false
                App.jumpToPage("playback")
            }
        }
        Entry {
            glyph: "\u25b6"
            text: qsTr("Recorded") + I18n.localeNotify
            current: bar.currentPage === "recorder"
            onActivated: {
                bar.opened = false
                App.jumpToPage("recorder")
            }
        }
        Entry {
            objectName: "transactionsEntry"
            // A magnifying glass: the circle and its handle turned down to the right.
            glyph: "\u26B2"
            glyphRotation: -45
            text: qsTr("Transactions") + I18n.localeNotify
            current: bar.currentPage === "transactions"
            onActivated: {
                bar.opened = false
                App.jumpToPage("transactions")
            }
        }
        Entry {
            objectName: "eventsEntry"
            glyph: "\u26A0"
            text: qsTr("Events") + I18n.localeNotify
            badge: App.events.newCount
            current: bar.currentPage === "events"
            onActivated: {
                bar.opened = false
                App.jumpToPage("events")
            }
        }
        Entry {
            objectName: "bookmarksEntry"
            glyph: "\u2691"
            text: qsTr("Bookmarks") + I18n.localeNotify
            current: bar.currentPage === "bookmarks"
            onActivated: {
                bar.opened = false
                App.jumpToPage("bookmarks")
            }
        }
        Entry {
            glyph: "\u2715"
            text: qsTr("Exit") + I18n.localeNotify
            onActivated: bar.askExit()
        }
    }

    // The interface language, each named in its own words; applied at once and kept.
    Row {
        id: languageRow
        objectName: "languageChoice"
        anchors.bottom: parent.bottom
        visible: bar.opened
        width: G.settings.sidebarOpenedWidth
        height: bar.listRowHeight
        // Beside the strip of icons, whose column stays the bar's plain colour.
        leftPadding: G.settings.sidebarClosedWidth
        rightPadding: 4
        spacing: 4
        Repeater {
            model: I18n.languages
            delegate: Button {
                objectName: "language_" + modelData
                height: parent.height
                // Each as wide as its name, cut (and shown whole when hovered) only past a third.
                width: Math.min(contentItem.implicitWidth + 8,
                                (G.settings.sidebarOpenedWidth - G.settings.sidebarClosedWidth
                                 - 4 - 2 * 4) / 3 + 12)
                padding: 0
                flat: true
                // The language in use is marked by its text alone: the row keeps the sidebar's
                // colour.
                readonly property bool current: I18n.language === modelData
                onClicked: I18n.choose(modelData)
                contentItem: Label {
                    text: I18n.nativeName(modelData)
                    elide: Text.ElideRight
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    color: G.theme.foreColor
                    font.bold: parent.current
                    font.pixelSize: 12
                    font.underline: parent.current
                }
                ToolTip.visible: hovered && contentItem.truncated
                ToolTip.text: I18n.nativeName(modelData)
            }
        }
    }
    Column {
        anchors.top: entries.bottom
        anchors.bottom: languageRow.top
        width: G.settings.sidebarOpenedWidth
        visible: bar.opened

        ListHeader {
            id: layoutsHeader
            title: qsTr("Layouts") + I18n.localeNotify
            // Short lists are read at a glance; a long one is searched.
            searchName: App.layoutsList.length > 9 ? "layoutSearch" : ""
            onAccepted: {
                if (layoutFilter.count > 0)
                    bar.applyLayout(layoutFilter.nameAt(0))
            }
        }
        NameFilter {
            id: layoutFilter
            names: App.layoutsList
            text: layoutsHeader.searchName ? layoutsHeader.text : ""
        }
        ListView {
            id: layouts
            objectName: "sidebarLayouts"
            width: parent.width
            height: Math.min(contentHeight, 5 * bar.listRowHeight)
            clip: true
            model: layoutFilter
            ScrollBar.vertical: ScrollBar {}
            delegate: Rectangle {
                width: layouts.width
                height: bar.listRowHeight
                color: model.name === App.currentLayout ? G.theme.lighter1
                                                        : (layoutArea.containsMouse
                                                           ? G.theme.darker1 : "transparent")
                Label {
                    x: 6
                    width: parent.width - 12
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    color: G.theme.foreColor
                    textFormat: Text.PlainText
                    // The keys 1 to 9 number the whole list, filtered or not.
                    text: (model.wholeIndex < 9 ? (model.wholeIndex + 1) + "  " : "   ")
                          + model.name
                }
                MouseArea {
                    id: layoutArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: bar.applyLayout(model.name)
                }
            }
        }
        ListHeader {
            id: camerasHeader
            title: qsTr("Cameras") + I18n.localeNotify
            searchName: "cameraSearch"
            onStepped: by > 0 ? finder.next() : finder.previous()
            onAccepted: {
                var streamId = finder.streamToShow()
                if (streamId !== "")
                    bar.showStream(streamId)
            }
        }
        ObjectFinder {
            id: finder
            objectName: "cameraFinder"
            repository: App.zarnRepository
            text: camerasHeader.text
        }
        // What the last load of the server's tree refused or cut.
        Label {
            objectName: "treeNotice"
            width: parent.width
            visible: text !== ""
            leftPadding: 6
            rightPadding: 6
            wrapMode: Text.Wrap
            maximumLineCount: 4
            elide: Text.ElideRight
            textFormat: Text.PlainText
            font.italic: true
            color: G.theme.foreColor
            text: App.zarnRepository ? App.zarnRepository.notice : ""
        }
        Item {
            width: parent.width
            height: parent.height - y
            // Kept while a search is shown: its open nodes are there again after it.
            CameraTree {
                anchors.fill: parent
                visible: !finder.active
                onStreamActivated: bar.showStream(streamId)
            }
            FoundObjectsView {
                objectName: "foundObjects"
                anchors.fill: parent
                visible: finder.active
                finder: finder
                onStreamActivated: bar.showStream(streamId)
            }
        }
    }
}
