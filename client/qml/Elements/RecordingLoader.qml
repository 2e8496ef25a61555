import QtQuick 2.11
import QtQuick.Controls 2.2
import Native 1.0

// Fetches a recorded chunk from its gateway into the recording file and hands the file to a
// camera view to play. Laid over the view, it shows how far the fetch has come and what went
// wrong: a fetch that failed, or a file the player cannot open (whose pane then goes black
// rather than keep the previous recording's picture). A fetch replaced by the next one is no
// failure and says nothing.
Item {
    id: loader
    objectName: "recordingLoader"

    property var view: null
    property string error: ""
    property alias stallTimeout: downloader.stallTimeout
    readonly property alias downloading: downloader.running
    // The last file handed over could not be played.
    property bool unplayable: false

    // The fetched file is playing from now on.
    signal ready()

    // expectedSize: the chunk's size as the server lists it, 0 when unknown.
    function fetch(url, expectedSize) {
        downloader.cancel()
        loader.error = ""
        downloader.url = url
        downloader.expectedSize = expectedSize > 0 ? expectedSize : 0
        console.log("Downloading:", QmlUtils.redacted(url), "expected size:", downloader.expectedSize)
        downloader.download()
    }

    // Stops a fetch in progress without a word: the operator chose something else to play.
    function cancel() {
        downloader.cancel()
        loader.error = ""
        loader.unplayable = false
    }

    function percent() {
        if (downloader.bytesTotal <= 0)
            return 0
        return Math.min(100, Math.floor(100 * downloader.bytesReceived / downloader.bytesTotal))
    }

    Downloader {
        id: downloader
        onFinished: {
            if (wasCancelled) {
                console.log("Download cancelled:", QmlUtils.redacted(url))
                return
            }
            // An HTTP error or a broken connection leaves an error body or a partial file:
            // say so instead of playing it.
            if (!succeeded) {
                console.warn("Download failed:", QmlUtils.redacted(url), httpStatus, errorString)
                loader.error = qsTr("The recording could not be fetched: %1").arg(
                            errorString !== "" ? errorString : "HTTP " + httpStatus)
                return
            }
            loader.error = ""
            loader.unplayable = false
            console.log("Playing:", filePath)
            loader.view.url = ""
            loader.view.url = filePath
            loader.ready()
        }
    }

    Connections {
        target: loader.view ? loader.view.backend : null
        function onFileEnded(reason) {
            if (reason !== "error" || loader.view.url === "")
                return
            console.warn("The player could not open the recording:",
                         QmlUtils.redacted(loader.view.url))
            loader.error = qsTr("The recording could not be played")
            loader.unplayable = true
            loader.view.url = ""
            loader.view.backend.command(["stop"])
        }
    }

    // The player keeps its last picture after a file it cannot open.
    Rectangle {
        objectName: "unplayableCover"
        anchors.fill: parent
        color: "black"
        visible: loader.unplayable
    }

    Label {
        objectName: "downloadError"
        anchors.centerIn: parent
        width: parent.width - 20
        visible: loader.error !== ""
        text: loader.error
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        color: "white"
        background: Rectangle { color: "darkred"; opacity: 0.8 }
    }

    Column {
        objectName: "downloadProgress"
        anchors.centerIn: parent
        width: Math.min(parent.width - 20, 300)
        spacing: 4
        visible: downloader.running
        Label {
            objectName: "downloadProgressText"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            color: "white"
            background: Rectangle { color: "black"; opacity: 0.6 }
            text: downloader.bytesTotal > 0
                  ? qsTr("Fetching the recording: %1 %").arg(loader.percent())
                  : qsTr("Fetching the recording: %1 kB").arg(
                        Math.floor(downloader.bytesReceived / 1024))
        }
        ProgressBar {
            width: parent.width
            from: 0
            to: 100
            value: loader.percent()
            indeterminate: downloader.bytesTotal <= 0
        }
    }
}
