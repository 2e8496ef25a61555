#include "EventSource.h"

#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

namespace {

// A tree deeper than this is taken as broken (a loop through parent ids).
constexpr int kMaxDepth = 64;

const ZarnObject *lookUp(const ZarnObjectsRepository *repository, const QString &id)
{
    return repository && !id.isEmpty() ? repository->objectById(id) : nullptr;
}

} // namespace

QString EventSource::name(const ZarnObjectsRepository *repository, const QString &id)
{
    const ZarnObject *object = lookUp(repository, id);
    return object && !object->name().isEmpty() ? object->name() : id;
}

QString EventSource::path(const ZarnObjectsRepository *repository, const QString &id)
{
    QStringList names;
    const ZarnObject *object = lookUp(repository, id);
    for (int depth = 0; object && depth < kMaxDepth; ++depth) {
        names.prepend(object->name().isEmpty() ? object->id() : object->name());
        object = lookUp(repository, object->parentId());
    }
    return names.join(QStringLiteral(" / "));
}

bool EventSource::isWithin(const ZarnObjectsRepository *repository, const QString &sourceId,
                           const QString &areaId)
{
    if (areaId.isEmpty())
        return false;
    if (sourceId == areaId)
        return true;
    const ZarnObject *object = lookUp(repository, sourceId);
    for (int depth = 0; object && depth < kMaxDepth; ++depth) {
        if (object->parentId() == areaId)
            return true;
        object = lookUp(repository, object->parentId());
    }
    return false;
}

QString EventSource::streamFor(const ZarnObjectsRepository *repository, const QString &sourceId)
{
    const ZarnObject *source = lookUp(repository, sourceId);
    if (!source)
        return QString();
    if (source->type() == ZarnObject::Stream)
        return source->id();
    ZarnSetting *settings = source->settings();
    if (settings && settings->contains(QStringLiteral("camera"))) {
        const ZarnObject *camera = lookUp(repository, settings->prop(QStringLiteral("camera")));
        if (camera && camera->type() == ZarnObject::Stream)
            return camera->id();
    }
    return firstStreamBelow(repository, deviceOf(repository, source), 0);
}

const ZarnObject *EventSource::deviceOf(const ZarnObjectsRepository *repository,
                                        const ZarnObject *object)
{
    for (int depth = 0; object && depth < kMaxDepth; ++depth) {
        if (object->type() == ZarnObject::Device)
            return object;
        object = lookUp(repository, object->parentId());
    }
    return nullptr;
}

QString EventSource::firstStreamBelow(const ZarnObjectsRepository *repository,
                                      const ZarnObject *object, int depth)
{
    if (!object || depth > kMaxDepth)
        return QString();
    for (const QString &childId : object->childIds()) {
        const ZarnObject *child = lookUp(repository, childId);
        if (!child)
            continue;
        if (child->type() == ZarnObject::Stream)
            return child->id();
        const QString below = firstStreamBelow(repository, child, depth + 1);
        if (!below.isEmpty())
            return below;
    }
    return QString();
}
