#pragma once

#include <QObject>
#include <QString>

class QTranslator;

// Switches the interface language at run time from the translations compiled into the program.
// Screens append `localeNotify` to translated texts so that they re-translate on a change.
class I18n : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString locale READ locale WRITE setLocale NOTIFY localeChanged)
    Q_PROPERTY(QString localeNotify READ localeNotify NOTIFY localeChanged)

public:
    explicit I18n(QObject *parent = nullptr);

    QString locale() const { return m_locale; }
    void setLocale(const QString &name);
    QString localeNotify() const { return QString(); }

signals:
    void localeChanged();

private:
    bool applyLocale(const QString &name);

    QString m_locale;
    QTranslator *m_translator;
};
