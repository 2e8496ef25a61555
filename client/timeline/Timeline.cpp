#include "Timeline.h"

#include "BookmarkList.h"
#include "MotionMoments.h"
#include "PosTextCache.h"
#include "RecordingIndex.h"
#include "TimeScale.h"
#include "WallClockNames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

void registerTimeline()
{
    qmlRegisterType<Timeline>("Native", 1, 0, "Timeline");
}
Q_COREAPP_STARTUP_FUNCTION(registerTimeline)

constexpr qint64 day = 24 * 3600 * 1000LL;
// Times asked are kept between 1970 and the year 9999, whatever QML passes, so that no sum
// of them overflows.
constexpr qint64 latest = 253402300799999LL;

qint64 clampTime(qint64 t)
{
    return std::clamp(t, qint64(0), latest);
}

// A press that moves further than this is a drag, not a click.
constexpr double dragThreshold = 4;
// One wheel notch (120 eighths of a degree) zooms by this much.
constexpr double notchZoom = 1.25;
// Rows of the item: the scale on top, the recorded band, the lane of text ticks below.
constexpr double scaleHeight = 22;
constexpr double laneHeight = 9;
constexpr double rowGap = 3;

const QColor scaleTextColor(0xd0, 0xd0, 0xd0);
const QColor dateTextColor(Qt::white);
const QColor tickColor(0x8a, 0x8f, 0x98);
const QColor dayLineColor(0x4a, 0x50, 0x5a);
const QColor unavailableHatch(0xf0, 0x8a, 0x80);
const QColor failedHatch(0x8c, 0x8c, 0x8c);
const QColor hoverColor(255, 255, 255, 140);
const QColor repeatedHourColor(0x5b, 0x3a, 0x7a);
const QColor repeatedHourHatch(0xb3, 0x9d, 0xdb);
const QColor hoverBox(0, 0, 0, 210);

// Pixel runs [from, to) of sorted spans, merged where they meet on the same pixels; every span
// covers at least one pixel.
struct PixelRuns
{
    QVector<QRect> rects;
    int from = 0;
    int to = -1;
    int top = 0;
    int height = 0;

    void add(double x0, double x1)
    {
        const int a = int(std::floor(x0));
        const int b = std::max(a + 1, int(std::ceil(x1)));
        if (to >= from && a <= to) {
            to = std::max(to, b);
            return;
        }
        flush();
        from = a;
        to = b;
    }
    void flush()
    {
        if (to > from)
            rects.append(QRect(from, top, to - from, height));
        to = from - 1;
    }
};

} // namespace

QFont Timeline::scaleFont()
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    return font;
}

const QColor Timeline::backgroundColor(0x1e, 0x20, 0x24);
const QColor Timeline::spanColor(0x3d, 0x9a, 0x4f);
const QColor Timeline::unavailableColor(0xc0, 0x39, 0x2b);
const QColor Timeline::failedColor(0x4a, 0x4a, 0x4a);
const QColor Timeline::textTickColor(0xf1, 0xc4, 0x0f);
const QColor Timeline::playheadColor(Qt::white);
const QColor Timeline::bookmarkColor(0x4f, 0xc3, 0xf7);
const QColor Timeline::motionColor(0xc8, 0x5c, 0xf0);

