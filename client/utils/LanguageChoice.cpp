#include "LanguageChoice.h"

#include <QDebug>
#include <QSettings>

const QString LanguageChoice::settingsKey = QStringLiteral("locale");

QStringList LanguageChoice::codes()
{
    return {QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("pt")};
}

QString LanguageChoice::nativeName(const QString &code)
{
    if (code == QLatin1String("es"))
        return QStringLiteral("Español");
    if (code == QLatin1String("pt"))
        return QStringLiteral("Português");
    return QStringLiteral("English");
}

QString LanguageChoice::localeName(const QString &code)
{
    if (code == QLatin1String("es"))
        return QStringLiteral("es_ES");
    if (code == QLatin1String("pt"))
        return QStringLiteral("pt_BR");
    return QStringLiteral("en_US");
}

QString LanguageChoice::codeOf(const QString &localeName)
{
    const QString language = localeName.section(QLatin1Char('_'), 0, 0).toLower();
    return codes().contains(language) ? language : QString();
}

QString LanguageChoice::stored() const
{
    QSettings settings;
    if (!settings.contains(settingsKey))
        return QString();
    const QString kept = settings.value(settingsKey).toString();
    if (codes().contains(kept))
        return kept;
    // Only the length goes to the log: the value may be anything, of any size.
    qWarning() << "The stored locale is not one of" << codes() << "(" << kept.size()
               << "characters); English is kept instead";
    const QString english = codes().first();
    settings.setValue(settingsKey, english);
    settings.sync();
    return english;
}

void LanguageChoice::store(const QString &code)
{
    if (!codes().contains(code))
        return;
    QSettings settings;
    settings.setValue(settingsKey, code);
    settings.sync();
}
