// libFuzzer target: any text handed to LayoutModel::fromJson, then every role of every cell
// read, as the layout screen does. Runs against a small object tree (door sensors and
// actuators, streams with address templates) so that door pairing and the url role are
// reached, and the model is kept between inputs, as the console keeps its one model.
#include "App.h"
#include "LayoutModel.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

void addObject(ZarnObjectsRepository *repository, const QString &id, ZarnObject::Type type,
               const QString &cls, const QString &path, const QString &key, const QString &text)
{
    auto object = std::make_shared<ZarnObject>();
    object->setId(id);
    object->setType(type);
    object->setCls(cls);
    object->setPath(path);
    if (!key.isEmpty())
        object->settings()->insert(key, text);
    repository->add(object, QStringLiteral(","));
}

void fillRepository(ZarnObjectsRepository *r)
{
    addObject(r, "1", ZarnObject::Location, "location.SITE", "Site", {}, {});
    addObject(r, "11", ZarnObject::Stream, "stream.VIDEO", "Site,A", "url",
              "http://127.0.0.1:9554/live/11[[?profile{EQU}main]][[{SMC}a{EQU}b]][[x]]{Y}");
    addObject(r, "12", ZarnObject::Stream, "stream.VIDEO", "Site,B", "url", "[[a[[b{EQU}]]c]]");
    addObject(r, "21", ZarnObject::Sensor, "sensor.DOOR", "Site,C", "layout", "front");
    addObject(r, "22", ZarnObject::Actuator, "actuator.DOOR", "Site,D", "layout", "front");
    addObject(r, "23", ZarnObject::Sensor, "sensor.DOOR", "Site,E", "layout", "side");
    addObject(r, "24", ZarnObject::Actuator, "actuator.door", "Site,F", "layout", "side");
    addObject(r, "25", ZarnObject::Sensor, "actuator.DOOR", "Site,G", "layout", "side");
}

App *s_app = nullptr;
LayoutModel *s_model = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler(discard);
    // The objects live for the whole run, like the console's; leak checking ignores them.
    new QCoreApplication(*argc, *argv);
    if (!std::getenv("ARDIX_FUZZ_WITHOUT_APP")) {
        s_app = new App;
        fillRepository(s_app->zarnRepository());
    }
    s_model = new LayoutModel;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int rowsBefore = s_model->rowCount();
    s_model->fromJson(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    const int rows = s_model->rowCount();
    // A rejected document keeps the cells; a loaded one has at most one cell per two bytes,
    // "{}" being the smallest element.
    if (rows > std::max(int(size) / 2, rowsBefore))
        __builtin_trap();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = s_model->index(row, 0);
        for (int role = Qt::UserRole + 1; role <= Qt::UserRole + 10; ++role)
            s_model->data(index, role);
    }
    // Answers to actuator requests are posted to this thread; deliver them every time so
    // that nothing accumulates.
    QCoreApplication::processEvents();
    return 0;
}
