import QtQuick 2.11
import QtQuick.Controls 2.2

// A short word on why something asked for could not be done, shown for four seconds.
Label {
    function show(message) {
        text = message
        shownFor.restart()
    }
    visible: shownFor.running
    padding: 10
    color: "white"
    textFormat: Text.PlainText
    background: Rectangle { color: "#b35900"; radius: 4 }
    Timer { id: shownFor; interval: 4000 }
}
