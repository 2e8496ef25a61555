import QtQuick 2.11
import QtTest 1.2
import Elements 1.0
import Config 1.0
import Scripts 1.0

Item {
    id: scene
    width: 640
    height: 480

    Component {
        id: cameraComponent
        CameraView { width: 320; height: 240 }
    }
    Component {
        id: recordingComponent
        CameraView {
            id: recordingView
            width: 320
            height: 240
            property alias loader: recordingLoader
            RecordingLoader {
                id: recordingLoader
                anchors.fill: parent
                view: recordingView
            }
        }
    }
    Component {
        id: mouseComponent
        EMouseArea { width: 100; height: 100 }
    }
    Component {
        id: doorComponent
        DoorView { width: 160; height: 200 }
    }
    Component {
        id: spyComponent
        SignalSpy {}
    }
    // What a label that renders markup would do with the same text.
    Component {
        id: richTextComponent
        Text { textFormat: Text.RichText }
    }

    function findNamed(item, name) {
        for (var i = 0; i < item.children.length; ++i) {
            var child = item.children[i]
            if (child.objectName === name)
                return child
            var found = findNamed(child, name)
            if (found)
                return found
        }
        for (var key in item.resources) {
            if (item.resources[key] && item.resources[key].objectName === name)
                return item.resources[key]
        }
        return null
    }

    TestCase {
        name: "Elements"
        when: windowShown

        function spyOn(target, signalName) {
            return createTemporaryObject(spyComponent, scene,
                                         { target: target, signalName: signalName })
        }

        function visibleLines(view) {
            var column = findNamed(view, "overlay")
            var shown = []
            for (var i = 0; i < column.children.length; ++i) {
                var line = column.children[i]
                if (line.visible && line.text !== undefined)
                    shown.push(line.text)
            }
            return shown
        }

        function test_configAndScripts() {
            compare(G.settings.clickDelay, 200)
            compare(G.settings.toolbarIconSize, 32)
            verify(Qt.colorEqual(G.theme.darker1, Qt.darker("darkGray", 1.1)))
            G.dialogs.wait("nobody listens", "yet") // no hook installed: does nothing
            verify(Utils.isValid(0) && !Utils.isValid(null) && !Utils.isValid(undefined))
            verify(Utils.isfunction(findNamed) && !Utils.isfunction("findNamed"))
        }

        function test_singleAndDoubleClicks() {
            var area = createTemporaryObject(mouseComponent, scene)
            var clicked = spyOn(area, "clicked")
            var doubled = spyOn(area, "doubleClicked")
            mouseClick(area)
            compare(clicked.count, 0) // only after the click delay
            clicked.wait(1000)
            mouseDoubleClickSequence(area)
            doubled.wait(1000)
            wait(G.settings.clickDelay + 100)
            compare(clicked.count, 1)
            compare(doubled.count, 1)
        }

        function test_doubleClickTogglesSingleViewOnly() {
            var view = createTemporaryObject(cameraComponent, scene)
            mouseDoubleClickSequence(view)
            tryCompare(view, "singleView", true)
            wait(G.settings.clickDelay + 100)
            verify(!view.toolbarOpen)
            mouseClick(view)
            tryCompare(view, "toolbarOpen", true)
            tryCompare(findNamed(view, "toolbar"), "height", G.settings.toolbarIconSize, 2000)
        }

        function test_overlayLinesExpire() {
            var view = createTemporaryObject(cameraComponent, scene, { height: 480 })
            var clearTimer = findNamed(view, "clearTimer")
            view.appendPos("Coffee  1.20\nBagel  2.10\nTotal  3.30")
            compare(visibleLines(view), ["Coffee  1.20", "Bagel  2.10", "Total  3.30"])
            compare(clearTimer.interval, 3000)
            verify(clearTimer.running)

            var many = []
            for (var i = 0; i < 22; ++i)
                many.push("item " + i)
            view.appendPos(many.join("\n"))
            // A cell keeps no more lines than it shows: the newest.
            compare(visibleLines(view).length, 20)
            compare(visibleLines(view)[0], "item 2")
            compare(visibleLines(view)[19], "item 21")

            // A small cell, as in a large layout, draws only the newest lines that fit in it.
            view.height = 120
            var shown = visibleLines(view)
            verify(shown.length > 0 && shown.length < 20, shown.length)
            compare(shown[shown.length - 1], "item 21")
            var column = findNamed(view, "overlay")
            for (var j = 0; j < column.children.length; ++j) {
                var line = column.children[j]
                if (line.text === undefined || !line.visible)
                    continue
                var at = line.mapToItem(view, 0, 0)
                verify(at.y >= 0 && at.y + line.height <= view.height, line.text)
            }
            view.height = 480
            compare(visibleLines(view).length, 20)

            // Oldest first: one line after 3 s, then one every 0.5 s.
            tryVerify(function() { return visibleLines(view)[0] === "item 3" }, 3600)
            compare(clearTimer.interval, 500)
            tryVerify(function() { return visibleLines(view)[0] === "item 4" }, 800)
        }

        function test_loadsOnlyTheLastAddress() {
            var view = createTemporaryObject(cameraComponent, scene)
            var loadTimer = findNamed(view, "loadTimer")
            var loads = spyOn(loadTimer, "triggered")
            var last = "av://lavfi:testsrc2=size=160x120:rate=25"
            view.url = "av://lavfi:testsrc=size=160x120:rate=25"
            wait(100)
            view.url = last
            compare(loadTimer.interval, 500)
            tryVerify(function() { return view.videoLoaded }, 10000)
            compare(loads.count, 1)
            compare(view.backend.path, last)
            compare(view.videoWidth, 160)

            view.url = "" // nothing stops and nothing loads
            wait(700)
            compare(loads.count, 1)
            verify(view.backend.isPlaying)
        }

        function test_errorRestartsAfterFiveSeconds_data() {
            return [{ tag: "autoplay", autoplay: true }, { tag: "no autoplay", autoplay: false }]
        }

        function test_errorRestartsAfterFiveSeconds(data) {
            var view = createTemporaryObject(cameraComponent, scene,
                                             { shouldAutoplay: data.autoplay })
            var loadTimer = findNamed(view, "loadTimer")
            var ended = spyOn(view.backend, "fileEnded")
            view.url = "http://127.0.0.1:9/live/1"
            ended.wait(10000)
            compare(ended.signalArguments[0][0], "error")
            compare(loadTimer.running, data.autoplay)
            compare(loadTimer.interval, data.autoplay ? 5000 : 500)
            compare(view.retrying, data.autoplay) // says it retries instead of staying black
            verify(view.backend.idle)
        }

        function intersects(a, b) {
            return a.x < b.x + b.width && b.x < a.x + a.width
                    && a.y < b.y + b.height && b.y < a.y + a.height
        }

        // A receipt over a cell of any size lies in the cell, clear of the camera's name and
        // clock (the picture's top left) and of the toolbar's name once it opens.
        function test_receiptBoxStaysInItsCell_data() {
            return [
                { tag: "2x2 cell", w: 320, h: 240, vw: 640, vh: 360 },
                { tag: "wall cell", w: 192, h: 108, vw: 320, vh: 180 },
                { tag: "tall cell", w: 200, h: 400, vw: 640, vh: 360 },
                { tag: "large cell", w: 640, h: 480, vw: 640, vh: 360 },
                { tag: "no picture yet", w: 320, h: 240, vw: 0, vh: 0 }
            ]
        }
        function test_receiptBoxStaysInItsCell(data) {
            var view = createTemporaryObject(cameraComponent, scene,
                                             { width: data.w, height: data.h, cameraName: "Till" })
            view.videoWidth = data.vw
            view.videoHeight = data.vh
            view.appendPos("Till 2  receipt 0083\n4 x Crisps         5.96\n"
                           + "3 x Birthday card  7.50\nCarrier bag        0.20\n"
                           + "VOID 4 x Chocolate  -6.36\nTOTAL             21.43\nCARD")
            var box = findNamed(view, "receiptBox")
            for (var open = 0; open < 2; ++open) {
                view.toolbarOpen = open === 1
                var toolbar = findNamed(view, "toolbar")
                tryCompare(toolbar, "height", open ? G.settings.toolbarIconSize : 0, 3000)
                var rect = Qt.rect(box.x, box.y, box.width, box.height)
                verify(box.visible && box.width > 0 && box.height > 0, data.tag)
                verify(rect.x >= 0 && rect.y >= 0 && rect.x + rect.width <= view.width
                       && rect.y + rect.height <= view.height, JSON.stringify(rect))
                verify(!intersects(rect, view.labelZone),
                       JSON.stringify(rect) + " over " + JSON.stringify(view.labelZone))
                if (open) {
                    var name = findNamed(view, "cameraName")
                    var at = name.mapToItem(view, 0, 0)
                    verify(!intersects(rect, Qt.rect(at.x, at.y, name.width, name.height)),
                           JSON.stringify(rect))
                }
                // the newest line, the card payment, is drawn
                var shown = visibleLines(view)
                compare(shown[shown.length - 1], "CARD")
            }
        }

        // Texts from the network hold markup as often as not; shown as the characters they are,
        // they make the console fetch nothing.
        function test_networkTextsArePlain() {
            var base = "http://127.0.0.1:" + fetchListener.port
            var markup = "<img src=\"" + base + "/pos.png\"><a href=\"" + base + "/x\">Till</a>"
            // wide enough for the receipt box to hold the whole markup as characters
            var view = createTemporaryObject(cameraComponent, scene,
                                             { cameraName: markup, width: 640 })
            view.appendPos("TOTAL  3.30\n" + markup)
            var door = createTemporaryObject(doorComponent, scene, { name: markup })
            view.toolbarOpen = true
            waitForRendering(view)

            compare(visibleLines(view), ["TOTAL  3.30", markup])
            var lines = findNamed(view, "overlay").children
            var overlayLine = null
            for (var j = 0; j < lines.length; ++j) {
                if (lines[j].text === markup)
                    overlayLine = lines[j]
            }
            var shown = [overlayLine, findNamed(door, "doorName"), findNamed(view, "cameraName")]
            for (var i = 0; i < shown.length; ++i) {
                compare(shown[i].text, markup)
                compare(shown[i].textFormat, Text.PlainText)
                // the characters of the tags take room; a picture or a link would not
                verify(shown[i].contentWidth > 200, shown[i].contentWidth)
            }

            // A label that renders markup does fetch its picture: the listener hears it, and
            // by then the plain texts, made earlier, would have been heard too.
            createTemporaryObject(richTextComponent, scene,
                                  { text: "<img src=\"" + base + "/control.png\">" })
            tryVerify(function() { return fetchListener.paths.length > 0 }, 10000)
            waitForRendering(scene)
            compare(fetchListener.paths.filter(function(p) { return p !== "/control.png" }), [])
        }

        function test_networkOnlyCells() {
            var refused = createTemporaryObject(cameraComponent, scene, { networkOnly: true })
            var played = createTemporaryObject(cameraComponent, scene, { x: 320 })
            ignoreWarning("Refused to play, not a network stream address: \"file:///etc/hostname\"")
            refused.url = "file:///etc/hostname"
            played.url = "av://lavfi:testsrc=size=160x120:rate=25"
            tryCompare(refused, "refusedAddress", "file:///etc/hostname", 2000)
            verify(findNamed(refused, "refusedNotice").visible)
            tryVerify(function() { return played.videoLoaded }, 10000)
            compare(refused.backend.playlistCount, 0)
            verify(!findNamed(played, "refusedNotice").visible)
            // the player reads no configuration of its own and runs no scripts
            var player = played.backend
            compare(player.getProperty("options/config"), false)
            compare(player.getProperty("options/load-scripts"), false)
            compare(player.getProperty("options/ytdl"), false)
        }

        function test_doorStateUnknown() {
            var door = createTemporaryObject(doorComponent, scene)
            var notice = findNamed(door, "doorStateUnknown")
            verify(!notice.visible)
            door.stateKnown = false
            verify(notice.visible)
            compare(notice.text, "State unknown")
            verify(door.children[0].children[0].opacity < 0.5) // the last state, faded
            door.stateKnown = true
            verify(!notice.visible)
            // a sensor that never reported: neither the open nor the closed picture
            door.reported = false
            verify(notice.visible)
            compare(String(door.children[0].children[0].source), "")
            door.reported = true
            verify(!notice.visible)
        }

        function test_liveCellCountsDownToItsNextAttempt() {
            var view = createTemporaryObject(cameraComponent, scene, { shouldAutoplay: true })
            var notice = findNamed(view, "retryNotice")
            var states = []
            var texts = []
            view.status.streamStateChanged.connect(function() {
                states.push(view.status.streamState)
                texts.push(notice.visible ? notice.text : "")
            })
            view.url = "http://127.0.0.1:9/live/1"
            tryCompare(view.status, "streamState", "nosignal", 10000)
            compare(states[0], "connecting")
            compare(texts[0], "Connecting…")
            tryVerify(function() { return /^No signal, retrying in [45] s$/.test(notice.text) }, 1000)
            tryVerify(function() { return /^No signal, retrying in [1-3] s$/.test(notice.text) }, 5000)
        }

        function test_statsOverlay_data() {
            return [{ tag: "recording", live: false }, { tag: "live", live: true }]
        }

        function test_statsOverlay(data) {
            var view = createTemporaryObject(cameraComponent, scene, { shouldAutoplay: data.live })
            var stats = findNamed(view, "statsOverlay")
            verify(!stats.visible)
            view.url = "av://lavfi:testsrc2=size=160x120:rate=25"
            tryVerify(function() { return view.videoLoaded }, 10000)
            view.statsVisible = true
            verify(stats.visible)
            tryVerify(function() { return stats.text.indexOf("Resolution: 160×120") > 0 }, 3000)
            // A camera without stream profiles plays its one stream.
            compare(stats.text.indexOf("Profile: single stream"), 0)
            view.profile = "sub"
            tryVerify(function() { return stats.text.indexOf("Profile: sub") === 0 }, 3000)
            verify(stats.text.indexOf("Decoder: software") > 0)
            verify(/FPS: \d+\.\d/.test(stats.text))
            verify(/Dropped: \d+/.test(stats.text))
            compare(stats.text.indexOf("Live delay:") >= 0, data.live)
            view.statsVisible = false
            verify(!stats.visible)
            G.statsForAll = true // Ctrl+I
            verify(stats.visible)
            G.statsForAll = false
        }

        // A chunk chosen while the previous one still downloads from a slow gateway: the first
        // download ends unreported, the second plays; the operator sees the first's progress.
        function test_recordingReplacedWhileFetching() {
            var view = createTemporaryObject(recordingComponent, scene)
            var errors = []
            view.loader.errorChanged.connect(function() { errors.push(view.loader.error) })
            var progress = findNamed(view.loader, "downloadProgressText")
            view.loader.fetch(gateway.url("/slow"), 0)
            tryVerify(function() { return /^Fetching the recording: [0-9] %$/.test(progress.text) },
                      10000, progress.text)
            verify(findNamed(view.loader, "downloadProgress").visible)
            view.loader.fetch(gateway.url("/video"), 0)
            tryVerify(function() { return view.videoLoaded }, 10000)
            compare(errors.filter(function(e) { return e !== "" }), [])
            verify(!findNamed(view.loader, "downloadError").visible)
        }

        // A body the player cannot open is said so, and the previous picture goes.
        function test_unplayableRecording() {
            var view = createTemporaryObject(recordingComponent, scene)
            var corner = function() {
                var image = grabImage(view)
                return image.red(5, 5)
            }
            view.loader.fetch(gateway.url("/video"), 0)
            tryVerify(function() { return view.videoLoaded }, 10000)
            tryVerify(function() { return corner() > 200 }, 5000)
            view.loader.fetch(gateway.url("/text"), 0)
            tryCompare(view.loader, "error", "The recording could not be played", 10000)
            verify(findNamed(view.loader, "downloadError").visible)
            compare(view.url, "")
            tryVerify(function() { return corner() < 30 }, 2000)
        }

        // The selector's first value counts while the toolbar is closed, as do the next ones.
        function test_frameRateApplied() {
            var view = createTemporaryObject(cameraComponent, scene, { fpsVisible: true })
            verify(!view.toolbarOpen)
            compare(view.backend.getProperty("options/fps"), 15)
            findNamed(view, "fpsBox").currentIndex = 2
            compare(view.backend.getProperty("options/fps"), 25)
            var plain = createTemporaryObject(cameraComponent, scene)
            compare(plain.backend.getProperty("options/fps"), 0)
        }

        function test_doorTexts() {
            var door = createTemporaryObject(doorComponent, scene)
            compare(door.name, "Door")
            compare(door.buttonOpenClose.text, "Open")
            door.toOpen = false
            compare(door.buttonOpenClose.text, "Close")
            var picture = door.children[0].children[0]
            compare(String(picture.source), "qrc:/images/door-closed.png")
            door.isClosed = false
            compare(String(picture.source), "qrc:/images/door-opened.png")
            tryCompare(picture, "status", Image.Ready)
        }
    }
}
