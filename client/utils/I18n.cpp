#include "I18n.h"

#include "LanguageChoice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QLocale>
#include <QQmlEngine>
#include <QTranslator>

namespace {

void registerI18n()
{
    qmlRegisterSingletonType<I18n>(
        "Native", 1, 0, "I18n",
        [](QQmlEngine *engine, QJSEngine *) -> QObject * { return new I18n(nullptr, engine); });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerI18n)

I18n::I18n(QObject *parent, QQmlEngine *engine)
    : QObject(parent)
    , m_locale(QLocale::system().name())
    , m_engine(engine)
    , m_translator(new QTranslator(this))
{
    const QString chosen = LanguageChoice().stored();
    if (!chosen.isEmpty())
        setLocale(LanguageChoice::localeName(chosen));
}

QString I18n::language() const
{
    const QString code = LanguageChoice::codeOf(m_locale);
    return code.isEmpty() ? LanguageChoice::codes().first() : code;
}

QStringList I18n::languages() const
{
    return LanguageChoice::codes();
}

QString I18n::nativeName(const QString &code) const
{
    return LanguageChoice::nativeName(code);
}

QString I18n::dateTimeText(double msecsSinceEpoch) const
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(msecsSinceEpoch));
    if (language() == QLatin1String("en"))
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return time.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString I18n::amountText(double amount) const
{
    if (language() == QLatin1String("en"))
        return QString::number(amount, 'f', 2);
    return QLocale(m_locale).toString(amount, 'f', 2);
}

void I18n::choose(const QString &code)
{
    if (!LanguageChoice::codes().contains(code))
        return;
    LanguageChoice().store(code);
    setLocale(LanguageChoice::localeName(code));
}

void I18n::setLocale(const QString &name)
{
    if (name == m_locale)
        return;
    if (!applyLocale(name))
        return;
    m_locale = name;
    // Dates and numbers the screens format follow the language.
    QLocale::setDefault(QLocale(name));
    qInfo() << "Changed locale to: " << name;
    emit localeChanged();
    if (m_engine)
        m_engine->retranslate();
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
