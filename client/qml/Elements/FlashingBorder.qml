import QtQuick 2.11

// A cell's border that flashes, red, on and off every half second, while something wants the
// operator's eye: `flashing` for as long as it is set (an alarm cell's new events), or
// flashFor() for a while (a new event of a camera or door).
Rectangle {
    id: frame
    objectName: "flashingBorder"
    property bool flashing: false
    // Set by flashFor() until its time is up.
    property bool pulsing: false
    readonly property bool active: flashing || pulsing
    // The half of the period the border shows.
    property bool phase: true
    readonly property bool lit: active && phase

    function flashFor(ms) {
        pulsing = true
        pulseTimer.interval = ms
        pulseTimer.restart()
    }

    anchors.fill: parent
    z: 50
    color: "transparent"
    border.width: 2
    border.color: "red"
    visible: lit

    // Each flashing starts lit, so that a new event shows at once.
    onActiveChanged: phase = true
    Timer {
        interval: 500
        repeat: true
        running: frame.active
        onTriggered: frame.phase = !frame.phase
    }
    Timer {
        id: pulseTimer
        onTriggered: frame.pulsing = false
    }
}
