import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0

Button {
    id: button
    background: Rectangle {
        implicitWidth: 80
        implicitHeight: 32
        color: button.pressed ? G.theme.darker1 : G.theme.lighter2
    }
}
