import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

// Marks a range of the recorded stream (keys I and O at the play head, or Shift+drag on the
// timeline) and exports it as files to hand over: the clip(s), their subtitles and a manifest.
// The marked range is drawn as a band over the timeline.
Rectangle {
    id: panel
    objectName: "exportPanel"
    property Item timeline: null
    property RecordingIndex index: null
    property TimelinePlayback playback: null
    property string streamId: ""
    // Keys I and O work while this is set (the page shows a stream).
    property bool active: false
    property real markIn: -1
    property real markOut: -1
    readonly property real rangeFrom: Math.min(markIn, markOut)
    readonly property real rangeTo: Math.max(markIn, markOut)
    readonly property bool marked: markIn >= 0 && markOut >= 0 && markIn !== markOut
    property alias exporter: exporter

    implicitWidth: row.implicitWidth + 12
    implicitHeight: row.implicitHeight + 8
    color: "#c0202020"
    radius: 3

    onStreamIdChanged: { markIn = -1; markOut = -1 }

    function clock(t) {
        return t < 0 ? "--:--:--" : new Date(t).toLocaleTimeString(Qt.locale(), "HH:mm:ss")
    }
    function cameraName() {
        var stream = App.zarnRepository ? App.zarnRepository.objectById(streamId) : null
        return stream && stream.name ? stream.name : streamId
    }
    function startExport() {
        exporter.exportRange(cameraName(), playback.gateway, rangeFrom, rangeTo)
    }
    // What the marked range's export would not hold (gaps, ranges not searched), said before
    // the operator presses Export; follows the index as its searches answer.
    readonly property var holes: marked && index
                                 ? (index.lastRecorded, index.firstRecorded, streamId,
                                    exporter.holesOf(rangeFrom, rangeTo))
                                 : []

    ClipExporter { id: exporter; index: panel.index; bookmarks: App.bookmarks }
    // Each export handed over is kept in the audit trail, by its signed manifest.
    Connections {
        target: exporter
        function onFinished(ok) {
            if (ok && App.audit)
                App.audit.recordExport(panel.streamId, "Clip", exporter.manifest)
        }
    }

    Shortcut {
        sequence: "I"
        enabled: panel.active && panel.playback && panel.playback.time >= 0
        onActivated: panel.markIn = panel.playback.time
    }
    Shortcut {
        sequence: "O"
        enabled: panel.active && panel.playback && panel.playback.time >= 0
        onActivated: panel.markOut = panel.playback.time
    }

    // The marked range over the timeline; the x follows its view.
    Rectangle {
        objectName: "exportRangeBand"
        parent: panel.timeline
        visible: panel.timeline !== null && (panel.markIn >= 0 || panel.markOut >= 0)
        readonly property real bandLeft: panel.timeline ? (panel.timeline.viewStart, panel.timeline.viewEnd,
            panel.timeline.width, panel.timeline.xAt(panel.markIn >= 0 ? panel.rangeFrom : panel.markOut)) : 0
        readonly property real bandRight: panel.timeline && panel.marked ? (panel.timeline.viewStart,
            panel.timeline.viewEnd, panel.timeline.width, panel.timeline.xAt(panel.rangeTo)) : bandLeft + 2
        x: Math.max(-1, bandLeft)
        width: Math.max(2, Math.min(parent ? parent.width + 1 : 0, bandRight) - x)
        height: parent ? parent.height : 0
        color: "#4a90e2"
        opacity: 0.35
        border.color: "#8ab8f0"
    }
    // Shift+drag marks a range; any other press goes on to the timeline (click, pan).
    MouseArea {
        parent: panel.timeline
        anchors.fill: parent
        enabled: panel.active
        property real pressedAt: -1
        onPressed: {
            mouse.accepted = (mouse.modifiers & Qt.ShiftModifier) !== 0
            if (mouse.accepted) {
                pressedAt = panel.timeline.timeAt(mouse.x)
                panel.markIn = pressedAt
                panel.markOut = -1
            }
        }
        onPositionChanged: if (pressed) panel.markOut = panel.timeline.timeAt(mouse.x)
    }

    RowLayout {
        id: row
        anchors.centerIn: parent
        spacing: 6
        Label {
            objectName: "exportRange"
            color: "white"
            text: qsTr("In %1  Out %2").arg(panel.clock(panel.markIn)).arg(panel.clock(panel.markOut))
                  + I18n.localeNotify
            ToolTip.text: qsTr("I and O mark in and out at the play head; Shift+drag on the timeline marks a range")
                          + I18n.localeNotify
            ToolTip.visible: rangeHover.containsMouse
            MouseArea { id: rangeHover; anchors.fill: parent; hoverEnabled: true; acceptedButtons: Qt.NoButton }
        }
        // Before the export: what of the range it will not hold, in amber (in place of the
        // last export's outcome).
        Label {
            objectName: "exportHoles"
            visible: !exporter.busy && panel.holes.length > 0
            Layout.maximumWidth: 360
            wrapMode: Text.WordWrap
            maximumLineCount: 3
            elide: Text.ElideRight
            textFormat: Text.PlainText
            color: "#ffd180"
            text: panel.holes.join("; ")
        }
        Button {
            objectName: "exportButton"
            visible: !exporter.busy
            enabled: panel.marked
            text: qsTr("Export") + I18n.localeNotify
            onClicked: panel.startExport()
            ToolTip.visible: hovered
            ToolTip.delay: 500
            ToolTip.text: exporter.keyFingerprint !== ""
                          ? qsTr("The manifest is signed with this console's key, SHA-256 %1")
                            .arg(exporter.keyFingerprint)
                          : qsTr("The manifest is signed with this console's key, made at the first export")
        }
        ProgressBar {
            objectName: "exportProgress"
            visible: exporter.busy
            Layout.preferredWidth: 120
            from: 0
            to: Math.max(exporter.total, 1)
            value: exporter.progress
        }
        Label {
            visible: exporter.busy
            color: "white"
            text: qsTr("%1 of %2 s").arg(Math.floor(exporter.progress)).arg(Math.round(exporter.total))
                  + I18n.localeNotify
        }
        Button {
            objectName: "exportCancel"
            visible: exporter.busy
            text: qsTr("Cancel") + I18n.localeNotify
            onClicked: exporter.cancel()
        }
        Button {
            objectName: "exportOpenFolder"
            visible: !exporter.busy && exporter.files.length > 0
            text: qsTr("Open folder") + I18n.localeNotify
            onClicked: Qt.openUrlExternally("file://" + exporter.folder)
        }
        // The files written; an export that holds less than the range asked says so first,
        // in amber, whole.
        Label {
            objectName: "exportOutcome"
            // The range marked next, with its holes, is what the operator reads then.
            visible: !exporter.busy && text !== "" && panel.holes.length === 0
            Layout.maximumWidth: 360
            elide: Text.ElideMiddle
            wrapMode: exporter.shortfall !== "" ? Text.WordWrap : Text.NoWrap
            maximumLineCount: exporter.shortfall !== "" ? 3 : 1
            textFormat: Text.PlainText
            color: exporter.error !== "" ? "#ff8a80" : (exporter.shortfall !== "" ? "#ffd180" : "white")
            text: {
                if (exporter.error !== "")
                    return exporter.error
                var names = exporter.files.map(function (f) { return f.split("/").pop() }).join(", ")
                return exporter.shortfall !== "" && names !== "" ? exporter.shortfall + ": " + names
                                                                 : names
            }
        }
    }
}
