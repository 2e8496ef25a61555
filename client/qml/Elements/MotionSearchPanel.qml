import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// Motion search on the recorded page: the range and the sensitivity, Search and Cancel, the
// progress in hours, what could not be read, and the moments found, newest first, each with
// the picture of its moment of most motion. The areas are drawn on the picture
// (MotionAreaLayer); MotionSearch does the work.
Rectangle {
    id: panel
    objectName: "motionSearchPanel"
    property MotionSearch search: null
    property Item timeline: null
    // A moment of the list was clicked: play it from `time`.
    signal playFrom(real time)
    signal closeRequested()

    color: "#e0202020"
    implicitWidth: 300

    function clock(t) {
        return new Date(t).toLocaleString(Qt.locale(), "yyyy-MM-dd HH:mm:ss")
    }
    function hours(h) { return Number(h).toLocaleString(Qt.locale(), "f", 1) }

    function startSearch() {
        var range
        if (rangeChoice.currentIndex === 3) {
            var from = parser.read(fromField.text), to = parser.read(toField.text)
            if (!from.ok || !to.ok) {
                rangeError.text = !from.ok ? from.error : to.error
                return
            }
            range = { from: from.time, to: to.time }
        } else {
            range = panel.search.rangeFor(["view", "hour", "today"][rangeChoice.currentIndex],
                                          timeline.viewStart, timeline.viewEnd, Date.now())
        }
        rangeError.text = ""
        if (panel.search.start(range.from, range.to) && rangeChoice.currentIndex !== 0)
            timeline.showRange(range.from, range.to)
    }

    MomentParser { id: parser }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            Label {
                text: qsTr("Motion search") + I18n.localeNotify
                color: "white"
                font.bold: true
                Layout.fillWidth: true
            }
            ToolButton {
                objectName: "motionSearchClose"
                text: "×"
                onClicked: panel.closeRequested()
            }
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: "#d0d0d0"
            text: qsTr("Drag on the picture to mark where to look; several areas may be marked.")
                  + I18n.localeNotify
        }
        Button {
            objectName: "motionClearAreas"
            text: qsTr("Clear the areas") + I18n.localeNotify
            enabled: panel.search && panel.search.areas.length > 0
            onClicked: panel.search.areas = []
        }
        ComboBox {
            id: rangeChoice
            objectName: "motionRange"
            Layout.fillWidth: true
            model: [qsTr("What the timeline shows") + I18n.localeNotify,
                    qsTr("The last hour") + I18n.localeNotify,
                    qsTr("Today") + I18n.localeNotify,
                    qsTr("From… to…") + I18n.localeNotify]
        }
        RowLayout {
            visible: rangeChoice.currentIndex === 3
            Layout.fillWidth: true
            TextField {
                id: fromField
                objectName: "motionFrom"
                Layout.fillWidth: true
                placeholderText: qsTr("From") + I18n.localeNotify
            }
            TextField {
                id: toField
                objectName: "motionTo"
                Layout.fillWidth: true
                placeholderText: qsTr("To") + I18n.localeNotify
            }
        }
        Label {
            id: rangeError
            Layout.fillWidth: true
            visible: text !== ""
            wrapMode: Text.WordWrap
            color: "#ffb060"
        }
        RowLayout {
            Layout.fillWidth: true
            Label {
                text: qsTr("Sensitivity") + I18n.localeNotify
                color: "white"
            }
            ComboBox {
                objectName: "motionSensitivity"
                Layout.fillWidth: true
                model: [qsTr("Low") + I18n.localeNotify, qsTr("Medium") + I18n.localeNotify,
                        qsTr("High") + I18n.localeNotify]
                currentIndex: panel.search ? panel.search.sensitivity : 1
                onActivated: panel.search.sensitivity = index
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Button {
                objectName: "motionSearchStart"
                text: qsTr("Search") + I18n.localeNotify
                enabled: panel.search && !panel.search.running
                onClicked: panel.startSearch()
            }
            Button {
                objectName: "motionSearchCancel"
                text: qsTr("Cancel") + I18n.localeNotify
                enabled: panel.search && panel.search.running
                onClicked: panel.search.cancel()
            }
        }
        ProgressBar {
            objectName: "motionProgress"
            Layout.fillWidth: true
            visible: panel.search && (panel.search.running || panel.search.hoursTotal > 0)
            from: 0
            to: panel.search ? Math.max(panel.search.hoursTotal, 0.0001) : 1
            value: panel.search ? panel.search.hoursDone : 0
        }
        Label {
            objectName: "motionProgressText"
            Layout.fillWidth: true
            visible: panel.search && (panel.search.running || panel.search.hoursTotal > 0)
            color: "#d0d0d0"
            text: !panel.search ? ""
                  : (panel.search.hoursTotal >= 1
                     ? qsTr("%1 of %2 hours searched").arg(hours(panel.search.hoursDone))
                       .arg(hours(panel.search.hoursTotal))
                     : qsTr("%1 of %2 minutes searched").arg(Math.round(panel.search.hoursDone * 60))
                       .arg(Math.round(panel.search.hoursTotal * 60)))
                    + " · " + qsTr("Moments found: %1").arg(panel.search.moments.count)
                    + I18n.localeNotify
        }
        Label {
            objectName: "motionMessage"
            Layout.fillWidth: true
            visible: text !== ""
            wrapMode: Text.WordWrap
            color: "#ffb060"
            text: panel.search ? panel.search.message : ""
        }
        Label {
            objectName: "motionUnreadable"
            Layout.fillWidth: true
            visible: panel.search && panel.search.unreadable > 0
            wrapMode: Text.WordWrap
            color: "#ff8070"
            text: !panel.search ? ""
                  : (panel.search.unreadable === 1 ? qsTr("1 recording could not be read")
                     : qsTr("%1 recordings could not be read").arg(panel.search.unreadable))
                    + I18n.localeNotify
            ToolTip.text: panel.search ? panel.search.problems.join("\n") : ""
            ToolTip.visible: unreadableHover.containsMouse
            MouseArea { id: unreadableHover; anchors.fill: parent; hoverEnabled: true }
        }
        ListView {
            id: list
            objectName: "motionMoments"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 2
            model: panel.search ? panel.search.moments : null
            ScrollBar.vertical: ScrollBar {}
            delegate: ItemDelegate {
                objectName: "motionMoment"
                width: list.width
                height: 58
                onClicked: panel.playFrom(model.start - 2000)
                contentItem: Row {
                    spacing: 8
                    ThumbnailView {
                        width: 96
                        height: 54
                        image: model.picture
                    }
                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        Label { text: panel.clock(model.start); color: "white" }
                        Label {
                            text: qsTr("%1 s").arg(Math.max(1, Math.round(model.duration / 1000)))
                                  + I18n.localeNotify
                            color: "#d0d0d0"
                        }
                    }
                }
            }
        }
    }
}
