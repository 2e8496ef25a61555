import QtQuick 2.15
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0
import Elements 1.0

// The operator's bookmarks of every camera: time, camera, note and who made it, found by the
// words typed (all of them, in the note, camera or author), sorted by a click on a column's
// name; a double click or Enter plays the moment on the recorded page, Delete (after a
// question) forgets one. A bookmark of a camera no longer on the site is kept, greyed.
Page {
    id: page
    objectName: "bookmarksPage"

    // A bookmark opened: its camera's recording at its moment is wanted.
    signal bookmarkActivated(string streamId, real time)

    readonly property alias filter: shown

    StackView.onActivated: bookmarkList.forceActiveFocus()

    BookmarkFilter {
        id: shown
        objectName: "bookmarkFilter"
        bookmarks: App.bookmarks
        search: searchField.text
    }

    function timeText(ms) { return I18n.localeNotify + I18n.dateTimeText(ms) }

    function countText() {
        return shown.count === 1 ? qsTr("1 bookmark") : qsTr("%1 bookmarks").arg(shown.count)
    }

    // A click on a column's name sorts by it; a second click turns the order round.
    function sortBy(key) {
        if (shown.sortKey === key)
            shown.descending = !shown.descending
        else {
            shown.sortKey = key
            shown.descending = key === "time"
        }
    }
    function sortMark(key) {
        return shown.sortKey !== key ? "" : shown.descending ? " \u25BC" : " \u25B2"
    }

    function openRow(row) {
        var b = shown.get(row)
        if (b.bookmarkId === undefined)
            return
        if (!b.cameraPresent) {
            notice.show(qsTr("This camera is no longer on the site"))
            return
        }
        page.bookmarkActivated(b.streamId, b.time)
    }

    function askDelete(row) {
        var b = shown.get(row)
        if (b.bookmarkId === undefined)
            return
        deleteQuestion.bookmarkId = b.bookmarkId
        deleteQuestion.text = qsTr("Delete the bookmark of %1 at %2?").arg(b.camera)
                              .arg(I18n.dateTimeText(b.time))
        deleteQuestion.open()
    }

    component HeaderCell: Label {
        property string key: ""
        height: parent.height
        verticalAlignment: Text.AlignVCenter
        leftPadding: 6
        font.bold: true
        elide: Text.ElideRight
        color: "black"
        MouseArea {
            anchors.fill: parent
            enabled: parent.key !== ""
            onClicked: page.sortBy(parent.key)
        }
    }

    component Cell: Label {
        anchors.verticalCenter: parent.verticalCenter
        leftPadding: 6
        elide: Text.ElideRight
        textFormat: Text.PlainText
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            spacing: 6
            TextField {
                id: searchField
                objectName: "bookmarkSearch"
                Layout.preferredWidth: 300
                placeholderText: qsTr("Find words in notes, cameras, names") + I18n.localeNotify
                selectByMouse: true
                Keys.onDownPressed: bookmarkList.forceActiveFocus()
            }
            Button {
                objectName: "deleteBookmark"
                text: qsTr("Delete…") + I18n.localeNotify
                enabled: bookmarkList.currentIndex >= 0
                onClicked: page.askDelete(bookmarkList.currentIndex)
            }
            Label {
                objectName: "bookmarkCount"
                text: page.countText() + I18n.localeNotify
            }
            Item { Layout.fillWidth: true }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            border.color: "#b0b0b0"
            color: "white"

            Rectangle {
                id: header
                x: 1
                y: 1
                width: parent.width - 2
                height: 28
                color: "#e8e8e8"
                Row {
                    anchors.fill: parent
                    HeaderCell {
                        objectName: "bookmarkSortTime"
                        key: "time"
                        width: bookmarkList.timeWidth
                        text: qsTr("Time") + page.sortMark("time") + I18n.localeNotify
                    }
                    HeaderCell {
                        objectName: "bookmarkSortCamera"
                        key: "camera"
                        width: bookmarkList.cameraWidth
                        text: qsTr("Camera") + page.sortMark("camera") + I18n.localeNotify
                    }
                    HeaderCell {
                        width: bookmarkList.noteWidth
                        text: qsTr("Note") + I18n.localeNotify
                    }
                    HeaderCell {
                        objectName: "bookmarkSortAuthor"
                        key: "author"
                        width: bookmarkList.authorWidth
                        text: qsTr("Who") + page.sortMark("author") + I18n.localeNotify
                    }
                }
            }

            ListView {
                id: bookmarkList
                objectName: "bookmarkList"
                anchors.fill: parent
                anchors.topMargin: header.height + 1
                anchors.margins: 1
                clip: true
                model: shown
                currentIndex: -1
                boundsBehavior: Flickable.StopAtBounds
                keyNavigationEnabled: true
                highlightMoveDuration: 0
                ScrollBar.vertical: ScrollBar { minimumSize: 0.04 }

                readonly property int rowHeight: 32
                readonly property int timeWidth: 170
                readonly property int cameraWidth: 180
                readonly property int authorWidth: 140
                readonly property int noteWidth: Math.max(120, width - timeWidth - cameraWidth
                                                               - authorWidth)

                Keys.onReturnPressed: page.openRow(currentIndex)
                Keys.onEnterPressed: page.openRow(currentIndex)
                Keys.onDeletePressed: page.askDelete(currentIndex)

                // Notes are typed text, camera names come from the site: shown as characters.
                delegate: Rectangle {
                    id: row
                    width: bookmarkList.width
                    height: bookmarkList.rowHeight
                    color: ListView.isCurrentItem ? "#cfe0f5" : (index % 2 ? "#f6f6f6" : "white")
                    readonly property color textColor: model.cameraPresent ? "black" : "#9a9a9a"
                    Row {
                        anchors.fill: parent
                        Cell {
                            width: bookmarkList.timeWidth
                            color: parent.parent.textColor
                            text: page.timeText(model.time)
                        }
                        Cell {
                            width: bookmarkList.cameraWidth
                            color: parent.parent.textColor
                            text: model.cameraPresent ? model.camera
                                                      : qsTr("%1 (removed)").arg(model.camera)
                                                        + I18n.localeNotify
                        }
                        Cell {
                            width: bookmarkList.noteWidth
                            color: parent.parent.textColor
                            text: model.note
                        }
                        Cell {
                            width: bookmarkList.authorWidth
                            color: parent.parent.textColor
                            text: model.author
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            row.ListView.view.currentIndex = index
                            row.ListView.view.forceActiveFocus()
                        }
                        onDoubleClicked: page.openRow(index)
                    }
                }
            }
            Label {
                anchors.centerIn: bookmarkList
                visible: bookmarkList.count === 0
                color: "#707070"
                text: (App.bookmarks.count === 0
                       ? qsTr("No bookmarks yet: B marks the moment shown")
                       : qsTr("No bookmark matches")) + I18n.localeNotify
            }
        }
    }

    Dialog {
        id: deleteQuestion
        objectName: "bookmarkDeleteQuestion"
        property string bookmarkId: ""
        property alias text: questionLabel.text
        anchors.centerIn: parent
        modal: true
        title: qsTr("Delete bookmark") + I18n.localeNotify
        standardButtons: Dialog.Yes | Dialog.No
        Label { id: questionLabel; textFormat: Text.PlainText }
        onAccepted: App.bookmarks.remove(bookmarkId)
    }

    Notice {
        id: notice
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 40
    }
}
