#pragma once

#include <string>

namespace ardix::zarn {

// Why opening failed or why an open connection broke.
class ConnectionError
{
public:
    enum Code : int {
        NoError = 0,
        Refused = 1,         // nothing listens on the port
        HostNotFound = 2,    // the host name does not resolve
        Timeout = 3,         // no connection or no greeting within the open timeout
        ProtocolError = 4,   // the peer sent an oversized, unparsable or malformed frame
        ClosedByPeer = 5,    // the server closed the connection
        NetworkError = 6,    // any other socket error
        AlreadyOpen = 7,     // open() while opening or open
        InvalidArgument = 8, // empty host, port outside 1..65535
        Aborted = 9,         // close() was called while opening
    };

    ConnectionError() = default;
    ConnectionError(int code, std::string text)
        : code_(code)
        , text_(std::move(text))
    {}

    int code() const { return code_; }
    // UTF-8 text for people, never empty for a real error.
    const std::string &text() const { return text_; }
    const std::string &message() const { return text_; }

private:
    int code_ = NoError;
    std::string text_;
};

} // namespace ardix::zarn
