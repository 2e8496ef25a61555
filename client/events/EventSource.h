#pragma once

#include <QString>

class ZarnObject;
class ZarnObjectsRepository;

// What the object tree says about an event's source: its name and path, whether it lies in an
// area of the tree, and which camera shows it.
class EventSource
{
public:
    // The object's name (its id when it has none or the tree does not know it).
    static QString name(const ZarnObjectsRepository *repository, const QString &id);
    // The names from the root down to the object, " / " between them; empty when unknown.
    static QString path(const ZarnObjectsRepository *repository, const QString &id);
    // True when the source is the area's object or lies below it.
    static bool isWithin(const ZarnObjectsRepository *repository, const QString &sourceId,
                         const QString &areaId);
    // The stream that shows the source: the source itself when it is a stream, else the
    // stream named by its "camera" setting, else the first stream below its device (the
    // nearest device above it, or itself). Empty when there is none.
    static QString streamFor(const ZarnObjectsRepository *repository, const QString &sourceId);

private:
    static QString firstStreamBelow(const ZarnObjectsRepository *repository,
                                    const ZarnObject *object, int depth);
    static const ZarnObject *deviceOf(const ZarnObjectsRepository *repository,
                                      const ZarnObject *object);
};
