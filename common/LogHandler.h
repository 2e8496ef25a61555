#pragma once

#include <QtGlobal>

#include <string>

class QMessageLogContext;
class QString;

// The process-wide Qt message handler: every message of every level and thread becomes one
// UTF-8 line, formatted by Qt's message pattern, appended to the log file set before install().
class LogHandler
{
public:
    // Sets the file for the rest of the process; only the first call before the first message
    // has an effect. createFolder makes the handler create a missing parent folder.
    static void setFilePath(const std::string &path, bool createFolder);
    static void install();
    // Gives the lines the pattern of `[Log] pattern=` in the settings file (Qt's message pattern
    // syntax, e.g. "%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}"), for a program started where
    // nobody sets QT_MESSAGE_PATTERN. The environment variable, when set, wins; without either
    // the default line stays. Returns whether the file's pattern is used.
    static bool usePatternFrom(const QString &settingsFile);
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text);
};
