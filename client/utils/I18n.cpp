#include "I18n.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLocale>
#include <QQmlEngine>
#include <QTranslator>

namespace {

void registerI18n()
{
    qmlRegisterSingletonType<I18n>("Native", 1, 0, "I18n",
                                   [](QQmlEngine *, QJSEngine *) -> QObject * { return new I18n; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerI18n)

I18n::I18n(QObject *parent)
    : QObject(parent)
    , m_locale(QLocale::system().name())
    , m_translator(new QTranslator(this))
{}

void I18n::setLocale(const QString &name)
{
    if (name == m_locale)
        return;
    if (!applyLocale(name))
        return;
    m_locale = name;
    qInfo() << "Changed locale to: " << name;
    emit localeChanged();
}

bool I18n::applyLocale(const QString &name)
{
    const QString folder = QStringLiteral(":/translations/");
    // The locale-specific files first; every other language gets the untranslated texts of
    // the plain "client.qm", which Qt's locale lookup does not try by itself.
    const bool loaded =
        m_translator->load(QLocale(name), QStringLiteral("client"), QStringLiteral("_"), folder) ||
        m_translator->load(QStringLiteral("client"), folder);
    if (!loaded) {
        qWarning() << "Failed to apply locale: " << name;
        return false;
    }
    QCoreApplication::installTranslator(m_translator);
    return true;
}
