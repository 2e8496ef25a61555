import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Native 1.0

Page {
    id: page
    objectName: "loginPage"
    signal requestNextStep()

    function startLogin() {
        App.login(userField.text, passField.text, hostField.text, parseInt(portField.text))
    }

    GridLayout {
        anchors.centerIn: parent
        columns: 2

        Label { text: qsTr("Host") + I18n.localeNotify }
        TextField { id: hostField; objectName: "hostField" }
        Label { text: qsTr("Port") + I18n.localeNotify }
        TextField { id: portField; objectName: "portField" }
        Label { text: qsTr("Username") + I18n.localeNotify }
        TextField { id: userField; objectName: "userField" }
        Label { text: qsTr("Password") + I18n.localeNotify }
        TextField { id: passField; objectName: "passField"; echoMode: TextInput.Password }
        Button {
            id: loginButton
            objectName: "loginButton"
            Layout.columnSpan: 2
            Layout.alignment: Qt.AlignRight
            text: qsTr("Login") + I18n.localeNotify
            onClicked: page.startLogin()
        }
    }

    Connections {
        target: App
        function onLoggedIn() { page.requestNextStep() }
    }
}
