#include "MotionSearch.h"

#include "ChunkJoin.h"
#include "ContentRange.h"
#include "MotionDecoder.h"
#include "MotionDetector.h"
#include "RecordingIndex.h"
#include "StreamHistory.h"
#include "ThumbnailDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlEngine>
#include <QThread>

#include <algorithm>

namespace {

void registerMotionSearch()
{
    qmlRegisterType<MotionSearch>("Native", 1, 0, "MotionSearch");
    qmlRegisterUncreatableType<MotionMoments>("Native", 1, 0, "MotionMoments",
                                              QStringLiteral("owned by a MotionSearch"));
}

QString clock(qint64 t)
{
    return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString replyFault(const QNetworkReply *reply)
{
    if (reply->error() == QNetworkReply::OperationCanceledError ||
        reply->error() == QNetworkReply::TimeoutError)
        return QStringLiteral("the gateway sent nothing for %1 s")
            .arg(MotionSearch::kRequestTimeoutMs / 1000);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return QStringLiteral("the gateway answered %1 (%2)").arg(status).arg(reply->errorString());
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerMotionSearch)

// What a block's thread found: the moments, the pictures of their peaks, and the keyframes
// that did not decode.
struct MotionSearch::Found
{
    QVector<MotionMoments::Moment> moments;
    int bad = 0;
    qint64 badFrom = -1;
    qint64 badTo = -1;
};

MotionSearch::MotionSearch(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(threadCount());
    m_pool.setExpiryTimeout(5000);
    m_listWait.setSingleShot(true);
    m_listWait.setInterval(kRequestTimeoutMs);
    connect(&m_listWait, &QTimer::timeout, this, [this] {
        m_listFailed = true;
        plan();
    });
}

MotionSearch::~MotionSearch()
{
    cancel();
    m_pool.waitForDone();
}

int MotionSearch::threadCount()
{
    return std::max(1, QThread::idealThreadCount() - 1);
}

StreamHistory *MotionSearch::history() const
{
    return m_history;
}

void MotionSearch::setHistory(StreamHistory *history)
{
    if (m_history == history)
        return;
    cancel();
    m_history = history;
    emit historyChanged();
}

void MotionSearch::setAreas(const QVariantList &areas)
{
    if (m_areas == areas)
        return;
    m_areas = areas;
    emit areasChanged();
}

void MotionSearch::setSensitivity(int sensitivity)
{
    sensitivity = std::clamp(sensitivity, 0, MotionDetector::kLevels - 1);
    if (m_sensitivity == sensitivity)
        return;
    m_sensitivity = sensitivity;
    emit sensitivityChanged();
}

QVariantMap MotionSearch::rangeFor(const QString &choice, qint64 viewStart, qint64 viewEnd,
                                   qint64 now)
{
    qint64 from = viewStart;
    qint64 to = viewEnd;
    if (choice == QLatin1String("hour")) {
        from = now - 3600 * 1000;
        to = now;
    } else if (choice == QLatin1String("today")) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(now);
        from = QDateTime(local.date(), QTime(0, 0)).toMSecsSinceEpoch();
        to = now;
    }
    return {{QStringLiteral("from"), from}, {QStringLiteral("to"), to}};
}

bool MotionSearch::refuse(const QString &why)
{
    qWarning().noquote() << "Motion search refused:" << why;
    m_message = why;
    emit messageChanged();
    return false;
}

bool MotionSearch::start(qint64 from, qint64 to)
{
    cancel();
    m_moments.clear();
    m_unreadable.clear();
    m_problems.clear();
    emit problemsChanged();
    m_message.clear();
    emit messageChanged();
    if (!m_history || !m_history->gatewayKnown())
        return refuse(tr("Choose a camera whose gateway is known first"));
    QString why;
    m_area = MotionArea::fromVariant(m_areas, &why);
    if (m_area.isEmpty())
        return refuse(m_areas.isEmpty() ? tr("Mark an area of the picture first")
                                        : tr("An area has no size: draw it larger"));
    if (to <= from)
        return refuse(tr("The range to search is empty"));
    if (to - from > kMaxRangeMs)
        return refuse(tr("A search covers at most 7 days: choose a shorter range"));

    ++m_generation;
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_from = from;
    m_to = to;
    m_stream = m_history->streamId();
    m_totalMs = to - from;
    m_doneMs = 0;
    m_bytesRead = 0;
    m_listFailed = false;
    setRunning(true);
    emit progressChanged();
    qInfo().noquote() << "Motion search of stream" << m_history->streamId() << "from" << clock(from)
                      << "to" << clock(to) << "in" << m_area.rects().size()
                      << "area(s), sensitivity" << m_sensitivity;

    // What is recorded in the range: asked of the history until it knows all of it, a search
    // of it fails, or kRequestTimeoutMs passes.
    StreamHistory *history = m_history;
    m_listing.append(connect(history, &StreamHistory::chunksAnswered, this, [this] { listed(); }));
    m_listing.append(
        connect(history, &StreamHistory::searchFailed, this, [this](qint64 f, qint64 t) {
            if (f < m_to && t > m_from)
                m_listFailed = true;
            listed();
        }));
    m_listWait.start();
    history->search(from, to);
    // Posted: a range already known plans at once, but after start() returned.
    QMetaObject::invokeMethod(this, &MotionSearch::listed, Qt::QueuedConnection);
    return true;
}

void MotionSearch::listed()
{
    if (!m_running || !m_listWait.isActive() || !m_history)
        return;
    const QVariantList missing = m_history->index()->missingRanges(m_from, m_to);
    if (missing.isEmpty() || m_listFailed) {
        plan();
        return;
    }
    // Searches the history held back (it keeps a few in flight) are asked again.
    if (m_history->searching() == 0)
        m_history->search(m_from, m_to);
}

void MotionSearch::plan()
{
    m_listWait.stop();
    for (const auto &c : qAsConst(m_listing))
        disconnect(c);
    m_listing.clear();
    if (!m_running || !m_history)
        return;
    if (m_listFailed) {
        m_problems.append(
            QStringLiteral("Part of the range could not be listed by the event server"));
        emit problemsChanged();
        // Said on the panel, not only in the problems: the moments found are of a part only.
        m_message = tr("Part of the range could not be listed by the event server: it was not "
                       "searched");
        emit messageChanged();
        qWarning() << "Motion search: part of the range could not be listed";
    }
    const QString gateway = m_history->gateway();
    const RecordingIndex *index = m_history->index();
    QVector<ChunkJoin::Chunk> chunks;
    for (const RecordedSpan &span : index->spansBetween(m_from, m_to)) {
        const QString url = index->readingUrl(gateway, span);
        if (span.unavailable) {
            addProblem(url, span.start, QStringLiteral("the gateway refused it before"));
            continue;
        }
        chunks.append(ChunkJoin::Chunk{span.start, span.end, url});
    }
    const ChunkJoin::Result joined = ChunkJoin::join(chunks, m_from, m_to);
    // Only recorded time counts for the progress.
    m_totalMs = 0;
    m_segments.clear();
    for (const ChunkJoin::Segment &s : joined.segments) {
        m_totalMs += s.end - s.start;
        m_segments.prepend(Segment{s.chunk.url, s.chunk.start, s.offset, s.start, s.end});
    }
    emit progressChanged();
    pump();
}

QNetworkReply *MotionSearch::get(const QString &url, qint64 from, qint64 to)
{
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Range", QStringLiteral("bytes=%1-%2").arg(from).arg(to).toLatin1());
    request.setTransferTimeout(kRequestTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return m_network.get(request);
}

void MotionSearch::pump()
{
    if (!m_running)
        return;
    // Blocks being fetched or decoded: enough to keep every thread busy, bounded in memory.
    const int most = m_pool.maxThreadCount() + 1;
    while (!m_blocks.isEmpty() && m_fetching.size() + m_decoding < most)
        fetchBlock(m_blocks.takeFirst());
    // The next recording's index is read while the blocks of this one are searched.
    if (!m_headReply && !m_parsing && m_blocks.size() < most && !m_segments.isEmpty()) {
        m_segment = m_segments.takeFirst();
        m_head.clear();
        fetchHead(0, KeyframeIndex::headStep - 1);
    }
    if (m_blocks.isEmpty() && m_segments.isEmpty() && !m_headReply && !m_parsing &&
        m_fetching.isEmpty() && m_decoding == 0)
        finish();
}

void MotionSearch::fetchHead(qint64 from, qint64 to)
{
    m_headReply = get(m_segment.url, from, to);
    QNetworkReply *reply = m_headReply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        headArrived(reply);
    });
}

