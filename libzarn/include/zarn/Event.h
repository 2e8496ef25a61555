#pragma once

#include "zarn/NameValueMap.h"

#include <cstdint>
#include <string>

namespace ardix::zarn {

// An event sent with Client::sendEvent or pushed by the server.
// When sending, eventId is ignored (the server assigns one); a sourceId of 0 becomes the
// sender's user id and a timestamp of 0 becomes the server's time of receipt.
struct Event
{
    NameValueMap fields;
    std::string className; // UTF-8
    std::int64_t eventId = 0;
    std::int64_t sourceId = 0;
    std::int64_t destinationId = 0; // a user id, an object id, or 0 for everyone
    std::int64_t timestamp = 0;     // milliseconds since the epoch
};

} // namespace ardix::zarn
