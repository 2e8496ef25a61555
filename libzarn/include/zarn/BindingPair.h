#pragma once

#include <cstdint>

namespace ardix::zarn {

// One device a stream is bound to, and how: 1 proxy, 2 storage, 3 proxy and storage.
struct BindingPair
{
    std::int64_t deviceId = 0;
    std::int32_t type = 0;
};

} // namespace ardix::zarn