void MotionSearch::skipSegment(const QString &why)
{
    addProblem(m_segment.url, m_segment.chunkStart, why);
    addDone(m_segment.to - m_segment.from);
    pump();
}

void MotionSearch::headArrived(QNetworkReply *reply)
{
    if (reply != m_headReply)
        return;
    m_headReply = nullptr;
    if (!m_running)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const ContentRange range = ContentRange::of(reply);
    const qint64 total = range.total;
    if (reply->error() != QNetworkReply::NoError || status != 206 || total <= 0 ||
        range.start != m_head.size()) {
        skipSegment(replyFault(reply));
        return;
    }
    const QByteArray bytes = reply->readAll();
    m_bytesRead += bytes.size();
    m_head += bytes;
    const KeyframeIndex::HeadStep step = KeyframeIndex::nextHeadStep(m_head, total);
    if (step.kind == KeyframeIndex::HeadStep::NoIndex) {
        skipSegment(QStringLiteral("no index at the head of the recording"));
        return;
    }
    if (step.kind == KeyframeIndex::HeadStep::Read) {
        fetchHead(m_head.size(), step.to);
        return;
    }
    // The index of an hour's recording takes tens of milliseconds to read: on the pool.
    m_parsing = true;
    const QByteArray head = m_head.left(int(step.needed));
    m_head.clear();
    const QPointer<MotionSearch> self(this);
    const int generation = m_generation;
    m_pool.start([self, generation, head, total] {
        QString why;
        std::shared_ptr<const KeyframeIndex> index = KeyframeIndex::parse(head, total, &why);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, index, why] {
                if (self && generation == self->m_generation)
                    self->indexRead(index, why);
            },
            Qt::QueuedConnection);
    });
}

