#include "ClipRemuxer.h"

#include "ExportManifest.h"
#include "ExportPlan.h"
#include "PosTextDownload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

// Chunks closer than this are one recording: no new file, no jump in time.
constexpr qint64 kGapToleranceMs = 1000;
// A chunk taken over inside its file starts at a keyframe at most this much before the moment
// the previous one ended (time stamps rounded to ms).
constexpr qint64 kJoinSlackMs = 2;
// A chunk whose packets end this much before its listed end (or "out") broke off.
constexpr qint64 kBrokenOffMs = 1500;
const char *const kReadTimeoutUs = "15000000";
const AVRational kMs{1, 1000};

int interrupted(void *canceled)
{
    return static_cast<const std::atomic<bool> *>(canceled)->load() ? 1 : 0;
}

QString avError(int err)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

struct ClipRemuxer::Output
{
    AVFormatContext *ctx = nullptr;
    AVStream *video = nullptr;
    AVStream *text = nullptr;
    AVCodecID codec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    ClipSubtitles subtitles;
    ClipFile file;
    QString path;
    int64_t endTs = 0; // output time base: where the next chunk's first packet goes
    // Texts of the chunk being written go at fileMs = abs - chunkAbs0 + chunkFile0.
    qint64 chunkAbs0 = 0;
    qint64 chunkFile0 = 0;

    ~Output()
    {
        if (ctx) {
            if (ctx->pb)
                avio_closep(&ctx->pb);
            avformat_free_context(ctx);
        }
    }
};

struct ClipRemuxer::Input
{
    AVFormatContext *ctx = nullptr;
    AVStream *video = nullptr;
    int64_t firstDts = AV_NOPTS_VALUE;
    int64_t startTime = 0;
    int64_t outFirst = 0;
    qint64 from = -1; // taken over at this moment inside the file: packets before it are not
    qint64 firstAbs = -1;
    qint64 lastAbs = -1;

    ~Input()
    {
        if (ctx)
            avformat_close_input(&ctx);
    }
};

ClipRemuxer::ClipRemuxer(const ClipExportJob &job, const std::atomic<bool> &canceled,
                         Progress progress)
    : m_job(job)
    , m_canceled(canceled)
    , m_progress(std::move(progress))
{}

ClipRemuxer::~ClipRemuxer()
{
    delete m_out;
}

QString ClipRemuxer::partSuffix(int part)
{
    return part == 0 ? QStringLiteral(".mp4") : QStringLiteral("_part%1.mp4").arg(part + 1);
}

ClipExportResult ClipRemuxer::run()
{
    const bool ok = [this] {
        if (!QDir().mkpath(m_job.folder) || !QFileInfo(m_job.folder).isWritable())
            return fail(QStringLiteral("The folder %1 cannot be written.")
                            .arg(QDir::toNativeSeparators(m_job.folder)));
        const ExportPlan plan =
            ExportPlan::make(m_job.chunks, m_job.unsearched, m_job.in, m_job.out);
        if (plan.segments().isEmpty())
            return fail(QString());
        m_result.holes = plan.holes();
        if (!fetchTexts())
            return false;
        for (int i = 0; i < plan.segments().size() && !m_done; ++i)
            if (!exportSegment(plan.segments().at(i), i > 0))
                return false;
        if (m_out && !closeOutput(true))
            return false;
        if (m_result.files.isEmpty())
            return fail(QString());
        checkHeld();
        const QString manifest = ExportManifest::write(m_job, m_result, &m_result.error);
        if (manifest.isEmpty())
            return false;
        m_partFiles << manifest;
        m_result.manifestName = ExportManifest::fileName(m_job.baseName);
        return renameParts();
    }();
    if (!ok) {
        if (m_canceled)
            m_result.canceled = true, m_result.error = QStringLiteral("The export was canceled.");
        else if (m_result.error.isEmpty())
            m_result.error = QStringLiteral("Nothing is recorded between %1 and %2.")
                                 .arg(clockText(m_job.in), clockText(m_job.out));
        delete m_out;
        m_out = nullptr;
        removeParts();
        m_result.files.clear();
        m_result.manifestName.clear();
    }
    m_result.ok = ok;
    return m_result;
}

