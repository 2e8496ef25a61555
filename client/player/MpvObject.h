#pragma once

#include "MpvHandle.h"
#include "RtspProbe.h"
#include "StreamFailure.h"

#include <QImage>
#include <QQuickFramebufferObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <atomic>

class MpvRenderer;

// A Qt Quick item that plays one video stream or file with libmpv. The player's state is
// mirrored into properties; the picture is drawn by MpvRenderer into the item's framebuffer.
// When the player cannot be created the item stays inert: it draws black and ignores calls.
class MpvObject : public QQuickFramebufferObject
{
    Q_OBJECT
    Q_PROPERTY(bool enableAudio READ enableAudio WRITE setEnableAudio NOTIFY enableAudioChanged)
    Q_PROPERTY(bool idle READ idle NOTIFY idleChanged)
    Q_PROPERTY(bool muted READ muted WRITE set_muted NOTIFY mutedChanged)
    Q_PROPERTY(bool paused READ paused WRITE set_paused NOTIFY pausedChanged)
    Q_PROPERTY(bool pausedForCache READ pausedForCache NOTIFY pausedForCacheChanged)
    Q_PROPERTY(bool seekable READ seekable NOTIFY seekableChanged)
    Q_PROPERTY(int chapter READ chapter NOTIFY chapterChanged)
    Q_PROPERTY(int chapterListCount READ chapterListCount NOTIFY chapterListCountChanged)
    Q_PROPERTY(
        int decoderFrameDropCount READ decoderFrameDropCount NOTIFY decoderFrameDropCountChanged)
    Q_PROPERTY(int dheight READ dheight NOTIFY dheightChanged)
    Q_PROPERTY(int dwidth READ dwidth NOTIFY dwidthChanged)
    Q_PROPERTY(int estimatedFrameCount READ estimatedFrameCount WRITE set_estimatedFrameCount NOTIFY
                   estimatedFrameCountChanged)
    Q_PROPERTY(int estimatedFrameNumber READ estimatedFrameNumber WRITE set_estimatedFrameNumber
                   NOTIFY estimatedFrameNumberChanged)
    Q_PROPERTY(int frameDropCount READ frameDropCount NOTIFY frameDropCountChanged)
    Q_PROPERTY(int playlistPos READ playlistPos WRITE set_playlistPos NOTIFY playlistPosChanged)
    Q_PROPERTY(int playlistCount READ playlistCount NOTIFY playlistCountChanged)
    Q_PROPERTY(int voDelayedFrameCount READ voDelayedFrameCount WRITE set_voDelayedFrameCount NOTIFY
                   voDelayedFrameCountChanged)
    Q_PROPERTY(int volume READ volume WRITE set_volume NOTIFY volumeChanged)
    Q_PROPERTY(double audioBitrate READ audioBitrate NOTIFY audioBitrateChanged)
    Q_PROPERTY(double avsync READ avsync NOTIFY avsyncChanged)
    Q_PROPERTY(double containerFps READ containerFps NOTIFY containerFpsChanged)
    Q_PROPERTY(
        double estimatedDisplayFps READ estimatedDisplayFps NOTIFY estimatedDisplayFpsChanged)
    Q_PROPERTY(double estimatedVfFps READ estimatedVfFps NOTIFY estimatedVfFpsChanged)
    Q_PROPERTY(double fps READ fps NOTIFY fpsChanged)
    Q_PROPERTY(double speed READ speed WRITE set_speed NOTIFY speedChanged)
    Q_PROPERTY(double videoBitrate READ videoBitrate NOTIFY videoBitrateChanged)
    Q_PROPERTY(QString audioCodec READ audioCodec NOTIFY audioCodecChanged)
    Q_PROPERTY(QString audioCodecName READ audioCodecName NOTIFY audioCodecNameChanged)
    Q_PROPERTY(QString filename READ filename NOTIFY filenameChanged)
    Q_PROPERTY(QString fileFormat READ fileFormat NOTIFY fileFormatChanged)
    Q_PROPERTY(QString fileSize READ fileSize NOTIFY fileSizeChanged)
    Q_PROPERTY(QString format READ format NOTIFY formatChanged)
    Q_PROPERTY(QString hwdec READ hwdec NOTIFY hwdecChanged)
    Q_PROPERTY(QString hwdecCurrent READ hwdecCurrent NOTIFY hwdecCurrentChanged)
    Q_PROPERTY(QString hwdecInterop READ hwdecInterop NOTIFY hwdecInteropChanged)
    Q_PROPERTY(QString mediaTitle READ mediaTitle NOTIFY mediaTitleChanged)
    Q_PROPERTY(QString path READ path NOTIFY pathChanged)
    Q_PROPERTY(QString videoCodec READ videoCodec NOTIFY videoCodecChanged)
    Q_PROPERTY(QString videoFormat READ videoFormat NOTIFY videoFormatChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    // When set, only network stream addresses are loaded; anything else is refused.
    Q_PROPERTY(bool networkOnly READ networkOnly WRITE setNetworkOnly NOTIFY networkOnlyChanged)
    // Why the current or last load failed, as far as the player's messages tell: "denied",
    // "notfound", "noanswer", "undecodable", "notrtsp", "refused", "closed" (StreamFailure), or
    // empty. Cleared when the next
    // file starts. libmpv delivers its log messages after its events, so the failure may be
    // known only just after fileEnded.
    Q_PROPERTY(QString failure READ failure NOTIFY failureChanged)

    friend class MpvRenderer;

public:
    explicit MpvObject(QQuickItem *parent = nullptr);
    ~MpvObject() override;

    Renderer *createRenderer() const override;

    // The render context, for checks from the GUI thread; null before the first frame.
    mpv_render_context *renderContext() const { return mpv_gl->context; }
    // False when the player could not be created: the item then does nothing.
    bool hasPlayer() const { return mpv != nullptr; }

    Q_INVOKABLE void setProperty(const QString &name, const QVariant &value);
    Q_INVOKABLE QVariant getProperty(const QString &name);
    Q_INVOKABLE void setOption(const QString &name, const QVariant &value);
    Q_INVOKABLE void setOptionNoParam(const QString &name);
    Q_INVOKABLE QString getPlaylistFilename(int playlistIndex);
    Q_INVOKABLE QString getPlaylistTitle(int playlistIndex);
    Q_INVOKABLE QString getChapterTitle(int chapterIndex);
    Q_INVOKABLE double getChapterTime(int chapterIndex);
    // How long a live cell waits before it loads its stream again after the last load failed.
    Q_INVOKABLE int retryDelayMs() const { return StreamFailure::retryDelayMs(m_failure.kind()); }
    // The video frame shown now at the stream's own size, without anything drawn over it (the
    // player's "screenshot-raw"); a null image when there is none. The GUI thread waits for
    // the player meanwhile: requestFrame() does not.
    QImage currentFrame();
    // The same without waiting: the player takes the frame on its own thread and frameArrived
    // hands it over on the GUI thread. Returns the request's number, 0 when there is no player.
    quint64 requestFrame();

signals:
    void idleChanged(bool value);
    void mutedChanged(bool value);
    void pausedChanged(bool value);
    void pausedForCacheChanged(bool value);
    void seekableChanged(bool value);
    void chapterChanged(int value);
    void chapterListCountChanged(int value);
    void decoderFrameDropCountChanged(int value);
    void dheightChanged(int value);
    void dwidthChanged(int value);
    void estimatedFrameCountChanged(int value);
    void estimatedFrameNumberChanged(int value);
    void frameDropCountChanged(int value);
    void playlistPosChanged(int value);
    void playlistCountChanged(int value);
    void voDelayedFrameCountChanged(int value);
    void volumeChanged(int value);
    void audioBitrateChanged(double value);
    void avsyncChanged(double value);
    void containerFpsChanged(double value);
    void estimatedDisplayFpsChanged(double value);
    void estimatedVfFpsChanged(double value);
    void fpsChanged(double value);
    void speedChanged(double value);
    void videoBitrateChanged(double value);
    void audioCodecChanged(const QString &value);
    void audioCodecNameChanged(const QString &value);
    void filenameChanged(const QString &value);
    void fileFormatChanged(const QString &value);
    void fileSizeChanged(const QString &value);
    void formatChanged(const QString &value);
    void hwdecChanged(const QString &value);
    void hwdecCurrentChanged(const QString &value);
    void hwdecInteropChanged(const QString &value);
    void mediaTitleChanged(const QString &value);
    void pathChanged(const QString &value);
    void videoCodecChanged(const QString &value);
    void videoFormatChanged(const QString &value);
    void enableAudioChanged(bool value);
    void isPlayingChanged(bool value);
    void durationChanged(double value);
    void positionChanged(double value);
    void mpvUpdated();
    void fileStarted();
    void fileEnded(const QString &reason);
    void fileLoaded();
    // The same, naming the playlist entry (its "playlist/N/id") and why a failed one failed.
    void entryStarted(qint64 entryId);
    void entryEnded(qint64 entryId, const QString &reason, const QString &error);
    // Playback (re)started after a load, a seek or a track switch: its first picture is out.
    void playbackRestarted();
    void networkOnlyChanged(bool value);
    // A load of `address` was refused: it is not a network stream address.
    void loadRefused(const QString &address);
    void failureChanged(const QString &value);
    // The frame asked by requestFrame(request): null when the player had none to give.
    void frameArrived(quint64 request, const QImage &frame);

public slots:
    bool idle();
    bool muted();
    void set_muted(bool value);
    bool paused();
    void set_paused(bool value);
    bool pausedForCache();
    bool seekable();
    int chapter();
    int chapterListCount();
    int decoderFrameDropCount();
    int dheight();
    int dwidth();
    int estimatedFrameCount();
    void set_estimatedFrameCount(int value);
    int estimatedFrameNumber();
    void set_estimatedFrameNumber(int value);
    int frameDropCount();
    int playlistPos();
    void set_playlistPos(int value);
    int playlistCount();
    int voDelayedFrameCount();
    void set_voDelayedFrameCount(int value);
    int volume();
    void set_volume(int value);
    double audioBitrate();
    double avsync();
    double containerFps();
    double estimatedDisplayFps();
    double estimatedVfFps();
    double fps();
    double speed();
    void set_speed(double value);
    double videoBitrate();
    QString audioCodec();
    QString audioCodecName();
    QString filename();
    QString fileFormat();
    QString fileSize();
    QString format();
    QString hwdec();
    QString hwdecCurrent();
    QString hwdecInterop();
    QString mediaTitle();
    QString path();
    QString videoCodec();
    QString videoFormat();
    void command(const QVariant &params);
    // The command's answer (loadfile's is {"playlist_entry_id": N}); invalid when refused.
    QVariant commandResult(const QVariant &params);
    void reinitRenderer();
    void playPause();
    void play();
    void pause();
    void seek(double pos);
    void loadFile(const QVariant &urls);
    bool enableAudio();
    void setEnableAudio(bool value);
    bool isPlaying();
    void updateState();
    double duration();
    double position();
    void on_mpv_events();
    void doUpdate();
    bool networkOnly() const { return m_networkOnly; }
    void setNetworkOnly(bool value);
    QString failure() const { return m_failure.kind(); }

protected:
    bool event(QEvent *event) override;

private:
    // Playing at this moment: an entry open and not paused (isPlaying follows the events).
    bool playingNow();
    bool createPlayer();
    void observeProperties();
    void handleEvent(const mpv_event &event);
    void handlePropertyChange(const mpv_event_property &property);
    void loadPendingFile();
    void loadAddresses(const QVariant &urls);
    void loadAddress(const QString &address, const QString &flag);
    void handleLogMessage(const mpv_event_log_message &message);
    void noteFailure(bool changed, const QString &why);
    // Logs the "Stream failure:" line of the current load, once: what explains it, else that
    // nothing does.
    void reportFailure();
    void noteProbe(const QString &verdict);
    // True (with a warning) when networkOnly forbids loading one of the addresses.
    bool refusesToLoad(const QVariant &urls);
    static void onWakeup(void *context);
    // The frame of a "screenshot-raw" result, copied; null (with a warning when the result is
    // not what was asked) when it holds none.
    static QImage frameOf(const mpv_node &result);

    // How long an RTSP load waits for the camera to answer (connect, each request, each read).
    // A cell then says the camera does not answer a few seconds after it tried, and a camera
    // that stops sending ends the stream as the cell's stall check would.
    static constexpr int kRtspTimeoutMs = 5000;
    // How long after a failed load's end its messages may still come.
    static constexpr int kReportAfterEndMs = 300;
    // How long the probe of a failed RTSP server waits for its answer; well below the wait
    // before the next attempt.
    static constexpr int kProbeTimeoutMs = 2000;
    static void onRenderUpdate(void *context);

    MpvHandle mpv;
    std::shared_ptr<MpvRenderSlot> mpv_gl;
    bool m_enableAudio = false;
    double m_duration = 0;
    double m_position = 0;
    bool m_isPlaying = false;
    QVariant m_pendingLoad;
    bool m_networkOnly = false;
    StreamFailure m_failure;
    // One "Stream failure:" line per failed load, once it has ended: a moment after its end
    // (libmpv hands over the messages that explain it after the end) or the answer of the
    // probe, or when the next load starts, whichever comes first.
    QTimer m_reportTimer;
    bool m_failureLogged = false;
    bool m_endedWithError = false;
    QString m_failureWhy;
    // Asks an RTSP server that failed a load without a word whether it speaks RTSP at all.
    RtspProbe m_probe;
    // The address given to the player last, for a load whose path is gone when it starts.
    QString m_lastLoaded;
    // "Video/renderer": "gl", "software", or "auto"/empty for software on a software OpenGL.
    const QString m_rendererChoice;
    // Set while a drain of the player's events is posted and has not started.
    std::atomic<bool> m_drainPosted{false};
    // The number of the last frame asked without waiting; command replies carry it.
    quint64 m_lastFrameRequest = 0;
};
