#include "StreamProfiles.h"

#include "UrlTemplate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxSide = 65536;
// A setting names a handful of profiles; more is a mistake, not a camera.
constexpr int kMaxProfiles = 16;

int sideValue(const QJsonValue &value)
{
    const double d = value.toDouble(-1);
    if (!value.isDouble() || d != std::trunc(d) || d < 1 || d > kMaxSide)
        return 0;
    return static_cast<int>(d);
}

bool readProfile(const QJsonValue &entry, StreamProfile *profile)
{
    const QJsonObject object = entry.toObject();
    profile->name = object.value(QLatin1String("name")).toString().trimmed();
    profile->width = sideValue(object.value(QLatin1String("width")));
    profile->height = sideValue(object.value(QLatin1String("height")));
    profile->address = UrlTemplate::expand(object.value(QLatin1String("url")).toString());
    return !profile->name.isEmpty() && profile->width > 0 && profile->height > 0 &&
           !profile->address.isEmpty();
}

qint64 area(const StreamProfile &profile)
{
    return qint64(profile.width) * profile.height;
}

} // namespace

QVector<StreamProfile> StreamProfiles::parse(const QString &text, QString *problem)
{
    QVector<StreamProfile> profiles;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (!document.isArray()) {
        if (problem)
            *problem = error.error != QJsonParseError::NoError
                           ? QStringLiteral("not JSON: %1").arg(error.errorString())
                           : QStringLiteral("not a JSON array");
        return profiles;
    }
    QStringList skipped;
    const QJsonArray entries = document.array();
    for (int i = 0; i < entries.size(); ++i) {
        StreamProfile profile;
        if (profiles.size() < kMaxProfiles && readProfile(entries.at(i), &profile))
            profiles.append(profile);
        else
            skipped.append(QString::number(i));
    }
    std::stable_sort(
        profiles.begin(), profiles.end(),
        [](const StreamProfile &a, const StreamProfile &b) { return area(a) < area(b); });
    if (problem && !skipped.isEmpty())
        *problem = QStringLiteral("entries skipped (no name, size or url): %1")
                       .arg(skipped.join(QLatin1String(", ")));
    return profiles;
}

int StreamProfiles::pick(const QVector<StreamProfile> &profiles, int width, int height)
{
    for (int i = 0; i < profiles.size(); ++i) {
        if (profiles.at(i).width >= width && profiles.at(i).height >= height)
            return i;
    }
    return profiles.size() - 1;
}

QVariantList StreamProfiles::toVariantList(const QVector<StreamProfile> &profiles)
{
    QVariantList list;
    for (const StreamProfile &profile : profiles) {
        list.append(QVariantMap{{QStringLiteral("name"), profile.name},
                                {QStringLiteral("width"), profile.width},
                                {QStringLiteral("height"), profile.height},
                                {QStringLiteral("url"), profile.address}});
    }
    return list;
}

QVector<StreamProfile> StreamProfiles::fromVariantList(const QVariantList &list)
{
    QVector<StreamProfile> profiles;
    for (const QVariant &item : list) {
        const QVariantMap map = item.toMap();
        profiles.append({map.value(QStringLiteral("name")).toString(),
                         map.value(QStringLiteral("width")).toInt(),
                         map.value(QStringLiteral("height")).toInt(),
                         map.value(QStringLiteral("url")).toString()});
    }
    return profiles;
}