void MotionSearch::indexRead(const std::shared_ptr<const KeyframeIndex> &index, const QString &why)
{
    m_parsing = false;
    if (!m_running)
        return;
    if (!index) {
        skipSegment(why);
        return;
    }
    if (!index->codec() || index->codec()->codec_id != AV_CODEC_ID_H264) {
        skipSegment(QStringLiteral("the recording is not H.264"));
        return;
    }
    splitIntoBlocks(index);
    pump();
}

void MotionSearch::splitIntoBlocks(const std::shared_ptr<const KeyframeIndex> &index)
{
    const Segment &s = m_segment;
    const qint64 first = s.offset;
    const qint64 last = s.offset + (s.to - s.from);
    // The keyframes of the part, and the one before it to compare the first with.
    QVector<KeyframeIndex::Keyframe> keyframes;
    for (const KeyframeIndex::Keyframe &k : index->keyframes()) {
        if (k.ms >= last)
            break;
        if (k.ms < first && !keyframes.isEmpty())
            keyframes.clear();
        keyframes.append(k);
    }
    if (keyframes.size() < 2) {
        addDone(s.to - s.from);
        return;
    }
    // Blocks of kBlockKeyframes, each beginning with the last keyframe of the one before.
    QVector<Block> blocks;
    int begin = 0;
    while (begin + 1 < keyframes.size()) {
        const int end = std::min<int>(begin + kBlockKeyframes, keyframes.size() - 1);
        Block block;
        block.index = index;
        block.url = s.url;
        block.chunkStart = s.chunkStart;
        block.keyframes = keyframes.mid(begin, end - begin + 1);
        blocks.append(block);
        begin = end;
    }
    const qint64 each = (s.to - s.from) / blocks.size();
    for (int i = 0; i < blocks.size(); ++i)
        blocks[i].weightMs = i + 1 < blocks.size() ? each : (s.to - s.from) - each * i;
    // Newest first.
    std::reverse(blocks.begin(), blocks.end());
    m_blocks += blocks;
}

