#pragma once

#include <string>

namespace ardix::zarn {

// The failure of one request: a UTF-8 text and an int code. Codes below 1000 come from the
// server, codes from 1000 up are raised by the library itself.
class HandlerError
{
public:
    enum Code : int {
        BadRequest = 400,       // missing or ill-typed arguments, value out of range
        NotSignedIn = 401,      // every request but signIn needs a signed-in session
        WrongCredentials = 403, // unknown user or wrong password
        NotFound = 404,         // unknown object, attribute, binding or user
        Conflict = 409,         // attribute already exists
        WrongKind = 422,        // value of the wrong kind, or object of the wrong type
        ServerError = 500,      // the server failed while handling the request
        UnknownOperation = 501, // the server does not know the operation
        NotConnected = 1001,    // the request was made while the connection was not open
        ConnectionLost = 1002,  // the connection closed or broke while the request was pending
        Timeout = 1003,         // no answer within the connection's request timeout
        BadAnswer = 1004,       // the answer could not be read (the connection is then closed)
        AnswerTooLarge = 1005,  // the answer exceeds a limit of the library (the connection stays)
    };

    HandlerError() = default;
    HandlerError(int code, std::string text)
        : code_(code)
        , text_(std::move(text))
    {}

    int code() const { return code_; }
    const std::string &text() const { return text_; }
    const std::string &message() const { return text_; }
    // The text, a line break (only when the text is not empty), then "Code: " and the code.
    std::string description() const;

private:
    int code_ = 0;
    std::string text_;
};

} // namespace ardix::zarn
