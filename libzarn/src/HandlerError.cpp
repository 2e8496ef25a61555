#include "zarn/HandlerError.h"

namespace ardix::zarn {

std::string HandlerError::description() const
{
    std::string out = text_;
    if (!out.empty())
        out += '\n';
    out += "Code: " + std::to_string(code_);
    return out;
}

} // namespace ardix::zarn
