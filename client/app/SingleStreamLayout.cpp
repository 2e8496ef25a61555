#include "SingleStreamLayout.h"

#include "ZarnObject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QString SingleStreamLayout::json(const ZarnObject *stream)
{
    if (!stream || stream->type() != ZarnObject::Stream)
        return QString();
    const QJsonObject cell{{QStringLiteral("row"), 0},
                           {QStringLiteral("col"), 0},
                           {QStringLiteral("rowSpan"), 1},
                           {QStringLiteral("colSpan"), 1},
                           {QStringLiteral("type"), QStringLiteral("video")},
                           {QStringLiteral("label"), stream->name()},
                           {QStringLiteral("deviceId"), stream->parentId()},
                           {QStringLiteral("objectId"), stream->id()}};
    const QJsonObject document{{QStringLiteral("numRows"), 1},
                               {QStringLiteral("numCols"), 1},
                               {QStringLiteral("elements"), QJsonArray{cell}}};
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Compact));
}
