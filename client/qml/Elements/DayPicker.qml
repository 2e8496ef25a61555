import QtQuick 2.11
import QtQuick.Controls 2.2

// A month of days to pick one from: the operator's way to a date far from today.
Popup {
    id: picker
    objectName: "dayPicker"
    // The day shown as chosen, and the month on view.
    property date selected: new Date()
    property date month: new Date(selected.getFullYear(), selected.getMonth(), 1)
    signal picked(date day)

    padding: 8
    modal: true
    focus: true

    function shiftMonth(delta) {
        month = new Date(month.getFullYear(), month.getMonth() + delta, 1)
    }
    // The first cell is the Monday on or before the month's first day.
    function cellDate(index) {
        var first = new Date(month.getFullYear(), month.getMonth(), 1)
        var offset = (first.getDay() + 6) % 7
        return new Date(month.getFullYear(), month.getMonth(), 1 - offset + index)
    }
    onAboutToShow: month = new Date(selected.getFullYear(), selected.getMonth(), 1)

    contentItem: Column {
        spacing: 4
        Row {
            spacing: 4
            ToolButton { text: "\u25C0"; onClicked: picker.shiftMonth(-1) }
            Label {
                width: 170
                height: parent.height
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                text: picker.month.toLocaleDateString(Qt.locale(), "MMMM yyyy")
                font.bold: true
            }
            ToolButton { text: "\u25B6"; onClicked: picker.shiftMonth(1) }
        }
        Grid {
            columns: 7
            spacing: 2
            Repeater {
                model: 7
                Label {
                    width: 32
                    horizontalAlignment: Text.AlignHCenter
                    text: Qt.locale().dayName((index + 1) % 7, Locale.NarrowFormat)
                    opacity: 0.7
                }
            }
            Repeater {
                model: 42
                ToolButton {
                    readonly property date day: picker.cellDate(index)
                    width: 32
                    height: 28
                    text: day.getDate()
                    opacity: day.getMonth() === picker.month.getMonth() ? 1 : 0.4
                    highlighted: day.toDateString() === picker.selected.toDateString()
                    onClicked: {
                        picker.picked(day)
                        picker.close()
                    }
                }
            }
        }
    }
}
