import QtQuick 2.11
import QtQuick.Controls 2.2
import QtQuick.Layouts 1.3
import Qt.labs.settings 1.0
import Native 1.0
import Config 1.0

Page {
    id: page
    objectName: "loginPage"
    signal requestNextStep()
    background: Rectangle { color: G.theme.background }

    // True from the start of a sign-in until the server has refused it.
    property bool signingIn: false
    // Why the console came back here from the main screen; shown instead of signing in again.
    property string refusedMessage: ""

    function startLogin() {
        signingIn = true
        errorLabel.text = ""
        G.dialogs.wait(qsTr("Working"))
        PasswordStore.keep(passField.text)
        App.login(userField.text, passField.text, hostField.text, parseInt(portField.text))
    }

    function signInIfComplete() {
        if (hostField.text !== "" && portField.text !== "" && userField.text !== ""
                && passField.text !== "")
            startLogin()
    }

    // Qt's default settings store of the application, an owner-only file. The password goes
    // to the desktop's secret store when there is one, and `pass` then stays empty.
    Settings {
        id: stored
        property alias host: hostField.text
        property alias port: portField.text
        property alias user: userField.text
        property string pass: ""
    }

    // Runs after the stored fields have been restored.
    Component.onCompleted: {
        if (refusedMessage !== "") {
            // Back from the main screen because the server refused these fields: no retry.
            errorLabel.text = refusedMessage
            return
        }
        if (stored.pass !== "") {
            // Kept in the file (no secret store took it, or an earlier console wrote it).
            passField.text = stored.pass
            signInIfComplete()
        } else {
            PasswordStore.restore()
        }
    }

    Connections {
        target: PasswordStore
        function onRestored(password) {
            if (password === "" || passField.text !== "" || page.signingIn
                    || page.refusedMessage !== "")
                return
            passField.text = password
            page.signInIfComplete()
        }
        function onKept(inSecretStore, password) {
            stored.pass = inSecretStore ? "" : password
        }
    }

    GridLayout {
        anchors.centerIn: parent
        columns: 2

        Label {
            Layout.columnSpan: 2
            font.bold: true
            text: qsTr("server information") + I18n.localeNotify
        }
        Label { text: qsTr("Host") + I18n.localeNotify }
        TextField { id: hostField; objectName: "hostField"; enabled: !page.signingIn }
        Label { text: qsTr("Port") + I18n.localeNotify }
        TextField { id: portField; objectName: "portField"; enabled: !page.signingIn }

        Label {
            Layout.columnSpan: 2
            font.bold: true
            text: qsTr("login credentials") + I18n.localeNotify
        }
        Label { text: qsTr("Username") + I18n.localeNotify }
        TextField { id: userField; objectName: "userField"; enabled: !page.signingIn }
        Label { text: qsTr("Password") + I18n.localeNotify }
        TextField {
            id: passField
            objectName: "passField"
            enabled: !page.signingIn
            echoMode: TextInput.Password
        }

        Button {
            id: loginButton
            objectName: "loginButton"
            Layout.columnSpan: 2
            Layout.alignment: Qt.AlignRight
            enabled: !page.signingIn
            text: qsTr("Login") + I18n.localeNotify
            onClicked: page.startLogin()
        }

        Label {
            id: errorLabel
            objectName: "errorLabel"
            Layout.columnSpan: 2
            Layout.maximumWidth: 360
            visible: text !== ""
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            color: "darkred"
        }
    }

    Connections {
        target: App
        function onLoggedIn() { page.requestNextStep() }
        function onLoginError(message) {
            page.signingIn = false
            G.dialogs.endWait()
            // Shown as well as logged: an operator with a wrong password must see why.
            errorLabel.text = message
        }
    }
}