Timeline::Timeline(QQuickItem *parent)
    : QQuickPaintedItem(parent)
    , m_viewEnd(QDateTime::currentMSecsSinceEpoch())
{
    m_viewStart = m_viewEnd - day;
    setImplicitHeight(64);
    setOpaquePainting(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    setAcceptHoverEvents(true);
}

Timeline::~Timeline() = default;

RecordingIndex *Timeline::index() const
{
    return m_index;
}

void Timeline::setIndex(RecordingIndex *index)
{
    if (m_index == index)
        return;
    if (m_index)
        disconnect(m_index, nullptr, this, nullptr);
    m_index = index;
    if (index)
        connect(index, &RecordingIndex::changed, this, [this] { update(); });
    emit indexChanged();
    update();
}

PosTextCache *Timeline::texts() const
{
    return m_texts;
}

void Timeline::setTexts(PosTextCache *texts)
{
    if (m_texts == texts)
        return;
    if (m_texts)
        disconnect(m_texts, nullptr, this, nullptr);
    m_texts = texts;
    if (texts)
        connect(texts, &PosTextCache::changed, this, [this] { update(); });
    emit textsChanged();
    update();
}

BookmarkList *Timeline::bookmarks() const
{
    return m_bookmarks;
}

void Timeline::setBookmarks(BookmarkList *bookmarks)
{
    if (m_bookmarks == bookmarks)
        return;
    if (m_bookmarks)
        disconnect(m_bookmarks, nullptr, this, nullptr);
    m_bookmarks = bookmarks;
    if (bookmarks)
        connect(bookmarks, &BookmarkList::changed, this, [this] { update(); });
    emit bookmarksChanged();
    update();
}

void Timeline::setBookmarkStreams(const QStringList &streams)
{
    if (streams == m_bookmarkStreams)
        return;
    m_bookmarkStreams = streams;
    emit bookmarksChanged();
    update();
}

qint64 Timeline::flagAt(double x) const
{
    if (!m_bookmarks || width() <= 0)
        return -1;
    const qint64 reach = std::llround(flagReach * double(m_viewEnd - m_viewStart) / width()) + 1;
    const qint64 t = timeAt(x);
    qint64 best = -1;
    for (qint64 flag : m_bookmarks->timesBetween(m_bookmarkStreams, t - reach, t + reach + 1))
        if (best < 0 || std::abs(flag - t) < std::abs(best - t))
            best = flag;
    return best;
}

MotionMoments *Timeline::motion() const
{
    return m_motion;
}

void Timeline::setMotion(MotionMoments *motion)
{
    if (m_motion == motion)
        return;
    if (m_motion)
        disconnect(m_motion, nullptr, this, nullptr);
    m_motion = motion;
    if (motion)
        connect(motion, &MotionMoments::changed, this, [this] { update(); });
    emit motionChanged();
    update();
}

// Setting one end keeps the other while the span stays allowed, and moves it otherwise, so
// that QML may set both ends in either order.
void Timeline::setViewStart(qint64 start)
{
    start = clampTime(start);
    const qint64 end = std::clamp(m_viewEnd, start + minSpan, start + maxSpan);
    setView(start, end);
}

void Timeline::setViewEnd(qint64 end)
{
    end = clampTime(end);
    const qint64 start = std::clamp(m_viewStart, end - maxSpan, end - minSpan);
    setView(start, end);
}

void Timeline::setView(qint64 start, qint64 end)
{
    start = clampTime(start);
    const qint64 span = std::clamp(clampTime(end) - start, minSpan, maxSpan);
    start = std::min(start, latest - span);
    end = start + span;
    if (start == m_viewStart && end == m_viewEnd)
        return;
    m_viewStart = start;
    m_viewEnd = end;
    emit viewChanged();
    if (m_hoverX >= 0)
        setHoverTime(timeAt(m_hoverX));
    update();
}

void Timeline::setPlayhead(qint64 playhead)
{
    if (playhead == m_playhead)
        return;
    m_playhead = playhead;
    emit playheadChanged();
    const int x = playhead < 0 ? -1 : int(std::floor(xAt(playhead)));
    if (x != m_paintedPlayheadX)
        update();
}

void Timeline::setHoverTime(qint64 t)
{
    if (t == m_hoverTime)
        return;
    m_hoverTime = t;
    emit hoverTimeChanged();
    update();
}

void Timeline::zoomAround(qint64 t, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    t = clampTime(t);
    const qint64 span = m_viewEnd - m_viewStart;
    const double wanted = std::clamp(double(span) * factor, double(minSpan), double(maxSpan));
    const qint64 newSpan = std::llround(wanted);
    const qint64 start = t - std::llround(double(t - m_viewStart) * double(newSpan) / double(span));
    setView(start, start + newSpan);
}

void Timeline::panBy(qint64 ms)
{
    ms = std::clamp(ms, -latest, latest);
    setView(m_viewStart + ms, m_viewEnd + ms);
}

void Timeline::showRange(qint64 from, qint64 to)
{
    from = clampTime(from);
    to = clampTime(to);
    if (to < from)
        std::swap(from, to);
    const qint64 span = std::clamp(to - from, minSpan, maxSpan);
    const qint64 start = from + (to - from) / 2 - span / 2;
    setView(start, start + span);
}

void Timeline::centerOn(qint64 t)
{
    t = clampTime(t);
    const qint64 span = m_viewEnd - m_viewStart;
    setView(t - span / 2, t - span / 2 + span);
}

qint64 Timeline::timeAt(double x) const
{
    if (width() <= 0)
        return m_viewStart;
    return m_viewStart + std::llround(x * double(m_viewEnd - m_viewStart) / width());
}

double Timeline::xAt(qint64 t) const
{
    return double(t - m_viewStart) * width() / double(m_viewEnd - m_viewStart);
}

void Timeline::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = true;
    m_dragging = false;
    m_pressX = event->localPos().x();
    m_pressViewStart = m_viewStart;
    event->accept();
}

