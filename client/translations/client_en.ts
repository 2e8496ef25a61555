<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AlarmView</name>
    <message>
        <source>%1 new</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No events</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BookmarkNoteField</name>
    <message>
        <source>Bookmark %1 at %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note (Enter keeps it, Esc drops it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The note is cut at 500 characters</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BookmarksPage</name>
    <message>
        <source>1 bookmark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 bookmarks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This camera is no longer on the site</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete the bookmark of %1 at %2?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find words in notes, cameras, names</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Camera</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Who</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (removed)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No bookmarks yet: B marks the moment shown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No bookmark matches</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete bookmark</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CameraView</name>
    <message>
        <source>Snapshot</source>
        <translation>Snapshot</translation>
    </message>
    <message>
        <source>Saved: %1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>Not a network stream, not played: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1:1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CellStatus</name>
    <message>
        <source>Access denied by the camera, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The camera does not know this stream, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The camera does not answer, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The video cannot be decoded, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The camera does not speak RTSP, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The camera refuses the connection, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The camera closed the connection, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No signal, retrying in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConnectionBanner</name>
    <message>
        <source>Connection to the server lost. Reconnecting…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection to the server lost. Next attempt in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DoorView</name>
    <message>
        <source>State unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Downloader</name>
    <message>
        <source>Not an HTTP address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway answered HTTP %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway sent more than the recording holds (over %1 bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway stopped sending: %1 bytes in the last %2 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EventsPage</name>
    <message>
        <source>All classes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All sources</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acknowledged by %1 at %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 new</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find in events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acknowledge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play the layout at this time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Source</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Class</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No events yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No event matches</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportPanel</name>
    <message>
        <source>In %1  Out %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I and O mark in and out at the play head; Shift+drag on the timeline marks a range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, SHA-256 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The manifest is signed with this console&apos;s key, made at the first export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExportPlan</name>
    <message>
        <source>%1: %2 to %3%4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FoundObjectsView</name>
    <message>
        <source>Nothing found</source>
        <translation>Nothing found</translation>
    </message>
</context>
<context>
    <name>LayoutBookmarks</name>
    <message>
        <source>Click a camera, then press B</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LayoutPlaybackBar</name>
    <message>
        <source>Play</source>
        <translation type="unfinished">Play</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished">Pause</translation>
    </message>
    <message>
        <source>One frame back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One frame on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PLAYBACK  %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back to live</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every cell live again (Esc)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark this moment of the camera shown alone or last clicked (B)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LoginPage</name>
    <message>
        <source>Working</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>server information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>login credentials</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Username</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Login</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainPage</name>
    <message>
        <source>Playback: the whole layout from one minute ago (Ctrl+P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No camera shows this event&apos;s source</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MomentField</name>
    <message>
        <source>Go to… (Ctrl+G)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A moment to play: 2026-12-08 14:30, 14:30 (today) or yesterday 14:30</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MomentParser</name>
    <message>
        <source>Type a moment as 2026-12-08 14:30, 14:30 (today) or yesterday 14:30; seconds may follow (14:30:15)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a moment. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no day %1. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no time %1 in a day. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 did not happen here: the clock was put forward over it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 happened twice here: the clock was put back over it; choose a moment outside that hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is still to come</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MotionSearch</name>
    <message>
        <source>Choose a camera whose gateway is known first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark an area of the picture first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An area has no size: draw it larger</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The range to search is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A search covers at most 7 days: choose a shorter range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Part of the range could not be listed by the event server: it was not searched</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MotionSearchPanel</name>
    <message>
        <source>Motion search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag on the picture to mark where to look; several areas may be marked.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear the areas</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What the timeline shows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The last hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From… to…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>To</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Medium</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>High</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 hours searched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 minutes searched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Moments found: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 recording could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 recordings could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlaybackCellTexts</name>
    <message>
        <source>No recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway does not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recordings unavailable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searching the recordings…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PlaybackControls</name>
    <message>
        <source>Play</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Next frame</source>
        <translation>Next frame</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
</context>
<context>
    <name>RecordedChoices</name>
    <message>
        <source>Delete all streams</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecordedControls</name>
    <message>
        <source>Play the layout from here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every camera of the layout at this moment, in step</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bookmark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mark the moment shown with a note (B)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Motion search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find the moments something moved in an area of the picture (Ctrl+M)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecordedPage</name>
    <message>
        <source>The receipts of this recording could not be fetched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Available streams</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recorded chunks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>start: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>end: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>size: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opening the recording…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No recorded video at that time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receipt in %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s after the receipt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway of %1 at %2 does not answer</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecordingLoader</name>
    <message>
        <source>The recording could not be fetched: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recording could not be played</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fetching the recording: %1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fetching the recording: %1 kB</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RepositoryBuilder</name>
    <message>
        <source>Objects listed more than once in the tree (a loop or a shared child), shown once: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Repeated object ids, ignored: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Names longer than %1 characters, cut: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchField</name>
    <message>
        <source>Find</source>
        <translation>Find</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Layout</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>Recorded</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>Layouts</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Cameras</translation>
    </message>
    <message>
        <source>Do you want to close the console?</source>
        <translation>Do you want to close the console?</translation>
    </message>
    <message>
        <source>Transactions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Snapshot</name>
    <message>
        <source>Nothing to save</source>
        <translation>Nothing to save</translation>
    </message>
    <message>
        <source>The picture could not be taken</source>
        <translation>The picture could not be taken</translation>
    </message>
    <message>
        <source>The picture could not be saved</source>
        <translation>The picture could not be saved</translation>
    </message>
</context>
<context>
    <name>StatsOverlay</name>
    <message>
        <source>RTSP (RTP over TCP)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hardware (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>software</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Profile: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>single stream</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transport: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolution: %1×%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FPS: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bitrate: %1 kbit/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decoder: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dropped: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Live delay: %1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Timeline</name>
    <message>
        <source>Recordings unavailable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Repeated hour of the clock change</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelinePanel</name>
    <message>
        <source>Previous day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receipts unavailable</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelinePlayback</name>
    <message>
        <source>Gap: %1 h %2 min skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gap: %1 min skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gap: %1 s skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No recording at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recording at %1 is unavailable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recording of %1–%2 is unavailable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End of the recordings</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TransactionExport</name>
    <message>
        <source>Cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file name given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the local store could not be opened: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TransactionModel</name>
    <message>
        <source>No file name given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TransactionSearch</name>
    <message>
        <source>Nothing to search: no till or no time range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: 1 hour could not be searched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 hours could not be searched</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TransactionsPage</name>
    <message>
        <source>A click shows the whole receipt; a double click plays its till&apos;s recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved: %1</source>
        <translation type="unfinished">Saved: %1</translation>
    </message>
    <message>
        <source>Export cancelled: nothing written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The export failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;From&quot; is not a date and time such as %1 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;To&quot; is not a date and time such as %1 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;From&quot; must come before &quot;To&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;From&quot; is in the future: there are no receipts yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>At most 31 days can be searched at once</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The minimum amount is not a number such as 49.99</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This site has no cameras whose receipts could be searched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose tills, a time and words, then Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 receipt found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 receipts found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 in %2 searched</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the table shows the first %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searching… %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelled: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searched what is stored: a gateway did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searched what is stored: the gateway of %1 did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searched what is stored: the gateways of %1 did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The export failed: the folder for it could not be made</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The export failed: another one is running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tills</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other cameras ◂</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other cameras ▸</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>When</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yesterday</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last 7 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>YYYY-MM-DD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HH:MM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Words and &quot;quoted phrases&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minimum amount</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play the layout at this time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exporting… %1 rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Till</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Amount</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No receipt matches</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WallClockNames</name>
    <message>
        <source>Recordings named in the repeated hour of the clock change cannot be told apart</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ZarnClient</name>
    <message>
        <source>The site&apos;s tree is not shown: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Client</source>
        <translation>Client</translation>
    </message>
</context>
</TS>
