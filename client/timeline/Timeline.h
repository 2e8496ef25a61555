#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QStringList>

class BookmarkList;
class MotionMoments;
class PosTextCache;
class RecordingIndex;

// The timeline under the recorded player: a date and time scale, the current stream's recorded
// spans and gaps, the ticks of its channel texts and the play head, over a view of one minute
// to seven days. The wheel zooms around the pointer, a drag pans, a click (press and release
// without dragging) says which moment was picked.
class Timeline : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(RecordingIndex *index READ index WRITE setIndex NOTIFY indexChanged)
    Q_PROPERTY(PosTextCache *texts READ texts WRITE setTexts NOTIFY textsChanged)
    // The moments a motion search found, drawn over the top of the recorded band.
    Q_PROPERTY(MotionMoments *motion READ motion WRITE setMotion NOTIFY motionChanged)
    // The visible range [viewStart, viewEnd), ms since the epoch; its span stays between one
    // minute and seven days.
    Q_PROPERTY(qint64 viewStart READ viewStart WRITE setViewStart NOTIFY viewChanged)
    Q_PROPERTY(qint64 viewEnd READ viewEnd WRITE setViewEnd NOTIFY viewChanged)
    // The moment playing, -1 for none.
    Q_PROPERTY(qint64 playhead READ playhead WRITE setPlayhead NOTIFY playheadChanged)
    // The bookmarks flagged on the timeline: those of bookmarkStreams (of the server signed in
    // to). A click on a flag picks its moment.
    Q_PROPERTY(BookmarkList *bookmarks READ bookmarks WRITE setBookmarks NOTIFY bookmarksChanged)
    Q_PROPERTY(QStringList bookmarkStreams READ bookmarkStreams WRITE setBookmarkStreams NOTIFY
                   bookmarksChanged)
    // The moment under the pointer, -1 when the pointer is outside.
    Q_PROPERTY(qint64 hoverTime READ hoverTime NOTIFY hoverTimeChanged)

public:
    static constexpr qint64 minSpan = 60 * 1000;
    static constexpr qint64 maxSpan = 7 * 24 * 3600 * 1000LL;
    // The font of the scale's labels: it decides which ticks are labelled, for whatever lines
    // up with them (the strip of pictures above the timeline).
    static QFont scaleFont();

    // The colours drawn, for whoever checks a picture of the item.
    static const QColor backgroundColor;
    static const QColor spanColor;
    static const QColor unavailableColor;
    static const QColor failedColor;
    static const QColor textTickColor;
    static const QColor playheadColor;
    static const QColor bookmarkColor;
    // A click this close to a flag (pixels) picks the flag's moment.
    static constexpr double flagReach = 5;
    static const QColor motionColor;

    explicit Timeline(QQuickItem *parent = nullptr);
    ~Timeline() override;

    RecordingIndex *index() const;
    void setIndex(RecordingIndex *index);
    PosTextCache *texts() const;
    void setTexts(PosTextCache *texts);
    MotionMoments *motion() const;
    void setMotion(MotionMoments *motion);
    qint64 viewStart() const { return m_viewStart; }
    void setViewStart(qint64 start);
    qint64 viewEnd() const { return m_viewEnd; }
    void setViewEnd(qint64 end);
    qint64 playhead() const { return m_playhead; }
    void setPlayhead(qint64 playhead);
    qint64 hoverTime() const { return m_hoverTime; }
    BookmarkList *bookmarks() const;
    void setBookmarks(BookmarkList *bookmarks);
    QStringList bookmarkStreams() const { return m_bookmarkStreams; }
    void setBookmarkStreams(const QStringList &streams);
    // The bookmarked moment nearest `x`, within flagReach pixels; -1 when none is.
    Q_INVOKABLE qint64 flagAt(double x) const;

    // factor > 1 shows more time; `t` stays where it is on the item.
    Q_INVOKABLE void zoomAround(qint64 t, double factor);
    Q_INVOKABLE void panBy(qint64 ms);
    // Shows [from, to), widened or narrowed around its middle to the allowed span.
    Q_INVOKABLE void showRange(qint64 from, qint64 to);
    // Moves the view so that `t` is in its middle, keeping the span.
    Q_INVOKABLE void centerOn(qint64 t);
    Q_INVOKABLE qint64 timeAt(double x) const;
    Q_INVOKABLE double xAt(qint64 t) const;

    void paint(QPainter *painter) override;
    // Paints the whole item at its size: the window's paint and the benchmarks.
    void paintTo(QPainter *painter);

signals:
    void indexChanged();
    void textsChanged();
    void motionChanged();
    void viewChanged();
    void playheadChanged();
    void hoverTimeChanged();
    void bookmarksChanged();
    void clicked(qint64 time);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseUngrabEvent() override;
    void wheelEvent(QWheelEvent *event) override;
    void hoverEnterEvent(QHoverEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    void hoverLeaveEvent(QHoverEvent *event) override;

private:
    void setView(qint64 start, qint64 end);
    void setHoverTime(qint64 t);
    QVector<QRect> paintSpans(QPainter *painter, double top, double height) const;
    QVector<QRectF> failedRects(double top, double height) const;
    void paintFailed(QPainter *painter, double top, double height) const;
    void paintFailedText(QPainter *painter, double top, double height,
                         const QVector<QRect> &covered) const;
    void paintRepeatedHour(QPainter *painter, double top, double height) const;
    void paintTextTicks(QPainter *painter, double top, double height) const;
    void paintMotion(QPainter *painter, double top, double height) const;
    void paintScale(QPainter *painter, double height) const;
    void paintBookmarks(QPainter *painter, double top, double height) const;
    void paintPlayhead(QPainter *painter);
    void paintHover(QPainter *painter) const;
    QRectF hoverBoxRect(QString *text) const;

    QPointer<RecordingIndex> m_index;
    QPointer<PosTextCache> m_texts;
    QPointer<BookmarkList> m_bookmarks;
    QStringList m_bookmarkStreams;
    QPointer<MotionMoments> m_motion;
    qint64 m_viewStart;
    qint64 m_viewEnd;
    qint64 m_playhead = -1;
    qint64 m_hoverTime = -1;
    // Where the pointer is over the item, -1 when outside.
    double m_hoverX = -1;
    // The play head's pixel as last painted: a move within it needs no repaint.
    int m_paintedPlayheadX = -1;
    // The press being followed: where it was, the view then, and whether it became a drag.
    bool m_pressed = false;
    bool m_dragging = false;
    double m_pressX = 0;
    qint64 m_pressViewStart = 0;
};