bool ClipRemuxer::fetchTexts()
{
    if (m_job.textsGiven) {
        for (const ClipText &t : m_job.texts)
            if (t.time >= m_job.in && t.time < m_job.out)
                m_texts.append(t);
    } else if (!m_job.gateway.isEmpty()) {
        // Every capped answer of the range, each text once (PosTextDownload).
        const PosTextDownload::Result got =
            PosTextDownload::fetch(m_job.gateway, m_job.streamId, m_job.in, m_job.out, &m_canceled);
        if (got.cancelled || m_canceled)
            return false;
        if (!got.complete)
            m_result.notes << (got.texts.isEmpty()
                                   ? QStringLiteral("The receipts of this range could not be "
                                                    "fetched: the clip has none.")
                                   : QStringLiteral("Not all receipts of this range could be "
                                                    "fetched: the clip has those until %1.")
                                         .arg(clockText(got.texts.last().time)));
        for (const PosText &t : got.texts)
            m_texts.append(ClipText{t.time, t.text});
    }
    // The operator's bookmarks show as subtitles at their moments, beside the receipts.
    for (const ClipBookmark &b : m_job.bookmarks)
        if (b.time >= m_job.in && b.time < m_job.out)
            m_texts.append(ClipText{b.time, ClipSubtitles::bookmarkText(b.author, b.note)});
    std::stable_sort(m_texts.begin(), m_texts.end(),
                     [](const ClipText &a, const ClipText &b) { return a.time < b.time; });
    m_texts.erase(std::remove_if(m_texts.begin(), m_texts.end(),
                                 [](ClipText &t) {
                                     t.text = ClipSubtitles::sanitized(t.text);
                                     return t.text.isEmpty();
                                 }),
                  m_texts.end());
    return true;
}

bool ClipRemuxer::exportSegment(const ChunkJoin::Segment &segment, bool follows)
{
    const ClipChunk chunk{segment.chunk.start, segment.chunk.end, segment.chunk.url};
    Input in;
    // Taking over from another chunk inside its file: from its first keyframe at or after the
    // moment the other one ended, so that no second is written twice.
    in.from = follows && segment.offset > 0 ? segment.start : -1;
    if (!openInput(in, chunk, segment.start))
        return false;
    if (!in.video) { // left out: what follows starts a new file
        if (m_out && !m_job.keepGaps && !closeOutput())
            return false;
        return true;
    }
    const AVCodecParameters *par = in.video->codecpar;
    const bool gap = m_prevChunkEnd >= 0 && chunk.start - m_prevChunkEnd > kGapToleranceMs;
    const bool otherFormat = m_out && (par->codec_id != m_out->codec ||
                                       par->width != m_out->width || par->height != m_out->height);
    if (m_out && ((gap && !m_job.keepGaps) || otherFormat) && !closeOutput())
        return false;
    if (!m_out && !openOutput(in.video))
        return false;
    if (gap && m_job.keepGaps)
        m_out->endTs += av_rescale_q(chunk.start - m_prevChunkEnd, kMs, m_out->video->time_base);
    in.outFirst = m_out->endTs;
    m_prevChunkEnd = segment.end;
    m_listed.append(ClipSpan{segment.start, segment.end});
    return copyPackets(in, chunk);
}

