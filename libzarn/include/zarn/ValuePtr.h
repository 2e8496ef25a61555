#pragma once

#include "zarn/Value.h"

#include <memory>

namespace ardix::zarn {

// Shared handle to an immutable Value; cheap to copy and safe to pass between threads.
// An empty handle holds no value; its value() is a NoneValue.
class ValuePtr
{
public:
    ValuePtr() = default;
    // Holds a copy of `v` (any of the kinds above).
    explicit ValuePtr(const Value &v);

    bool isNull() const { return !v_; }
    explicit operator bool() const { return static_cast<bool>(v_); }

    // The held value, or a shared NoneValue when the handle is empty.
    const Value &value() const;
    const Value &operator*() const { return value(); }
    const Value *operator->() const { return &value(); }

private:
    std::shared_ptr<const Value> v_;
};

} // namespace ardix::zarn
