#pragma once

#include <zarn/ValuePtr.h>

#include <QVariant>

// Conversions between Qt's variants and the event-server library's values.
class Utils
{
public:
    Utils() = delete;

    // A library value for a variant of a supported type; an empty handle (and two warning
    // lines) for any other type. Integers cross as 32-bit values, sign-extended.
    static ardix::zarn::ValuePtr zarnValueFromQVariant(const QVariant &value);
};