bool ClipRemuxer::openInput(Input &in, const ClipChunk &chunk, qint64 from)
{
    const QString span = QStringLiteral("%1–%2").arg(clockText(chunk.start), clockText(chunk.end));
    in.ctx = avformat_alloc_context();
    in.ctx->interrupt_callback = {interrupted, const_cast<std::atomic<bool> *>(&m_canceled)};
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "rw_timeout", kReadTimeoutUs, 0);
    int err = avformat_open_input(&in.ctx, chunk.url.toUtf8().constData(), nullptr, &opts);
    av_dict_free(&opts);
    if (err == AVERROR_HTTP_NOT_FOUND)
        return fail(
            QStringLiteral("The gateway has no recording of %1 (404 Not Found).").arg(span));
    if (err < 0)
        return failAv(QStringLiteral("The recording of %1 could not be opened").arg(span), err);
    if ((err = avformat_find_stream_info(in.ctx, nullptr)) < 0)
        return failAv(QStringLiteral("The recording of %1 could not be read").arg(span), err);
    const int video = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return fail(QStringLiteral("The recording of %1 holds no video.").arg(span));
    AVStream *st = in.ctx->streams[video];
    const AVOutputFormat *mp4 = av_guess_format("mp4", nullptr, nullptr);
    if (avformat_query_codec(mp4, st->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
        m_result.notes << QStringLiteral("The recording of %1 is %2 video, which an MP4 file "
                                         "cannot hold: it is not exported.")
                              .arg(span,
                                   QString::fromUtf8(avcodec_get_name(st->codecpar->codec_id)));
        m_prevChunkEnd = chunk.end;
        return true;
    }
    in.video = st;
    in.startTime = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const qint64 localIn = from - chunk.start;
    if (localIn > 0) {
        const int64_t ts = in.startTime + av_rescale_q(localIn, kMs, st->time_base);
        // BACKWARD: the keyframe at or before "in", so the clip's first picture decodes.
        if (av_seek_frame(in.ctx, video, ts, AVSEEK_FLAG_BACKWARD) < 0)
            m_result.notes << QStringLiteral("The recording of %1 could not be sought: it is "
                                             "exported from its start.")
                                  .arg(span);
    }
    return true;
}

