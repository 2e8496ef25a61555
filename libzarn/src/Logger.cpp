#include "zarn/Logger.h"

namespace ardix::zarn {

Logger::Logger() = default;

Logger::Logger(LogFunction fn, LogLevel level)
    : fn_(std::move(fn))
    , level_(level)
{}

Logger::Logger(LogFunction fn, int level)
    : Logger(std::move(fn), static_cast<LogLevel>(level < 0   ? 0
                                                  : level > 4 ? 4
                                                              : level))
{}

bool Logger::enabled(LogLevel level) const
{
    return fn_ && level_ != LogLevel::Silent && level >= level_;
}

void Logger::log(LogLevel level, const std::string &text) const
{
    if (!enabled(level))
        return;
    // A throwing log sink must not take the I/O thread down with it.
    try {
        fn_(text, level);
    } catch (...) {
    }
}

} // namespace ardix::zarn