void Timeline::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    const double dx = event->localPos().x() - m_pressX;
    if (!m_dragging && std::abs(dx) > dragThreshold) {
        m_dragging = true;
        setKeepMouseGrab(true);
    }
    if (m_dragging && width() > 0) {
        const qint64 span = m_viewEnd - m_viewStart;
        const qint64 start = m_pressViewStart - std::llround(dx * double(span) / width());
        setView(start, start + span);
    }
    m_hoverX = event->localPos().x();
    setHoverTime(timeAt(m_hoverX));
}

void Timeline::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    const bool click = !m_dragging;
    m_pressed = false;
    m_dragging = false;
    setKeepMouseGrab(false);
    if (click) {
        const qint64 flag = flagAt(event->localPos().x());
        emit clicked(flag >= 0 ? flag : timeAt(event->localPos().x()));
    }
}

// Another item took the pointer (a flickable, a popup): the press is forgotten, no click.
void Timeline::mouseUngrabEvent()
{
    m_pressed = false;
    m_dragging = false;
    setKeepMouseGrab(false);
}

// A mouse notch zooms by notchZoom; a touchpad's smaller steps zoom in proportion. Sideways
// scrolling pans a tenth of the view per notch.
void Timeline::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    if (delta.y() != 0)
        zoomAround(timeAt(event->position().x()), std::pow(notchZoom, -delta.y() / 120.0));
    else if (delta.x() != 0)
        panBy(std::llround(-delta.x() / 120.0 * double(m_viewEnd - m_viewStart) / 10));
    event->accept();
}

void Timeline::hoverEnterEvent(QHoverEvent *event)
{
    hoverMoveEvent(event);
}

void Timeline::hoverMoveEvent(QHoverEvent *event)
{
    m_hoverX = event->posF().x();
    setHoverTime(timeAt(m_hoverX));
}

void Timeline::hoverLeaveEvent(QHoverEvent *)
{
    m_hoverX = -1;
    setHoverTime(-1);
}

void Timeline::paint(QPainter *painter)
{
    paintTo(painter);
}

void Timeline::paintTo(QPainter *painter)
{
    const double h = height();
    const double laneTop = h - laneHeight - rowGap;
    const double bandTop = scaleHeight + rowGap;
    const double bandHeight = std::max(4.0, laneTop - rowGap - bandTop);
    painter->fillRect(QRectF(0, 0, width(), h), backgroundColor);
    paintScale(painter, h);
    // Chunks known from other searches stay visible over a failed range; its text goes on top.
    paintFailed(painter, bandTop, bandHeight);
    const QVector<QRect> covered = paintSpans(painter, bandTop, bandHeight);
    paintFailedText(painter, bandTop, bandHeight, covered);
    paintRepeatedHour(painter, bandTop, bandHeight);
    paintTextTicks(painter, laneTop, laneHeight);
    paintMotion(painter, bandTop, std::max(3.0, bandHeight / 3));
    // Flags over the marks of motion: a bookmark stays findable on a busy day.
    paintBookmarks(painter, bandTop, laneTop + laneHeight - bandTop);
    paintPlayhead(painter);
    paintHover(painter);
}

void Timeline::paintScale(QPainter *painter, double h) const
{
    const QFont font = scaleFont();
    const TimeScale scale(m_viewStart, m_viewEnd, width(), font);
    QVector<QLineF> minor, major, days;
    for (const TimeTick &tick : scale.ticks()) {
        const double x = std::floor(tick.x) + 0.5;
        if (tick.kind == TimeTick::Day)
            days.append(QLineF(x, 0, x, h));
        else if (tick.kind == TimeTick::Major)
            major.append(QLineF(x, scaleHeight - 7, x, scaleHeight));
        else
            minor.append(QLineF(x, scaleHeight - 3, x, scaleHeight));
    }
    painter->setPen(QPen(dayLineColor, 1));
    painter->drawLines(days);
    painter->setPen(QPen(tickColor, 1));
    painter->drawLines(major);
    painter->drawLines(minor);
    painter->setFont(font);
    // Labels under the hover box would show through its edges.
    const QRectF hover = hoverBoxRect(nullptr).adjusted(-2, 0, 2, 0);
    for (const TimeLabel &label : scale.labels()) {
        if (hover.isValid() && label.x < hover.right() && label.x + label.width > hover.left())
            continue;
        painter->setPen(label.date ? dateTextColor : scaleTextColor);
        painter->drawText(QRectF(label.x, 1, label.width + 1, scaleHeight - 8),
                          Qt::AlignLeft | Qt::AlignVCenter, label.text);
    }
}

