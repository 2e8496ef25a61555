import QtQuick 2.11
import QtQuick.Controls 2.2

TextField {
}
