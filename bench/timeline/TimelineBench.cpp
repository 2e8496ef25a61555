// Cost of one repaint of the recorded page's timeline: a 1280 x 64 item showing a week of one
// stream, painted into an image as the scene graph has it painted (no window needed). The
// stream has back-to-back chunks with a few gaps, one chunk the gateway refused, one failed
// search, and about 5 000 channel texts; the play head and the hover line are drawn too.
#include "BookmarkList.h"
#include "PosTextCache.h"
#include "RecordingIndex.h"
#include "Timeline.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const QString stream = QStringLiteral("11");
constexpr qint64 week = 7 * 24 * 3600 * 1000LL;

struct Scene
{
    RecordingIndex index;
    PosTextCache texts;
    Timeline timeline;
};

// `chunks` back-to-back chunks over the week from `start`, less two gaps of a dozen chunks.
void addChunks(RecordingIndex &index, qint64 start, int chunks)
{
    const qint64 length = week / chunks;
    QVariantList list;
    for (int i = 0; i < chunks; ++i) {
        if ((i >= chunks / 10 && i < chunks / 10 + 12) || (i >= chunks / 2 && i < chunks / 2 + 12))
            continue;
        const qint64 from = start + i * length;
        list.append(QVariantMap{{QStringLiteral("start"), from},
                                {QStringLiteral("end"), from + length},
                                {QStringLiteral("size"), 1 << 20}});
    }
    index.addChunks(stream, start, start + week, list);
    index.markUnavailable(stream, start + (chunks * 3 / 10) * length);
    index.markFailed(stream, start + week * 8 / 10, start + week * 8 / 10 + 3 * 3600 * 1000LL);
}

void addTexts(PosTextCache &texts, qint64 start, int count)
{
    QVector<PosText> list;
    for (int i = 0; i < count; ++i)
        list.append({start + qint64(i) * (week / count) + (i * 7919) % 60000,
                     QStringLiteral("Receipt %1").arg(i)});
    texts.addTexts(stream, start, start + week, list);
}

std::unique_ptr<Scene> makeScene(int chunks)
{
    auto scene = std::make_unique<Scene>();
    const qint64 start = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toMSecsSinceEpoch();
    scene->index.setStreamId(stream);
    scene->texts.setSource(stream, QStringLiteral("http://127.0.0.1:1"));
    addChunks(scene->index, start, chunks);
    addTexts(scene->texts, start, 5000);
    Timeline &t = scene->timeline;
    t.setSize(QSizeF(1280, 64));
    t.setIndex(&scene->index);
    t.setTexts(&scene->texts);
    t.showRange(start, start + week);
    t.setPlayhead(start + week / 3);
    return scene;
}

void BM_PaintWeek(benchmark::State &state)
{
    const auto scene = makeScene(int(state.range(0)));
    QImage image(1280, 64, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        scene->timeline.paintTo(&painter);
    }
    state.SetLabel(std::to_string(state.range(0)) + " chunks, 5000 texts");
}
BENCHMARK(BM_PaintWeek)->Arg(1008)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same stream seen over one hour: few spans, the scale at its finest labels.
void BM_PaintHour(benchmark::State &state)
{
    const auto scene = makeScene(int(state.range(0)));
    const qint64 start = scene->timeline.viewStart() + week / 2;
    scene->timeline.showRange(start, start + 3600 * 1000);
    QImage image(1280, 64, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        scene->timeline.paintTo(&painter);
    }
}
BENCHMARK(BM_PaintHour)->Arg(10000)->Unit(benchmark::kMillisecond);

// Thousands of bookmarks on one day of the stream, the view showing that day: only those of
// the view are read (binary search), and one flag is drawn per pixel column.
void BM_PaintDayOfBookmarks(benchmark::State &state)
{
    const auto scene = makeScene(10000);
    BookmarkList bookmarks{QString()};
    bookmarks.setServer(QStringLiteral("bench"));
    const qint64 day = 24 * 3600 * 1000LL;
    const qint64 start = scene->timeline.viewStart() + 3 * day;
    const int count = int(state.range(0));
    for (int i = 0; i < count; ++i)
        bookmarks.add(stream, QStringLiteral("Till"), start + qint64(i) * (day / count) + i % 977,
                      QStringLiteral("note %1").arg(i));
    scene->timeline.setBookmarks(&bookmarks);
    scene->timeline.setBookmarkStreams({stream});
    scene->timeline.showRange(start, start + day);
    QImage image(1280, 64, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        scene->timeline.paintTo(&painter);
    }
    state.SetLabel(std::to_string(count) + " bookmarks on the day shown");
}
BENCHMARK(BM_PaintDayOfBookmarks)->Arg(0)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char *argv[])
{
    // Painting into an image needs fonts, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Each bookmark made says so in the log: not thousands of times here.
    QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
