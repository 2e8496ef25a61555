#pragma once

#include <QString>
#include <QStringList>

// The interface language the operator chose in the sidebar, kept as `General/locale` in the
// application's settings so that the next start of the console applies it again.
class LanguageChoice
{
public:
    // The languages offered, in the order the sidebar lists them: "en", "es", "pt".
    static QStringList codes();
    // A language's name written in that language ("Español"), for the choice itself.
    static QString nativeName(const QString &code);
    // The locale whose dates and numbers go with a language ("es_ES", "pt_BR", "en_US").
    static QString localeName(const QString &code);
    // The language a locale name belongs to among those offered, else empty.
    static QString codeOf(const QString &localeName);

    // The kept choice; empty when the operator has not chosen yet. A kept value that is none
    // of the offered languages (empty, unknown, too long) is replaced by "en", with one warning.
    QString stored() const;
    // Keeps a choice; does nothing for a language not offered.
    void store(const QString &code);

    static const QString settingsKey;
};
