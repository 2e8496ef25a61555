#pragma once

#include <cstdint>
#include <string>

namespace ardix::zarn {

// Where a stream is served: the gateway device, an access token and the gateway's address.
struct StreamInfo
{
    std::int64_t deviceId = 0;
    std::int64_t streamId = 0;
    std::string token;   // UTF-8
    std::string address; // host name or IP address of the gateway
};

} // namespace ardix::zarn
