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

    function askExit() {
        G.dialogs.question(qsTr("Do you want to close the console?"), qsTr("Exit"),
                           function(yes) { if (yes) bar.exitConfirmed() })
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
            glyph: "\u2715"
            text: qsTr("Exit") + I18n.localeNotify
            onActivated: bar.askExit()
        }
    }

    Column {
        anchors.top: entries.bottom
        anchors.bottom: parent.bottom
        width: G.settings.sidebarOpenedWidth
        visible: bar.opened

        Label {
            height: bar.headerHeight
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            font.bold: true
            color: G.theme.foreColor
            text: qsTr("Layouts") + I18n.localeNotify
        }
        ListView {
            id: layouts
            objectName: "sidebarLayouts"
            width: parent.width
            height: Math.min(contentHeight, 5 * bar.listRowHeight)
            clip: true
            model: App.layoutsList
            ScrollBar.vertical: ScrollBar {}
            delegate: Rectangle {
                width: layouts.width
                height: bar.listRowHeight
                color: modelData === App.currentLayout ? G.theme.lighter1
                                                       : (layoutArea.containsMouse
                                                          ? G.theme.darker1 : "transparent")
                Label {
                    x: 6
                    width: parent.width - 12
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    color: G.theme.foreColor
                    textFormat: Text.PlainText
                    text: (index < 9 ? (index + 1) + "  " : "   ") + modelData
                }
                MouseArea {
                    id: layoutArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        bar.opened = false
                        App.applyLayout(modelData)
                    }
                }
            }
        }
        Label {
            height: bar.headerHeight
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            font.bold: true
            color: G.theme.foreColor
            text: qsTr("Cameras") + I18n.localeNotify
        }
        CameraTree {
            width: parent.width
            height: parent.height - y
            onStreamActivated: {
                bar.opened = false
                bar.streamActivated(streamId)
            }
        }
    }
}
