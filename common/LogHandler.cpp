#include "LogHandler.h"

#include "LogFile.h"

#include <QSettings>
#include <QString>

namespace {

struct FileSetting
{
    std::string path;
    bool createFolder = false;
};

FileSetting &fileSetting()
{
    static FileSetting setting;
    return setting;
}

LogFile &logFile()
{
    // Opened lazily on the first message and never destroyed: objects torn down after main()
    // returns may still log, and a static stream would already be gone by then. Every line is
    // flushed, so nothing is lost by never closing it.
    static LogFile *file = new LogFile(fileSetting().path, fileSetting().createFolder);
    return *file;
}

} // namespace

void LogHandler::setFilePath(const std::string &path, bool createFolder)
{
    fileSetting() = FileSetting{path, createFolder};
}

void LogHandler::install()
{
    qInstallMessageHandler(&LogHandler::handle);
}

bool LogHandler::usePatternFrom(const QString &settingsFile)
{
    if (qEnvironmentVariableIsSet("QT_MESSAGE_PATTERN"))
        return false;
    const QSettings settings(settingsFile, QSettings::IniFormat);
    const QVariant value = settings.value(QStringLiteral("Log/pattern"));
    // An unquoted value with commas is read as a list: the commas are the pattern's own.
    const QString pattern = value.type() == QVariant::StringList
                                ? value.toStringList().join(QStringLiteral(", "))
                                : value.toString();
    if (pattern.isEmpty())
        return false;
    qSetMessagePattern(pattern);
    return true;
}

void LogHandler::handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    logFile().writeLine(qFormatLogMessage(type, context, text));
}