void MotionSearch::fetchBlock(Block block)
{
    // One byte range per run of keyframes lying close together: a keyframe alone where the
    // frames between are large (a main-profile camera: a twelfth of its bytes are keyframes),
    // a whole stretch where they are small.
    const int id = ++m_lastBlockId;
    block.data.resize(block.keyframes.size());
    int first = 0;
    while (first < block.keyframes.size()) {
        int last = first;
        const auto endOf = [&](int i) { return block.keyframes[i].pos + block.keyframes[i].size; };
        while (last + 1 < block.keyframes.size() &&
               block.keyframes[last + 1].pos - endOf(last) <= kJoinGapBytes &&
               endOf(last + 1) - block.keyframes[first].pos <= kMaxRangeBytes)
            ++last;
        const qint64 from = block.keyframes[first].pos;
        const qint64 to = endOf(last);
        if (to <= from || to - from > kMaxRangeBytes) {
            block.failure = QStringLiteral("a keyframe of %1 bytes").arg(to - from);
            break;
        }
        ++block.waiting;
        m_queued.append(Piece{id, first, last, block.url, from, to});
        first = last + 1;
    }
    m_fetching.insert(id, block);
    if (block.waiting == 0)
        blockFetched(id);
    else
        request();
}

void MotionSearch::request()
{
    // A few at a time: each costs the GUI thread a little, and the gateway serves a few
    // connections at once anyway.
    while (!m_queued.isEmpty() && m_pieces.size() < kRequestsInFlight) {
        const Piece piece = m_queued.takeFirst();
        if (!m_fetching.contains(piece.block))
            continue;
        QNetworkReply *reply = get(piece.url, piece.from, piece.to - 1);
        m_pieces.insert(reply, piece);
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            pieceArrived(reply);
        });
    }
}

void MotionSearch::pieceArrived(QNetworkReply *reply)
{
    const Piece piece = m_pieces.take(reply);
    if (!m_running)
        return;
    request();
    const auto found = m_fetching.find(piece.block);
    if (found == m_fetching.end())
        return;
    Block &block = *found;
    --block.waiting;
    const qint64 base = block.keyframes[piece.first].pos;
    const qint64 length = block.keyframes[piece.last].pos + block.keyframes[piece.last].size - base;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray bytes = reply->readAll();
    m_bytesRead += bytes.size();
    if (reply->error() != QNetworkReply::NoError || status != 206) {
        if (block.failure.isEmpty())
            block.failure = replyFault(reply);
    } else if (ContentRange::of(reply).start != base || bytes.size() != length) {
        if (block.failure.isEmpty())
            block.failure =
                QStringLiteral("the gateway sent %1 bytes of %2").arg(bytes.size()).arg(length);
    } else {
        for (int i = piece.first; i <= piece.last; ++i)
            block.data[i] = bytes.mid(int(block.keyframes[i].pos - base), block.keyframes[i].size);
    }
    if (block.waiting == 0)
        blockFetched(piece.block);
}

