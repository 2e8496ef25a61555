#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QVector>

class RecordingIndex;
class TimelinePlayback;
class TimelineThumbnails;

// A strip of pictures along the timeline while it shows one hour or less: one picture per
// labelled tick of its scale, the keyframe at or before the tick's moment. Only the ticks in
// view are asked for, one at a time, through a TimelineThumbnails of the strip's own (what it
// knows is shared with the timeline's hover), so the GUI thread never waits; a moment without
// a complete recording, or
// whose recording the gateway refuses or answers with garbage, keeps an empty slot.
class ThumbnailStrip : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(RecordingIndex *recordings READ recordings WRITE setRecordings NOTIFY sourceChanged)
    Q_PROPERTY(TimelinePlayback *playback READ playback WRITE setPlayback NOTIFY sourceChanged)
    Q_PROPERTY(qint64 viewStart READ viewStart WRITE setViewStart NOTIFY viewChanged)
    Q_PROPERTY(qint64 viewEnd READ viewEnd WRITE setViewEnd NOTIFY viewChanged)
    Q_PROPERTY(qreal width READ width WRITE setWidth NOTIFY viewChanged)
    // Whether the view is short enough for a strip (and the strip has a stream to show).
    Q_PROPERTY(bool shown READ shown NOTIFY slotsChanged)
    // The width of one picture, in pixels: the ticks' spacing, at most maxPictureWidth.
    Q_PROPERTY(int pictureWidth READ pictureWidth NOTIFY slotsChanged)

public:
    enum Role { TimeRole = Qt::UserRole + 1, ImageRole, EmptyRole };
    static constexpr qint64 maxSpanMs = 3600000;
    static constexpr int maxPictureWidth = 96;
    // A moment asked that gets no answer within this is given up (an empty slot).
    static constexpr int answerTimeoutMs = 15000;

    explicit ThumbnailStrip(QObject *parent = nullptr);

    RecordingIndex *recordings() const { return m_index; }
    void setRecordings(RecordingIndex *index);
    TimelinePlayback *playback() const { return m_playback; }
    void setPlayback(TimelinePlayback *playback);
    qint64 viewStart() const { return m_viewStart; }
    void setViewStart(qint64 value);
    qint64 viewEnd() const { return m_viewEnd; }
    void setViewEnd(qint64 value);
    qreal width() const { return m_width; }
    void setWidth(qreal value);
    bool shown() const { return !m_slots.isEmpty(); }
    int pictureWidth() const { return m_pictureWidth; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void sourceChanged();
    void viewChanged();
    void slotsChanged();

private:
    struct Slot
    {
        qint64 time = 0;
        QImage image;
        bool empty = false;
    };

    // The view changed: the ticks are worked out again once it rests for a moment.
    void viewMoved();
    // Another stream: every slot goes, and the moment asked is no longer awaited.
    void forgetSlots();
    void layOut();
    // Asks for the next slot that has neither a picture nor is empty.
    void askNext();
    void answered(const QImage &image);
    void refused(const QString &url);
    int slotOf(qint64 time) const;

    QPointer<RecordingIndex> m_index;
    QPointer<TimelinePlayback> m_playback;
    qint64 m_viewStart = 0;
    qint64 m_viewEnd = 0;
    qreal m_width = 0;
    int m_pictureWidth = maxPictureWidth;
    QVector<Slot> m_slots;
    TimelineThumbnails *m_pictures;
    QTimer m_layOut;
    QTimer m_timeout;
    // The tick asked for and its recording, -1 and empty while nothing is asked.
    qint64 m_asked = -1;
    QString m_askedUrl;
};
