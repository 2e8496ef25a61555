#pragma once

#include <QObject>
#include <QString>

class QQmlEngine;
class QTranslator;

// Switches the interface language at run time from the translations compiled into the program.
// Screens append `localeNotify` to translated texts so that they re-translate on a change; the
// engine the singleton belongs to is also told to re-translate, so that texts made by functions
// and open dialogs follow too. The operator's choice (`choose`) is kept by LanguageChoice and
// applied again when the next console starts; until one is made, no translation is loaded.
class I18n : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString locale READ locale WRITE setLocale NOTIFY localeChanged)
    Q_PROPERTY(QString localeNotify READ localeNotify NOTIFY localeChanged)
    // The offered language shown now ("en", "es" or "pt"); "en" for any other locale.
    Q_PROPERTY(QString language READ language NOTIFY localeChanged)
    Q_PROPERTY(QStringList languages READ languages CONSTANT)

public:
    explicit I18n(QObject *parent = nullptr, QQmlEngine *engine = nullptr);

    QString locale() const { return m_locale; }
    void setLocale(const QString &name);
    QString localeNotify() const { return QString(); }
    QString language() const;
    QStringList languages() const;

    // The operator's choice among `languages`: applied at once and kept for the next start.
    Q_INVOKABLE void choose(const QString &code);
    Q_INVOKABLE QString nativeName(const QString &code) const;

    // A moment of a table in the language's way: "2026-12-09 14:30:05" in English (the
    // console's look before languages could be chosen), "09/12/2026 14:30:05" in Spanish and
    // Portuguese. Files keep their own fixed formats and never use these.
    Q_INVOKABLE QString dateTimeText(double msecsSinceEpoch) const;
    // An amount with two decimals: "1234.50" in English, "1.234,50" in Spanish and Portuguese.
    Q_INVOKABLE QString amountText(double amount) const;

signals:
    void localeChanged();

private:
    bool applyLocale(const QString &name);

    QString m_locale;
    QQmlEngine *m_engine;
    QTranslator *m_translator;
};
