#pragma once

#include <cstdint>

namespace ardix::zarn {

// One recorded piece of a stream; start and end in milliseconds since the epoch, size in bytes.
struct StreamChunk
{
    std::int64_t id = 0;
    std::int64_t streamId = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t size = 0;
};

} // namespace ardix::zarn
