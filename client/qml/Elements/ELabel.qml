import QtQuick 2.11
import QtQuick.Controls 2.2
import Config 1.0

Label {
    textFormat: Text.PlainText
    color: G.theme.foreColor
}
