import QtQuick 2.11
import QtQuick.Window 2.11
import Native 1.0
Window {
    width: 640; height: 480; visible: true
    Grid {
        columns: 2
        Repeater {
            model: 4
            MpvObject {
                width: 320; height: 240
                Component.onCompleted: {
                    setEnableAudio(false)
                    loadFile("av://lavfi:testsrc2=size=320x240:rate=25,hue=h=" + index * 90)
                }
            }
        }
    }
}