// Returns the pixel runs drawn, in order.
QVector<QRect> Timeline::paintSpans(QPainter *painter, double top, double height) const
{
    if (!m_index)
        return {};
    PixelRuns recorded, refused;
    for (PixelRuns *runs : {&recorded, &refused}) {
        runs->top = int(top);
        runs->height = int(height);
    }
    const double w = width();
    for (const RecordedSpan &span : m_index->spansBetween(m_viewStart, m_viewEnd)) {
        const double x0 = std::max(-1.0, xAt(span.start));
        const double x1 = std::min(w + 1, xAt(span.end));
        (span.unavailable ? refused : recorded).add(x0, x1);
    }
    recorded.flush();
    refused.flush();
    for (const QRect &r : qAsConst(recorded.rects))
        painter->fillRect(r, spanColor);
    const QBrush hatch(unavailableHatch, Qt::BDiagPattern);
    for (const QRect &r : qAsConst(refused.rects)) {
        painter->fillRect(r, unavailableColor);
        painter->fillRect(r, hatch);
    }
    QVector<QRect> drawn = recorded.rects + refused.rects;
    std::sort(drawn.begin(), drawn.end(),
              [](const QRect &a, const QRect &b) { return a.left() < b.left(); });
    return drawn;
}

QVector<QRectF> Timeline::failedRects(double top, double height) const
{
    QVector<QRectF> rects;
    if (!m_index)
        return rects;
    for (const TimeRange &range : m_index->failedBetween(m_viewStart, m_viewEnd)) {
        const double x0 = std::floor(std::max(-1.0, xAt(range.from)));
        const double x1 = std::max(x0 + 1, std::ceil(std::min(width() + 1, xAt(range.to))));
        rects.append(QRectF(x0, top, x1 - x0, height));
    }
    return rects;
}

void Timeline::paintFailed(QPainter *painter, double top, double height) const
{
    const QBrush hatch(failedHatch, Qt::BDiagPattern);
    for (const QRectF &r : failedRects(top, height)) {
        painter->fillRect(r, failedColor);
        painter->fillRect(r, hatch);
    }
}

// The text goes in the widest part of each failed range that no chunk covers, when it fits.
void Timeline::paintFailedText(QPainter *painter, double top, double height,
                               const QVector<QRect> &covered) const
{
    const QString label = tr("Recordings unavailable");
    const QFont font = scaleFont();
    const double labelWidth = QFontMetricsF(font).horizontalAdvance(label);
    painter->setFont(font);
    painter->setPen(Qt::white);
    for (const QRectF &r : failedRects(top, height)) {
        double from = std::max(0.0, r.left());
        const double to = std::min(width(), r.right());
        QRectF widest;
        const auto consider = [&](double a, double b) {
            if (b - a > widest.width())
                widest = QRectF(a, top, b - a, height);
        };
        for (const QRect &c : covered) {
            if (c.left() + c.width() <= from || c.left() >= to)
                continue;
            consider(from, c.left());
            from = std::max(from, double(c.left() + c.width()));
        }
        consider(from, to);
        if (widest.width() >= labelWidth + 8)
            painter->drawText(widest, Qt::AlignCenter, label);
    }
}

// The repeated hour of a clock change, over whatever was recorded in it: its recordings' names
// cannot tell which of the two passes they hold, so none of it plays.
void Timeline::paintRepeatedHour(QPainter *painter, double top, double height) const
{
    const QString whole = WallClockNames::refusal();
    const QString brief = tr("Repeated hour of the clock change");
    const QFont font = scaleFont();
    const QFontMetricsF metrics(font);
    const QBrush hatch(repeatedHourHatch, Qt::DiagCrossPattern);
    painter->setFont(font);
    painter->setPen(Qt::white);
    for (const WallClockNames::Span &span :
         WallClockNames::ambiguousSpans(m_viewStart, m_viewEnd)) {
        const double x0 = std::floor(std::max(-1.0, xAt(span.from)));
        const double x1 = std::max(x0 + 1, std::ceil(std::min(width() + 1, xAt(span.to))));
        const QRectF r(x0, top, x1 - x0, height);
        painter->fillRect(r, repeatedHourColor);
        painter->fillRect(r, hatch);
        // The whole sentence where it fits, else its short form.
        const QRectF shown = r.intersected(QRectF(0, top, width(), height));
        for (const QString &label : {whole, brief}) {
            if (shown.width() >= metrics.horizontalAdvance(label) + 8) {
                painter->drawText(shown, Qt::AlignCenter, label);
                break;
            }
        }
    }
}