bool ClipRemuxer::copyPackets(Input &in, const ClipChunk &chunk)
{
    AVPacket *pkt = av_packet_alloc();
    const AVRational tb = in.video->time_base;
    bool ok = true;
    int err = 0;
    qint64 lastRead = -1; // where the last video packet read ends, written or not
    while (ok && !m_done && !m_canceled) {
        if ((err = av_read_frame(in.ctx, pkt)) < 0)
            break;
        const bool wanted = pkt->stream_index == in.video->index &&
                            (in.firstDts != AV_NOPTS_VALUE || (pkt->flags & AV_PKT_FLAG_KEY));
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        const qint64 abs =
            ts != AV_NOPTS_VALUE ? chunk.start + av_rescale_q(ts - in.startTime, tb, kMs) : 0;
        if (pkt->stream_index == in.video->index && ts != AV_NOPTS_VALUE)
            lastRead = std::max(lastRead, abs + av_rescale_q(pkt->duration, tb, kMs));
        if (wanted && ts != AV_NOPTS_VALUE &&
            (in.firstDts != AV_NOPTS_VALUE || abs >= in.from - kJoinSlackMs)) {
            ok = writeVideo(in, pkt, abs);
            m_done = abs >= m_job.out;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (!ok || m_canceled)
        return false;
    if (in.firstDts != AV_NOPTS_VALUE)
        m_held.append(ClipSpan{in.firstAbs, in.lastAbs});
    const QString span = QStringLiteral("%1–%2").arg(clockText(chunk.start), clockText(chunk.end));
    if (err < 0 && err != AVERROR_EOF)
        return failAv(QStringLiteral("The recording of %1 broke off at %2")
                          .arg(span, clockText(std::max(in.lastAbs, chunk.start))),
                      err);
    if (m_done)
        return true;
    const qint64 length = in.ctx->duration > 0 ? av_rescale(in.ctx->duration, 1000, AV_TIME_BASE)
                                               : chunk.end - chunk.start;
    const qint64 expected = std::min(m_job.out, chunk.start + length);
    // Read to its end even when a chunk taken over inside its file had no keyframe left.
    if (std::max(in.lastAbs, lastRead) < expected - kBrokenOffMs)
        return fail(QStringLiteral("The recording of %1 broke off at %2.")
                        .arg(span, clockText(std::max(in.lastAbs, chunk.start))));
    return true;
}

bool ClipRemuxer::writeVideo(Input &in, AVPacket *pkt, qint64 absMs)
{
    const AVRational inTb = in.video->time_base;
    const AVRational outTb = m_out->video->time_base;
    const int64_t dts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
    const int64_t pts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : dts;
    if (in.firstDts == AV_NOPTS_VALUE) {
        // Taken over inside its file: placed at its own time after what the file holds, so
        // that the file's times stay the recording's (a keyframe a little after the take-over
        // moment shows as the picture held until it, never as a second shown twice).
        if (in.from >= 0 && m_out->file.from >= 0)
            in.outFirst = m_out->endTs +
                          av_rescale_q(std::max<qint64>(0, absMs - m_out->file.to), kMs, outTb);
        in.firstDts = dts;
        in.firstAbs = absMs;
        m_out->chunkAbs0 = absMs;
        m_out->chunkFile0 =
            av_rescale_q(in.outFirst + av_rescale_q(pts - dts, inTb, outTb), outTb, kMs);
        if (m_out->file.from < 0)
            m_out->file.from = absMs;
    }
    writeTextsUpTo(absMs);
    const int64_t outDts = in.outFirst + av_rescale_q(dts - in.firstDts, inTb, outTb);
    const int64_t outPts = outDts + av_rescale_q(pts - dts, inTb, outTb);
    const int64_t duration = av_rescale_q(pkt->duration, inTb, outTb);
    const qint64 durationMs = av_rescale_q(pkt->duration, inTb, kMs);
    m_out->endTs =
        std::max(m_out->endTs, std::max(outDts, outPts) + std::max<int64_t>(duration, 1));
    m_out->file.to = std::max(m_out->file.to, absMs + durationMs);
    in.lastAbs = absMs + durationMs;
    pkt->stream_index = m_out->video->index;
    pkt->dts = outDts;
    pkt->pts = outPts;
    pkt->duration = duration;
    pkt->pos = -1;
    const int err = av_interleaved_write_frame(m_out->ctx, pkt);
    if (err < 0)
        return failAv(QStringLiteral("The clip could not be written"), err);
    if (m_progress)
        m_progress(std::clamp<qint64>(absMs + durationMs - m_job.in, 0, m_job.out - m_job.in) /
                   1000.0);
    return true;
}

void ClipRemuxer::writeTextsUpTo(qint64 absMs)
{
    for (; m_nextText < m_texts.size() && m_texts.at(m_nextText).time <= absMs; ++m_nextText) {
        const ClipText &t = m_texts.at(m_nextText);
        const qint64 fileMs =
            std::max(t.time, m_out->chunkAbs0) - m_out->chunkAbs0 + m_out->chunkFile0;
        const qint64 from = std::max(t.time, m_out->chunkAbs0);
        // Shown until the next text, for kShowMs at most, and never past the picture: a text
        // outlasting the video would make the clip longer than what was asked.
        qint64 until = std::min({from + ClipSubtitles::kShowMs, m_job.out, m_prevChunkEnd});
        if (m_nextText + 1 < m_texts.size())
            until = std::min(until, m_texts.at(m_nextText + 1).time);
        const qint64 shown = std::max<qint64>(until - from, 1);
        m_out->subtitles.add(fileMs, fileMs + shown, t.text);
        const QByteArray sample = ClipSubtitles::sample(t.text);
        AVPacket *pkt = av_packet_alloc();
        if (av_new_packet(pkt, sample.size()) == 0) {
            std::memcpy(pkt->data, sample.constData(), static_cast<size_t>(sample.size()));
            pkt->stream_index = m_out->text->index;
            pkt->pts = pkt->dts = av_rescale_q(fileMs, kMs, m_out->text->time_base);
            pkt->duration = av_rescale_q(shown, kMs, m_out->text->time_base);
            pkt->flags |= AV_PKT_FLAG_KEY;
            // A text that cannot be written costs its subtitle, not the clip: the SRT has it.
            av_interleaved_write_frame(m_out->ctx, pkt);
        }
        av_packet_free(&pkt);
    }
}

bool ClipRemuxer::openOutput(const AVStream *video)
{
    auto *out = new Output;
    m_out = out;
    const int part = m_result.files.size();
    out->file.fileName = m_job.baseName + partSuffix(part);
    out->file.subtitleName = m_job.baseName +
                             (part == 0 ? QString() : QStringLiteral("_part%1").arg(part + 1)) +
                             QStringLiteral(".srt");
    out->file.from = -1;
    out->path = QDir(m_job.folder).filePath(out->file.fileName + QStringLiteral(".part"));
    int err =
        avformat_alloc_output_context2(&out->ctx, nullptr, "mp4", out->path.toUtf8().constData());
    if (err < 0)
        return failAv(QStringLiteral("The clip could not be started"), err);
    out->codec = video->codecpar->codec_id;
    out->width = video->codecpar->width;
    out->height = video->codecpar->height;
    out->video = avformat_new_stream(out->ctx, nullptr);
    out->text = avformat_new_stream(out->ctx, nullptr);
    if (!out->video || !out->text ||
        avcodec_parameters_copy(out->video->codecpar, video->codecpar) < 0)
        return fail(QStringLiteral("The clip could not be started: out of memory."));
    out->video->codecpar->codec_tag = 0;
    out->video->time_base = video->time_base;
    AVCodecParameters *text = out->text->codecpar;
    text->codec_type = AVMEDIA_TYPE_SUBTITLE;
    text->codec_id = AV_CODEC_ID_MOV_TEXT;
    const QByteArray description = ClipSubtitles::sampleDescription();
    text->extradata = static_cast<uint8_t *>(
        av_mallocz(static_cast<size_t>(description.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(text->extradata, description.constData(), static_cast<size_t>(description.size()));
    text->extradata_size = description.size();
    out->text->time_base = kMs;
    av_dict_set(&out->text->metadata, "handler_name", "Channel texts", 0);
    m_partFiles << out->path;
    if ((err = avio_open(&out->ctx->pb, out->path.toUtf8().constData(), AVIO_FLAG_WRITE)) < 0)
        return failAv(QStringLiteral("The folder %1 cannot be written")
                          .arg(QDir::toNativeSeparators(m_job.folder)),
                      err);
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "movflags", "+faststart", 0);
    err = avformat_write_header(out->ctx, &opts);
    av_dict_free(&opts);
    if (err < 0)
        return failAv(QStringLiteral("The clip could not be started"), err);
    return true;
}

bool ClipRemuxer::closeOutput(bool last)
{
    Output *out = m_out;
    // Texts between this file's end and the next chunk wait for the next file; after the last
    // one, those up to the end of its chunk are its own, and those in a hole after it belong to
    // no picture (a text outlasting the video would make the file longer than it holds).
    writeTextsUpTo(last ? std::max(out->file.to, m_prevChunkEnd - 1) : out->file.to);
    const auto utc = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
    };
    const QByteArray about =
        QStringLiteral("Camera %1, stream %2, from %3 to %4 (UTC)")
            .arg(m_job.camera, m_job.streamId, utc(out->file.from), utc(out->file.to))
            .toUtf8();
    av_dict_set(&out->ctx->metadata, "title", m_job.camera.toUtf8().constData(), 0);
    av_dict_set(&out->ctx->metadata, "comment", about.constData(), 0);
    av_dict_set(&out->ctx->metadata, "description", about.constData(), 0);
    int err = av_write_trailer(out->ctx);
    if (err >= 0)
        err = out->ctx->pb->error;
    if (err < 0)
        return failAv(QStringLiteral("The clip could not be written"), err);
    if ((err = avio_closep(&out->ctx->pb)) < 0)
        return failAv(QStringLiteral("The clip could not be written"), err);
    const QString srtPath =
        QDir(m_job.folder).filePath(out->file.subtitleName + QStringLiteral(".part"));
    m_partFiles << srtPath;
    QFile srt(srtPath);
    const QByteArray body = out->subtitles.srt();
    if (!srt.open(QIODevice::WriteOnly) || srt.write(body) != body.size() || !srt.flush())
        return fail(
            QStringLiteral("The subtitles could not be written: %1").arg(srt.errorString()));
    m_result.files.append(out->file);
    delete out;
    m_out = nullptr;
    return true;
}

bool ClipRemuxer::fail(const QString &message)
{
    if (m_result.error.isEmpty())
        m_result.error = message;
    return false;
}

bool ClipRemuxer::failAv(const QString &what, int err)
{
    if (err == AVERROR(ENOSPC))
        return fail(QStringLiteral("The disk is full: %1 cannot take the clip.")
                        .arg(QDir::toNativeSeparators(m_job.folder)));
    return fail(QStringLiteral("%1: %2.").arg(what, avError(err)));
}

QString ClipRemuxer::clockText(qint64 ms) const
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

// The spans cut to [in, out), sorted and joined where they meet or overlap.
QVector<ClipSpan> within(QVector<ClipSpan> spans, qint64 in, qint64 out)
{
    std::sort(spans.begin(), spans.end(),
              [](const ClipSpan &a, const ClipSpan &b) { return a.from < b.from; });
    QVector<ClipSpan> joined;
    for (ClipSpan s : spans) {
        s.from = std::max(s.from, in);
        s.to = std::min(s.to, out);
        if (s.to <= s.from)
            continue;
        if (!joined.isEmpty() && s.from <= joined.last().to)
            joined.last().to = std::max(joined.last().to, s.to);
        else
            joined.append(s);
    }
    return joined;
}

qint64 length(const QVector<ClipSpan> &spans)
{
    qint64 total = 0;
    for (const ClipSpan &s : spans)
        total += s.to - s.from;
    return total;
}

} // namespace

void ClipRemuxer::checkHeld()
{
    const QVector<ClipSpan> held = within(m_held, m_job.in, m_job.out);
    // Frames end a little before the chunk's listed end, and a clip starts on a keyframe:
    // what is missing counts once it is more than a chunk that broke off may miss.
    if (held.isEmpty() ||
        length(within(m_listed, m_job.in, m_job.out)) - length(held) <= kBrokenOffMs)
        return;
    m_result.heldOnly = held;
    QStringList spans;
    for (const ClipSpan &s : held)
        spans << QStringLiteral("%1–%2").arg(
            QDateTime::fromMSecsSinceEpoch(s.from).toString(QStringLiteral("HH:mm:ss")),
            QDateTime::fromMSecsSinceEpoch(s.to).toString(QStringLiteral("HH:mm:ss")));
    m_result.shortfall = QStringLiteral("The recording holds only %1 of what was asked")
                             .arg(spans.join(QStringLiteral(", ")));
}

void ClipRemuxer::removeParts()
{
    for (const QString &path : qAsConst(m_partFiles))
        QFile::remove(path);
    m_partFiles.clear();
}

bool ClipRemuxer::renameParts()
{
    QStringList done;
    for (const QString &path : qAsConst(m_partFiles)) {
        const QString final = path.chopped(5);
        if (!QFile::rename(path, final)) {
            for (const QString &f : qAsConst(done))
                QFile::remove(f);
            return fail(QStringLiteral("The clip could not be named %1.").arg(final));
        }
        done << final;
    }
    m_partFiles.clear();
    return true;
}
