import QtQuick 2.15
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0
import Elements 1.0

// Till receipts of the past: which tills, when, what words; the receipts found, sortable, and
// from each, by a double click, the till's recording at that moment.
Page {
    id: page
    objectName: "transactionsPage"

    // What the last export said: "Saved: <path>" or why it failed.
    property string exportNote: ""
    // Why the search could not start (bad dates, amount), shown until the next try.
    property string inputError: ""
    property bool cancelled: false
    // The cameras that are not tills show as chips too, after "Other cameras".
    property bool showOtherCameras: false
    // Set by the first search: from then on the status counts, even nothing.
    property bool searchedOnce: false
    readonly property string previewHint:
        qsTr("A click shows the whole receipt; a double click plays its till's recording")
    // The range of the last search started, [from, to) in ms.
    property real searchedFrom: 0
    property real searchedTo: 0

    // A receipt double-clicked: its till's recording should play from just before it.
    signal receiptActivated(string deviceId, string streamId, real time, string text)
    // The whole current layout wanted in playback at `time`, ms since the epoch.
    signal layoutPlaybackRequested(real time)

    readonly property real hourMs: 3600 * 1000
    readonly property real dayMs: 24 * hourMs
    // Columns of the results, as the results model numbers them.
    readonly property int timeColumn: 0
    readonly property int tillColumn: 1
    readonly property int amountColumn: 4

    // Shown: the cursor waits in the words' field.
    StackView.onActivated: query.forceActiveFocus()

    TillList {
        id: tills
        objectName: "tillList"
        repository: App.zarnRepository
    }

    // A stream whose texts arrive is a till, whatever its settings say.
    Connections {
        target: PosReceiver
        function onPosReceived(topic, msg) { tills.noteTexts(topic) }
    }

    TransactionSearch {
        id: search
        objectName: "transactionSearch"
        // Which receipts' moments the tills' recordings no longer hold: asked once the rows
        // are known, one search per till.
        onFinished: recordings.check()
    }

    ReceiptRecordings {
        id: recordings
        objectName: "receiptRecordings"
        client: App.zarnClient
        model: search.results
    }

    // Every receipt found goes to the CSV, written on a thread of its own.
    TransactionExport {
        id: csvExport
        objectName: "transactionExport"
        onFinished: {
            if (ok) {
                page.exportNote = qsTr("Saved: %1").arg(path)
                App.audit.recordExport("transactions", "CSV", path)
            } else if (csvExport.cancelledByOperator)
                page.exportNote = qsTr("Export cancelled: nothing written")
            else
                page.exportNote = qsTr("The export failed: %1").arg(error)
            cancelledByOperator = false
        }
        property bool cancelledByOperator: false
    }
    // The receipts found; the search runs on while the page is away.
    readonly property var results: search.results

    // --- When -----------------------------------------------------------------------------

    function startOfDay(d) { return new Date(d.getFullYear(), d.getMonth(), d.getDate()) }
    function pad(n) { return n < 10 ? "0" + n : String(n) }
    function dateText(d) {
        return d.getFullYear() + "-" + pad(d.getMonth() + 1) + "-" + pad(d.getDate())
    }
    function timeText(d) { return pad(d.getHours()) + ":" + pad(d.getMinutes()) }

    // A local moment from "2026-12-08" and "14:30" (or "14:30:15"); null when either is not
    // one (a 31st of a short month, a 25th hour).
    function parseMoment(date, time) {
        var d = /^\s*(\d{4})-(\d{1,2})-(\d{1,2})\s*$/.exec(date)
        var t = /^\s*(\d{1,2}):(\d{2})(?::(\d{2}))?\s*$/.exec(time)
        if (!d || !t)
            return null
        var year = Number(d[1]), month = Number(d[2]) - 1, day = Number(d[3])
        var hours = Number(t[1]), minutes = Number(t[2]), seconds = t[3] ? Number(t[3]) : 0
        if (hours > 23 || minutes > 59 || seconds > 59)
            return null
        var moment = new Date(year, month, day, hours, minutes, seconds)
        if (moment.getFullYear() !== year || moment.getMonth() !== month
                || moment.getDate() !== day)
            return null
        return moment
    }

    // The range chosen, [from, to) in ms, or { error } saying what is wrong with it.
    function chosenRange(now) {
        var today = startOfDay(now).getTime()
        switch (period.checkedButton ? period.checkedButton.objectName : "") {
        case "periodLastHour": return { from: now.getTime() - hourMs, to: now.getTime() }
        case "periodToday": return { from: today, to: now.getTime() }
        case "periodYesterday":
            return { from: startOfDay(new Date(today - 12 * hourMs)).getTime(), to: today }
        case "periodWeek": return { from: now.getTime() - 7 * dayMs, to: now.getTime() }
        }
        var from = parseMoment(fromDate.text, fromTime.text)
        var to = parseMoment(toDate.text, toTime.text)
        if (!from)
            return { error: qsTr("\"From\" is not a date and time such as %1 %2")
                              .arg(dateText(now)).arg("08:00") }
        if (!to)
            return { error: qsTr("\"To\" is not a date and time such as %1 %2")
                              .arg(dateText(now)).arg("18:00") }
        if (from.getTime() >= to.getTime())
            return { error: qsTr("\"From\" must come before \"To\"") }
        if (from.getTime() > now.getTime())
            return { error: qsTr("\"From\" is in the future: there are no receipts yet") }
        // Receipts are kept 30 days; the future holds none: a range past either is cut to them.
        var end = Math.min(to.getTime(), now.getTime())
        if (end - from.getTime() > 31 * dayMs)
            return { error: qsTr("At most 31 days can be searched at once") }
        return { from: from.getTime(), to: end }
    }

    // The minimum amount typed: a number ("49.99", "49,99"), or undefined for none; NaN when
    // the text is no number.
    function chosenMinimum() {
        var typed = minAmount.text.trim()
        if (typed === "")
            return undefined
        if (!/^-?\d+([.,]\d+)?$/.test(typed))
            return NaN
        return Number(typed.replace(",", "."))
    }

    function startSearch() {
        exportNote = ""
        var range = chosenRange(new Date())
        if (range.error !== undefined) {
            inputError = range.error
            return
        }
        var minimum = chosenMinimum()
        if (minimum !== undefined && isNaN(minimum)) {
            inputError = qsTr("The minimum amount is not a number such as 49.99")
            return
        }
        var chosen = tills.searched()
        if (chosen.length === 0) {
            inputError = qsTr("This site has no cameras whose receipts could be searched")
            return
        }
        inputError = ""
        cancelled = false
        searchedOnce = true
        console.log("Searching the receipts of", chosen.length, "tills from",
                    new Date(range.from).toISOString(), "to", new Date(range.to).toISOString())
        resultList.currentIndex = -1
        searchedFrom = range.from
        searchedTo = range.to
        search.start(chosen, range.from, range.to, query.text, minimum)
    }

    function cancelSearch() {
        if (!search.running)
            return
        cancelled = true
        search.cancel()
    }

    // --- What was found ---------------------------------------------------------------------

    // "19 870": groups of three digits, whatever the locale.
    function grouped(n) {
        return String(Math.round(n)).replace(/\B(?=(\d{3})+(?!\d))/g, "\u2009")
    }

    function statusText() {
        if (!searchedOnce)
            return qsTr("Choose tills, a time and words, then Search")
        var found = search.resultCount === 1
                ? qsTr("1 receipt found")
                : qsTr("%1 receipts found").arg(grouped(search.resultCount))
        var text = qsTr("%1 in %2 searched").arg(found).arg(grouped(search.receiptsSearched))
        // The table holds the first rows only: it says so.
        if (results.dropped > 0)
            text += " — " + qsTr("the table shows the first %1 of %2")
                    .arg(grouped(results.count)).arg(grouped(search.resultCount))
        if (search.running)
            return qsTr("Searching… %1").arg(text)
        return cancelled ? qsTr("Cancelled: %1").arg(text) : text
    }

    // What could not be searched, one till a line ("Till 3: 24 hours could not be searched"),
    // under the tills whose gateway did not answer.
    function problemText(problems, offline) {
        var names = []
        for (var i = 0; i < problems.length; ++i) {
            var cut = problems[i].lastIndexOf(": ")
            if (cut > 0)
                names.push(problems[i].substring(0, cut))
        }
        var lines = problems.slice()
        if (offline) {
            var said = qsTr("Searched what is stored: a gateway did not answer")
            if (names.length === 1)
                said = qsTr("Searched what is stored: the gateway of %1 did not answer")
                        .arg(names[0])
            else if (names.length > 1)
                said = qsTr("Searched what is stored: the gateways of %1 did not answer")
                        .arg(names.join(", "))
            lines.unshift(said)
        }
        return lines.join("\n")
    }

    function sortBy(column) {
        var order
        if (results.sortColumn === column)
            order = results.sortOrder === Qt.AscendingOrder ? Qt.DescendingOrder : Qt.AscendingOrder
        else
            order = column === amountColumn ? Qt.DescendingOrder : Qt.AscendingOrder
        resultList.currentIndex = -1
        search.sortResults(column, order)
        resultList.positionViewAtBeginning()
    }

    function openResult(row) {
        if (row < 0 || row >= results.count)
            return
        var receipt = results.get(row)
        var stream = App.zarnRepository.objectById(receipt.streamId)
        var device = stream ? stream.parentId : ""
        console.log("Opening receipt of stream", receipt.streamId, "at",
                    new Date(receipt.time).toISOString())
        page.receiptActivated(device, receipt.streamId, receipt.time, receipt.text)
    }

    function exportResults() {
        var path = ExportPath.next("transactions", "csv")
        if (path === "") {
            exportNote = qsTr("The export failed: the folder for it could not be made")
            return
        }
        exportNote = ""
        if (!csvExport.start(path, search))
            exportNote = qsTr("The export failed: another one is running")
    }

    // --- Layout -----------------------------------------------------------------------------

    component Chip: Rectangle {
        id: chip
        property string text: ""
        property bool on: false
        signal toggled()
        implicitWidth: chipLabel.implicitWidth + 20
        implicitHeight: 28
        radius: 14
        color: on ? "#2f6fb5" : (chipArea.containsMouse ? "#e4e4e4" : "#f4f4f4")
        border.color: on ? "#2f6fb5" : "#b0b0b0"
        Label {
            id: chipLabel
            anchors.centerIn: parent
            width: Math.min(implicitWidth, 200)
            elide: Text.ElideRight
            textFormat: Text.PlainText
            color: chip.on ? "white" : "black"
            text: chip.text
        }
        MouseArea {
            id: chipArea
            anchors.fill: parent
            hoverEnabled: true
            onClicked: chip.toggled()
        }
    }

    component HeaderCell: Label {
        id: cell
        // The results column a click sorts by; -1 for none.
        property int column: -1
        readonly property bool sorted: column >= 0 && page.results.sortColumn === column
        height: parent.height
        verticalAlignment: Text.AlignVCenter
        leftPadding: 6
        rightPadding: 6
        font.bold: true
        elide: Text.ElideRight
        color: column >= 0 && headerArea.containsMouse ? "#2f6fb5" : "black"
        MouseArea {
            id: headerArea
            anchors.fill: parent
            enabled: cell.column >= 0
            hoverEnabled: true
            cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
            onClicked: page.sortBy(cell.column)
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        // Which tills
        Flow {
            Layout.fillWidth: true
            spacing: 6
            Label {
                height: 28
                verticalAlignment: Text.AlignVCenter
                font.bold: true
                text: qsTr("Tills") + I18n.localeNotify
            }
            Chip {
                objectName: "allTills"
                text: qsTr("All") + I18n.localeNotify
                on: tills.chosenCount === 0
                onToggled: tills.chooseAll()
            }
            Repeater {
                model: tills
                Chip {
                    objectName: "till_" + model.streamId
                    // the tills first; other cameras once asked for
                    visible: model.till || page.showOtherCameras
                    text: model.name
                    on: model.chosen
                    onToggled: tills.setChosen(index, !model.chosen)
                }
            }
            Chip {
                objectName: "otherCameras"
                visible: tills.count > tills.tillCount
                text: (page.showOtherCameras ? qsTr("Other cameras ◂")
                                             : qsTr("Other cameras ▸")) + I18n.localeNotify
                on: false
                onToggled: page.showOtherCameras = !page.showOtherCameras
            }
        }

        // When
        Flow {
            Layout.fillWidth: true
            spacing: 6
            ButtonGroup {
                id: period
                onCheckedButtonChanged: page.inputError = ""
            }
            Label {
                height: periodToday.height
                verticalAlignment: Text.AlignVCenter
                font.bold: true
                text: qsTr("When") + I18n.localeNotify
            }
            RadioButton {
                objectName: "periodLastHour"
                ButtonGroup.group: period
                text: qsTr("Last hour") + I18n.localeNotify
            }
            RadioButton {
                id: periodToday
                objectName: "periodToday"
                ButtonGroup.group: period
                checked: true
                text: qsTr("Today") + I18n.localeNotify
            }
            RadioButton {
                objectName: "periodYesterday"
                ButtonGroup.group: period
                text: qsTr("Yesterday") + I18n.localeNotify
            }
            RadioButton {
                objectName: "periodWeek"
                ButtonGroup.group: period
                text: qsTr("Last 7 days") + I18n.localeNotify
            }
            RadioButton {
                id: periodCustom
                objectName: "periodCustom"
                ButtonGroup.group: period
                text: qsTr("From") + I18n.localeNotify
                // Opened on today so far, for the operator to narrow.
                onCheckedChanged: {
                    if (!checked || fromDate.text !== "")
                        return
                    var now = new Date()
                    fromDate.text = page.dateText(now)
                    fromTime.text = "00:00"
                    toDate.text = page.dateText(now)
                    toTime.text = page.timeText(new Date(now.getTime() + 60000))
                }
            }
            Row {
                spacing: 4
                enabled: periodCustom.checked
                opacity: enabled ? 1 : 0.5
                TextField {
                    id: fromDate
                    objectName: "fromDate"
                    width: 110
                    placeholderText: qsTr("YYYY-MM-DD") + I18n.localeNotify
                    selectByMouse: true
                }
                ToolButton {
                    text: "\u25BE"
                    width: 28
                    onClicked: page.pickDay(fromDate)
                }
                TextField {
                    id: fromTime
                    objectName: "fromTime"
                    width: 70
                    placeholderText: qsTr("HH:MM") + I18n.localeNotify
                    selectByMouse: true
                }
                Label {
                    height: fromDate.height
                    verticalAlignment: Text.AlignVCenter
                    leftPadding: 6
                    rightPadding: 6
                    text: qsTr("to") + I18n.localeNotify
                }
                TextField {
                    id: toDate
                    objectName: "toDate"
                    width: 110
                    placeholderText: qsTr("YYYY-MM-DD") + I18n.localeNotify
                    selectByMouse: true
                }
                ToolButton {
                    text: "\u25BE"
                    width: 28
                    onClicked: page.pickDay(toDate)
                }
                TextField {
                    id: toTime
                    objectName: "toTime"
                    width: 70
                    placeholderText: qsTr("HH:MM") + I18n.localeNotify
                    selectByMouse: true
                }
            }
        }

        // What
        Flow {
            Layout.fillWidth: true
            spacing: 6
            TextField {
                id: query
                objectName: "transactionQuery"
                width: Math.max(200, Math.min(420, page.width - 460))
                placeholderText: qsTr("Words and \"quoted phrases\"") + I18n.localeNotify
                selectByMouse: true
                focus: true
                onAccepted: page.startSearch()
            }
            TextField {
                id: minAmount
                objectName: "transactionMinAmount"
                width: 160
                placeholderText: qsTr("Minimum amount") + I18n.localeNotify
                selectByMouse: true
                inputMethodHints: Qt.ImhFormattedNumbersOnly
                onAccepted: page.startSearch()
            }
            Button {
                objectName: "searchButton"
                text: qsTr("Search") + I18n.localeNotify
                highlighted: true
                onClicked: page.startSearch()
            }
            Button {
                objectName: "cancelButton"
                text: qsTr("Cancel") + I18n.localeNotify
                enabled: search.running
                onClicked: page.cancelSearch()
            }
            Button {
                objectName: "exportButton"
                text: qsTr("Export CSV…") + I18n.localeNotify
                enabled: !search.running && !csvExport.running && results.count > 0
                onClicked: page.exportResults()
            }
            Button {
                objectName: "playLayoutAtReceipt"
                text: qsTr("Play the layout at this time") + I18n.localeNotify
                enabled: resultList.currentIndex >= 0 && resultList.currentIndex < results.count
                onClicked: page.layoutPlaybackRequested(results.get(resultList.currentIndex).time)
            }
        }

        Label {
            objectName: "transactionInputError"
            Layout.fillWidth: true
            visible: text !== ""
            text: page.inputError
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: "#b00020"
            font.bold: true
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            Label {
                objectName: "transactionStatus"
                text: page.statusText() + I18n.localeNotify
                textFormat: Text.PlainText
            }
            ProgressBar {
                objectName: "transactionProgress"
                Layout.fillWidth: true
                visible: search.running
                value: search.progress
            }
            Item { Layout.fillWidth: true; visible: !search.running }
        }

        // What could not be searched, and that what is stored stood in for it.
        Label {
            objectName: "transactionProblems"
            Layout.fillWidth: true
            visible: text !== ""
            text: page.problemText(search.problems, search.offline) + I18n.localeNotify
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            // Many tills in trouble leave the table its room; the whole list on hover.
            maximumLineCount: 5
            elide: Text.ElideRight
            padding: 4
            color: "white"
            background: Rectangle { color: "#b35900" }
            ToolTip.visible: truncated && problemsHover.containsMouse
            ToolTip.text: text
            MouseArea {
                id: problemsHover
                anchors.fill: parent
                hoverEnabled: true
                acceptedButtons: Qt.NoButton
            }
        }

        // The export at work: how far, and a way out.
        RowLayout {
            Layout.fillWidth: true
            visible: csvExport.running
            spacing: 10
            Label {
                text: qsTr("Exporting… %1 rows").arg(page.grouped(csvExport.rowsWritten))
                      + I18n.localeNotify
            }
            ProgressBar {
                objectName: "exportProgress"
                Layout.fillWidth: true
                value: csvExport.progress
            }
            Button {
                objectName: "cancelExportButton"
                text: qsTr("Cancel export") + I18n.localeNotify
                onClicked: {
                    csvExport.cancelledByOperator = true
                    csvExport.cancel()
                }
            }
        }

        Label {
            objectName: "exportNote"
            Layout.fillWidth: true
            visible: text !== ""
            text: page.exportNote
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
        }

        // The results, and the text of the one chosen
        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 6

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
                            objectName: "sortByTime"
                            width: resultList.timeWidth
                            column: page.timeColumn
                            text: qsTr("Time") + page.arrow(column) + I18n.localeNotify
                        }
                        HeaderCell {
                            objectName: "sortByTill"
                            width: resultList.tillWidth
                            column: page.tillColumn
                            text: qsTr("Till") + page.arrow(column) + I18n.localeNotify
                        }
                        HeaderCell {
                            width: resultList.lineWidth
                            text: qsTr("Receipt") + I18n.localeNotify
                        }
                        HeaderCell {
                            width: resultList.kindWidth
                            text: qsTr("Kind") + I18n.localeNotify
                        }
                        HeaderCell {
                            objectName: "sortByAmount"
                            width: resultList.amountWidth
                            column: page.amountColumn
                            horizontalAlignment: Text.AlignRight
                            text: qsTr("Amount") + page.arrow(column) + I18n.localeNotify
                        }
                        HeaderCell {
                            width: resultList.linesWidth
                            horizontalAlignment: Text.AlignRight
                            text: qsTr("Lines") + I18n.localeNotify
                        }
                        HeaderCell {
                            width: resultList.noteWidth
                            text: qsTr("Video") + I18n.localeNotify
                        }
                    }
                }

                ListView {
                    id: resultList
                    objectName: "transactionResults"
                    anchors.fill: parent
                    anchors.topMargin: header.height + 1
                    anchors.margins: 1
                    clip: true
                    model: page.results
                    currentIndex: -1
                    boundsBehavior: Flickable.StopAtBounds
                    reuseItems: true
                    keyNavigationEnabled: true
                    highlightMoveDuration: 0
                    ScrollBar.vertical: ScrollBar { minimumSize: 0.04 }

                    readonly property int rowHeight: 24
                    readonly property int timeWidth: 160
                    readonly property int tillWidth: 110
                    readonly property int amountWidth: 90
                    readonly property int linesWidth: 60
                    readonly property int kindWidth: 80
                    readonly property int noteWidth: 80
                    readonly property int lineWidth: Math.max(120, width - timeWidth - tillWidth
                                                                   - kindWidth - amountWidth
                                                                   - linesWidth - noteWidth - 12)

                    Keys.onReturnPressed: page.openResult(currentIndex)
                    Keys.onEnterPressed: page.openResult(currentIndex)

                    delegate: Rectangle {
                        id: row
                        readonly property string receipt: model.text
                        width: resultList.width
                        height: resultList.rowHeight
                        color: ListView.isCurrentItem ? "#cfe0f5"
                                                      : (index % 2 ? "#f6f6f6" : "white")
                        // Receipts come from the tills: shown as the characters they hold.
                        Row {
                            anchors.fill: parent
                            Label {
                                width: resultList.timeWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                leftPadding: 6
                                textFormat: Text.PlainText
                                text: I18n.localeNotify + I18n.dateTimeText(model.time)
                            }
                            Label {
                                width: resultList.tillWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                leftPadding: 6
                                elide: Text.ElideRight
                                textFormat: Text.PlainText
                                text: model.till
                            }
                            Label {
                                width: resultList.lineWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                leftPadding: 6
                                elide: Text.ElideRight
                                textFormat: Text.PlainText
                                text: model.firstLine
                            }
                            Label {
                                width: resultList.kindWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                leftPadding: 6
                                elide: Text.ElideRight
                                textFormat: Text.PlainText
                                font.bold: model.kind !== "sale"
                                color: model.kind === "REFUND" || model.kind === "VOID"
                                       ? "#b00020" : "black"
                                text: model.kind
                            }
                            Label {
                                width: resultList.amountWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                horizontalAlignment: Text.AlignRight
                                rightPadding: 6
                                textFormat: Text.PlainText
                                text: isNaN(model.amount) ? "" : I18n.localeNotify + I18n.amountText(model.amount)
                            }
                            Label {
                                width: resultList.linesWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                horizontalAlignment: Text.AlignRight
                                rightPadding: 6
                                textFormat: Text.PlainText
                                text: model.lines
                            }
                            // Its till's recordings no longer hold that moment: said before
                            // the double click that would find nothing to play.
                            Label {
                                objectName: "noVideo"
                                width: resultList.noteWidth
                                height: parent.height
                                verticalAlignment: Text.AlignVCenter
                                leftPadding: 6
                                elide: Text.ElideRight
                                color: "#b35900"
                                text: model.noVideo ? qsTr("no video") + I18n.localeNotify : ""
                            }
                        }
                        MouseArea {
                            anchors.fill: parent
                            onClicked: {
                                resultList.currentIndex = index
                                resultList.forceActiveFocus()
                            }
                            onDoubleClicked: page.openResult(index)
                        }
                    }

                    Label {
                        anchors.centerIn: parent
                        visible: resultList.count === 0 && !search.running
                                 && search.receiptsSearched > 0
                        text: qsTr("No receipt matches") + I18n.localeNotify
                        color: "#707070"
                    }
                }
            }

            // The whole receipt chosen, as the till printed it.
            Rectangle {
                objectName: "receiptPreview"
                Layout.preferredWidth: 250
                Layout.fillHeight: true
                visible: page.width > 900
                color: "#fffdf2"
                border.color: "#b0b0b0"
                Flickable {
                    anchors.fill: parent
                    anchors.margins: 8
                    clip: true
                    contentWidth: receiptText.width
                    contentHeight: receiptText.height
                    Label {
                        id: receiptText
                        textFormat: Text.PlainText
                        font.family: "monospace"
                        color: "#303030"
                        text: resultList.currentItem
                              ? resultList.currentItem.receipt
                              : page.previewHint + I18n.localeNotify
                        wrapMode: resultList.currentItem ? Text.NoWrap : Text.Wrap
                        width: resultList.currentItem ? implicitWidth : 230
                    }
                }
            }
        }
    }

    function arrow(column) {
        if (results.sortColumn !== column)
            return ""
        return results.sortOrder === Qt.AscendingOrder ? " \u25B2" : " \u25BC"
    }

    // --- A day from a calendar ----------------------------------------------------------------

    property Item dayField: null
    function pickDay(field) {
        dayField = field
        var now = new Date()
        var shown = parseMoment(field.text, "00:00")
        dayPicker.selected = shown ? shown : now
        dayPicker.open()
    }

    DayPicker {
        id: dayPicker
        x: (page.width - width) / 2
        y: 80
        onPicked: {
            if (page.dayField)
                page.dayField.text = page.dateText(day)
        }
    }
}