// One mark per pixel, however many texts fall on it.
void Timeline::paintTextTicks(QPainter *painter, double top, double height) const
{
    if (!m_texts)
        return;
    QVector<QLine> marks;
    int last = std::numeric_limits<int>::min();
    for (qint64 t : m_texts->timesBetween(m_viewStart, m_viewEnd)) {
        const int x = int(std::floor(xAt(t)));
        if (x == last)
            continue;
        last = x;
        marks.append(QLine(x, int(top), x, int(top + height) - 1));
    }
    painter->setPen(QPen(textTickColor, 0));
    painter->drawLines(marks);
}

// A flag per bookmark: a line down the band and a small pennant at its top. Lines on
// neighbouring pixels are filled as one run and pennants are one per pennant's width, however
// many bookmarks fall there; only those of the view are read (binary search in the list).
void Timeline::paintBookmarks(QPainter *painter, double top, double height) const
{
    if (!m_bookmarks || m_bookmarkStreams.isEmpty())
        return;
    constexpr int pennantWidth = 6;
    PixelRuns poles;
    poles.top = int(top);
    poles.height = int(height);
    QVector<QRect> pennants;
    int lastPennant = std::numeric_limits<int>::min();
    for (qint64 t : m_bookmarks->timesBetween(m_bookmarkStreams, m_viewStart, m_viewEnd)) {
        const double x = std::floor(xAt(t));
        poles.add(x, x + 1);
        if (int(x) - lastPennant <= pennantWidth)
            continue;
        lastPennant = int(x);
        pennants.append(QRect(int(x) + 1, int(top), pennantWidth, 5));
    }
    poles.flush();
    for (const QRect &r : qAsConst(poles.rects))
        painter->fillRect(r, bookmarkColor);
    for (const QRect &r : qAsConst(pennants))
        painter->fillRect(r, bookmarkColor);
}

// Each moment of motion a mark at least 2 pixels wide, so that a 2-second moment on a day's view
// stays visible.
void Timeline::paintMotion(QPainter *painter, double top, double height) const
{
    if (!m_motion)
        return;
    for (const MotionMoments::Moment &m : m_motion->between(m_viewStart, m_viewEnd)) {
        const double x0 = std::max(0.0, xAt(m.start));
        const double x1 = std::min(width(), xAt(m.end));
        painter->fillRect(QRectF(x0, top, std::max(2.0, x1 - x0), height), motionColor);
    }
}

void Timeline::paintPlayhead(QPainter *painter)
{
    m_paintedPlayheadX = m_playhead < 0 ? -1 : int(std::floor(xAt(m_playhead)));
    if (m_playhead < m_viewStart || m_playhead >= m_viewEnd)
        return;
    const double x = m_paintedPlayheadX + 0.5;
    painter->setPen(QPen(playheadColor, 2));
    painter->drawLine(QLineF(x, scaleHeight, x, height()));
    QPainterPath triangle;
    triangle.moveTo(x - 5, scaleHeight - 2);
    triangle.lineTo(x + 5, scaleHeight - 2);
    triangle.lineTo(x, scaleHeight + 5);
    triangle.closeSubpath();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->fillPath(triangle, playheadColor);
    painter->setRenderHint(QPainter::Antialiasing, false);
}

// The box of the hover time beside the pointer's line, flipped left near the end; an empty
// rectangle when the pointer is outside.
QRectF Timeline::hoverBoxRect(QString *text) const
{
    if (m_hoverTime < 0)
        return {};
    const QLocale locale;
    QString shown = locale.toString(QDateTime::fromMSecsSinceEpoch(m_hoverTime).time(),
                                    TimeScale::timeFormat(locale, true));
    if (m_viewEnd - m_viewStart > day)
        shown = TimeScale::dateText(m_hoverTime, locale) + QLatin1Char(' ') + shown;
    const double x = std::floor(xAt(m_hoverTime)) + 0.5;
    const double w = QFontMetricsF(scaleFont()).horizontalAdvance(shown) + 8;
    const double left = x + 4 + w <= width() ? x + 4 : x - 4 - w;
    if (text)
        *text = shown;
    return QRectF(left, 1, w, scaleHeight - 6);
}

// A thin line under the pointer and its time in a box beside it.
void Timeline::paintHover(QPainter *painter) const
{
    QString text;
    const QRectF box = hoverBoxRect(&text);
    if (!box.isValid())
        return;
    const double x = std::floor(xAt(m_hoverTime)) + 0.5;
    painter->setPen(QPen(hoverColor, 1));
    painter->drawLine(QLineF(x, 0, x, height()));
    painter->fillRect(box, hoverBox);
    painter->setFont(scaleFont());
    painter->setPen(Qt::white);
    painter->drawText(box, Qt::AlignCenter, text);
}
