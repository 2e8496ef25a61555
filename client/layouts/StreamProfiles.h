#pragma once

#include <QString>
#include <QVariantList>
#include <QVector>

// One of the pictures a camera offers: a named stream of a known size at its own address.
struct StreamProfile
{
    QString name;
    int width = 0;
    int height = 0;
    QString address;
};

// A camera's stream profiles, read from its "profiles" setting: a JSON array of
// {"name", "width", "height", "url"}, each "url" in the template language of the "url" setting.
// A cell plays the smallest profile whose picture covers the cell; a camera without the
// setting, or whose setting cannot be used, plays its "url" as before.
class StreamProfiles
{
public:
    // The usable profiles of the setting's text, smallest picture first. Entries that lack a
    // name, a positive size or an address are skipped; *problem says why when the text as a
    // whole cannot be used, or which entries were skipped.
    static QVector<StreamProfile> parse(const QString &text, QString *problem = nullptr);

    // Index of the smallest profile whose picture is at least width x height pixels; the
    // largest when none is; -1 for no profiles. Profiles must be sorted as parse sorts them.
    static int pick(const QVector<StreamProfile> &profiles, int width, int height);

    // For QML: a list of maps with the keys "name", "width", "height" and "url".
    static QVariantList toVariantList(const QVector<StreamProfile> &profiles);
    static QVector<StreamProfile> fromVariantList(const QVariantList &list);
};