void MotionSearch::blockFetched(int id)
{
    const Block block = m_fetching.take(id);
    emit progressChanged();
    if (!block.failure.isEmpty()) {
        // Its other ranges, on their way or queued, are dropped with it (no longer fetching).
        addProblem(block.url, block.chunkStart + block.keyframes.first().ms, block.failure);
        addDone(block.weightMs);
        pump();
        return;
    }
    ++m_decoding;
    const QPointer<MotionSearch> self(this);
    const int generation = m_generation;
    const std::shared_ptr<std::atomic_bool> cancelled = m_cancelled;
    const MotionArea area = m_area;
    const MotionDetector::Level level = MotionDetector::level(m_sensitivity);
    m_pool.start([self, generation, cancelled, block, area, level] {
        Found found;
        MotionDecoder decoder(*block.index);
        if (decoder.isOpen()) {
            MotionDetector detector(area.mask(decoder.width(), decoder.height()), decoder.width(),
                                    decoder.height(), level);
            for (int i = 0; i < block.keyframes.size(); ++i) {
                if (cancelled->load())
                    break;
                const qint64 t = block.chunkStart + block.keyframes[i].ms;
                const QByteArray &bytes = block.data[i];
                const QByteArray grey = decoder.decode(bytes.constData(), int(bytes.size()));
                if (grey.isEmpty()) {
                    ++found.bad;
                    if (found.badFrom < 0)
                        found.badFrom = t;
                    found.badTo = t;
                }
                detector.add(t, grey);
            }
            for (const MotionDetector::Moment &m : detector.finish()) {
                if (cancelled->load())
                    break;
                MotionMoments::Moment moment{m.start, m.end, m.peak, m.change, {}};
                for (int i = 0; i < block.keyframes.size(); ++i) {
                    if (block.chunkStart + block.keyframes[i].ms != m.peak)
                        continue;
                    QString why;
                    moment.picture =
                        ThumbnailDecoder::decode(*block.index, block.data[i], kPictureWidth, &why);
                    break;
                }
                found.moments.append(moment);
            }
        } else {
            found.bad = block.keyframes.size();
            found.badFrom = block.chunkStart + block.keyframes.first().ms;
            found.badTo = block.chunkStart + block.keyframes.last().ms;
        }
        // Posted to the application, on the GUI thread: whether the search still lives is
        // asked there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, block, found] {
                if (self)
                    self->blockSearched(generation, block, found);
            },
            Qt::QueuedConnection);
    });
}

void MotionSearch::blockSearched(int generation, const Block &block, const Found &found)
{
    if (generation != m_generation)
        return;
    --m_decoding;
    if (!m_running)
        return;
    for (const MotionMoments::Moment &m : found.moments)
        m_moments.add(m);
    if (found.bad > 0) {
        addProblem(block.url, found.badFrom,
                   QStringLiteral("%1 keyframe(s) from %2 to %3 did not decode")
                       .arg(found.bad)
                       .arg(clock(found.badFrom), clock(found.badTo)));
    }
    addDone(block.weightMs);
    pump();
}

void MotionSearch::addProblem(const QString &url, qint64 at, const QString &why)
{
    const QString line = QStringLiteral("%1 (%2): %3").arg(clock(at), url, why);
    qWarning().noquote() << "Motion search could not read" << line;
    m_unreadable.insert(url);
    m_problems.append(line);
    emit problemsChanged();
}

void MotionSearch::addDone(qint64 ms)
{
    m_doneMs = std::min(m_totalMs, m_doneMs + ms);
    emit progressChanged();
}

void MotionSearch::cancel()
{
    if (!m_running)
        return;
    m_cancelled->store(true);
    m_pool.clear();
    ++m_generation;
    m_decoding = 0;
    m_blocks.clear();
    m_segments.clear();
    m_listWait.stop();
    for (const auto &c : qAsConst(m_listing))
        disconnect(c);
    m_listing.clear();
    const QList<QNetworkReply *> replies = m_pieces.keys();
    m_pieces.clear();
    m_queued.clear();
    m_fetching.clear();
    m_parsing = false;
    for (QNetworkReply *reply : replies)
        reply->abort();
    if (QNetworkReply *head = m_headReply) {
        m_headReply = nullptr;
        head->abort();
    }
    qInfo() << "Motion search cancelled";
    setRunning(false);
    emit finished();
}

void MotionSearch::finish()
{
    qInfo().noquote() << "Motion search done:" << m_moments.count() << "moment(s),"
                      << m_unreadable.size() << "recording(s) not read in full," << m_bytesRead
                      << "bytes read";
    setRunning(false);
    emit finished();
}

void MotionSearch::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged();
}
