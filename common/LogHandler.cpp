#include "LogHandler.h"

#include "LogFile.h"

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
    // Opened lazily on the first message; lives until process exit so that messages emitted
    // while static objects are destroyed still reach the file.
    static LogFile file(fileSetting().path, fileSetting().createFolder);
    return file;
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

void LogHandler::handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    logFile().writeLine(qFormatLogMessage(type, context, text));
}
