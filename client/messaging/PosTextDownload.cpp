#include "PosTextDownload.h"

#include "PosDataFetcher.h"
#include "PosDataPaging.h"
#include "PosDataParser.h"

#include <QByteArray>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace {

int interrupted(void *cancelled)
{
    const auto *flag = static_cast<const std::atomic<bool> *>(cancelled);
    return flag && flag->load() ? 1 : 0;
}

// One answer's body, up to one byte past the bound (so a cut shows); false with `reason` when
// the gateway could not be read.
bool readBody(const QString &url, const std::atomic<bool> *cancelled, qint64 timeoutUs,
              QByteArray *body, QString *reason)
{
    AVIOContext *io = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "rw_timeout", QByteArray::number(timeoutUs).constData(), 0);
    const AVIOInterruptCB callback{interrupted, const_cast<std::atomic<bool> *>(cancelled)};
    const int opened =
        avio_open2(&io, url.toUtf8().constData(), AVIO_FLAG_READ, &callback, &options);
    av_dict_free(&options);
    if (opened < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(opened, text, sizeof text);
        *reason = QString::fromUtf8(text);
        return false;
    }
    char buffer[65536];
    int n = 0;
    while (body->size() <= PosDataFetcher::kMaxBytes &&
           (n = avio_read(io, reinterpret_cast<unsigned char *>(buffer), sizeof buffer)) > 0)
        body->append(buffer, n);
    avio_closep(&io);
    if (n < 0 && n != AVERROR_EOF) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(n, text, sizeof text);
        *reason = QString::fromUtf8(text);
        return false;
    }
    return true;
}

} // namespace

PosTextDownload::Result PosTextDownload::fetch(const QString &gateway, const QString &streamId,
                                               qint64 from, qint64 to,
                                               const std::atomic<bool> *cancelled, qint64 timeoutUs)
{
    Result result;
    PosDataPaging paging(from, to);
    PosDataParser::Limits limits;
    limits.maxLines = PosDataFetcher::kWholeTextLines;
    PosDataPaging::Step step =
        paging.complete() ? PosDataPaging::Step::Done : PosDataPaging::Step::More;
    while (step == PosDataPaging::Step::More) {
        QByteArray body;
        QString reason;
        const bool read =
            readBody(paging.nextUrl(gateway, streamId), cancelled, timeoutUs, &body, &reason);
        if (cancelled && cancelled->load()) {
            result.cancelled = true;
            result.reason = QStringLiteral("cancelled");
            return result;
        }
        if (!read) {
            step = paging.takeFailure(reason);
            break;
        }
        const bool truncated = body.size() > PosDataFetcher::kMaxBytes;
        if (truncated)
            body.truncate(int(PosDataFetcher::kMaxBytes));
        step = paging.takeResult(PosDataParser::parse(body, truncated, limits), truncated);
    }
    result.complete = paging.complete();
    result.reason = paging.failure();
    result.answers = paging.answers();
    result.texts = paging.takeTexts();
    return result;
}
