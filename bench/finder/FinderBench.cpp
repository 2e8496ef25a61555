// What one keystroke in the camera tree's find field costs at 10 000 cameras: folding the
// text, matching it against every object's folded name and serial, and resetting the model of
// the rows found (the matches with their ancestors). The view then makes rows for what is on
// screen only. Also the cost of the index, paid by the first search after each rebuild of the
// server's tree, and the keystroke with the sidebar's list of what was found drawn after it
// (BM_KeystrokeShown: the model, the list's rows and a frame grabbed from the window; run
// under a display).
//
// The tree: a chain ("Chaîne entière") of 50 stores ("Store Zürich 1" ... "Store Genève 50")
// of 20 encoders ("Encoder 1" ..., serial "ENC-1" ...) of 10 cameras ("Camera 1" ... "Camera
// 10000", serial "CAM-1" ...): 11 051 objects.
#include "ObjectFinder.h"
#include "ObjectIndex.h"
#include "ZarnObjectsRepository.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const QString sep = QStringLiteral("|");

void add(ZarnObjectsRepository &r, int id, const QString &path, ZarnObject::Type type,
         const QString &serial = QString())
{
    auto obj = std::make_shared<ZarnObject>();
    obj->setId(QString::number(id));
    obj->setPath(path);
    obj->setName(path.section(sep, -1));
    obj->setType(type);
    obj->setSerial(serial);
    r.add(obj, sep);
}

void fill(ZarnObjectsRepository &r)
{
    const QString chain = QStringLiteral("Chaîne entière");
    add(r, 1, chain, ZarnObject::Location);
    int id = 2;
    int encoder = 0;
    int camera = 0;
    for (int s = 1; s <= 50; ++s) {
        const QString store =
            chain + sep +
            (s % 2 ? QStringLiteral("Store Zürich %1") : QStringLiteral("Store Genève %1")).arg(s);
        add(r, id++, store, ZarnObject::Location);
        for (int e = 0; e < 20; ++e) {
            const QString enc = store + sep + QStringLiteral("Encoder %1").arg(++encoder);
            add(r, id++, enc, ZarnObject::Device, QStringLiteral("ENC-%1").arg(encoder));
            for (int c = 0; c < 10; ++c) {
                ++camera;
                add(r, id++, enc + sep + QStringLiteral("Camera %1").arg(camera),
                    ZarnObject::Stream, QStringLiteral("CAM-%1").arg(camera));
            }
        }
    }
}

ZarnObjectsRepository *s_repository = nullptr;

void BM_Index(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ObjectIndex(s_repository));
    state.SetItemsProcessed(state.iterations() * s_repository->objects().size());
}

// One keystroke that turns the empty field into `text`.
void BM_Keystroke(benchmark::State &state, const QString &text)
{
    ObjectFinder finder;
    finder.setRepository(s_repository);
    // The first search after a rebuild of the tree makes the index (BM_Index); not timed here.
    finder.setText(QStringLiteral("x"));
    for (auto _ : state) {
        finder.setText(text);
        state.PauseTiming();
        finder.setText(QString());
        state.ResumeTiming();
    }
    finder.setText(text);
    state.counters["matches"] = finder.matchCount();
    state.counters["rows"] = finder.model()->rowCount();
}

// The sidebar's list of what was found, alone in a window of the sidebar's width.
const char *const kListScene = R"(
import QtQuick 2.11
import QtQuick.Window 2.11
import Elements 1.0
Window {
    width: 250; height: 600; visible: true; color: "darkgray"
    property alias list: found
    FoundObjectsView { id: found; anchors.fill: parent }
})";

void BM_KeystrokeShown(benchmark::State &state, const QString &text)
{
    ObjectFinder finder;
    finder.setRepository(s_repository);
    // The first search after a rebuild of the tree makes the index (BM_Index); not timed here.
    finder.setText(QStringLiteral("x"));
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qml"));
    QQmlComponent component(&engine);
    component.setData(kListScene, QUrl());
    std::unique_ptr<QObject> window(component.create());
    auto *quick = qobject_cast<QQuickWindow *>(window.get());
    if (!quick) {
        state.SkipWithError(qPrintable(component.errorString()));
        return;
    }
    quick->property("list").value<QObject *>()->setProperty(
        "finder", QVariant::fromValue<QObject *>(&finder));
    // A frame is grabbed only from a window the display shows.
    QElapsedTimer waited;
    waited.start();
    while (!quick->isExposed() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!quick->isExposed()) {
        state.SkipWithError("the window is not shown (no display?)");
        return;
    }
    for (auto _ : state) {
        finder.setText(text);
        benchmark::DoNotOptimize(quick->grabWindow());
        state.PauseTiming();
        finder.setText(QString());
        quick->grabWindow();
        state.ResumeTiming();
    }
    finder.setText(text);
    state.counters["rows"] = finder.model()->rowCount();
    if (qEnvironmentVariableIsSet("FINDER_BENCH_SHOT"))
        quick->grabWindow().save(qEnvironmentVariable("FINDER_BENCH_SHOT") + ".png");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ZarnObjectsRepository repository;
    fill(repository);
    s_repository = &repository;

    benchmark::RegisterBenchmark("BM_Index", BM_Index)->Unit(benchmark::kMillisecond);
    const QStringList typed{"c",         "ca",         "cam",        "came",
                            "camer",     "camera",     "camera ",    "camera 1",
                            "camera 12", "camera 123", "camera 1234"};
    const QList<QPair<QString, QString>> others{
        {"all", "e"},           {"none", "zzz"},
        {"serial", "cam-4321"}, {"accents", "ZURICH 7"},
        {"pattern", "(*[\\."},  {"100000 chars", QString(100000, 'e')}};
    for (const QString &text : typed) {
        benchmark::RegisterBenchmark(qPrintable("BM_Keystroke/\"" + text + "\""), BM_Keystroke,
                                     text)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto &other : others) {
        benchmark::RegisterBenchmark(qPrintable("BM_Keystroke/" + other.first), BM_Keystroke,
                                     other.second)
            ->Unit(benchmark::kMillisecond);
    }
    for (const QString &text : {QStringLiteral("e"), QStringLiteral("camera 12"),
                                QStringLiteral("camera 1234"), QStringLiteral("zzz")}) {
        benchmark::RegisterBenchmark(qPrintable("BM_KeystrokeShown/\"" + text + "\""),
                                     BM_KeystrokeShown, text)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
