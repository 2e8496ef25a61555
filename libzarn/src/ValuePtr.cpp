#include "zarn/ValuePtr.h"

namespace ardix::zarn {

ValuePtr::ValuePtr(const Value &v)
    : v_(std::make_shared<const Value>(v))
{}

const Value &ValuePtr::value() const
{
    static const Value none;
    return v_ ? *v_ : none;
}

} // namespace ardix::zarn
