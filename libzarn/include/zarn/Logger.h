#pragma once

#include <functional>
#include <string>

namespace ardix::zarn {

// Severity of a library log line. A Logger passes on lines at or above its level,
// so level Debug (0) passes everything and Silent passes nothing.
enum class LogLevel : int { Debug = 0, Info = 1, Warning = 2, Error = 3, Silent = 4 };

// Where the library's own diagnostics go. The function runs on the context's I/O thread.
class Logger
{
public:
    using LogFunction = std::function<void(const std::string &text, LogLevel level)>;

    // Drops every line.
    Logger();
    // Passes lines at or above `level` to `fn`.
    Logger(LogFunction fn, LogLevel level);
    // Same, with the level as its number (0 = Debug ... 4 = Silent).
    Logger(LogFunction fn, int level);

    // Whether a line of this level would reach the function.
    bool enabled(LogLevel level) const;
    // Hands one line to the function when its level is enabled; exceptions it throws are dropped.
    void log(LogLevel level, const std::string &text) const;
    LogLevel level() const { return level_; }

private:
    LogFunction fn_;
    LogLevel level_ = LogLevel::Silent;
};

} // namespace ardix::zarn
