#include "Utils.h"

#include <QDebug>
#include <QMetaType>

#include <string>

using ardix::zarn::BoolValue;
using ardix::zarn::FloatValue;
using ardix::zarn::IntValue;
using ardix::zarn::StringValue;
using ardix::zarn::ValuePtr;

ValuePtr Utils::zarnValueFromQVariant(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Bool:
        return ValuePtr(BoolValue(value.toBool()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::ULong:
    case QMetaType::UShort:
        // The server's integers are 64-bit, but this boundary has always carried 32 bits:
        // larger numbers wrap exactly as toInt() wraps them.
        return ValuePtr(IntValue(static_cast<std::int64_t>(value.toInt())));
    case QMetaType::Double:
    case QMetaType::Float:
        return ValuePtr(FloatValue(value.toDouble()));
    case QMetaType::QString:
        return ValuePtr(StringValue(value.toString().toStdString()));
    default:
        qWarning() << "static ardix::zarn::ValuePtr Utils::zarnValueFromQVariant(const QVariant&)";
        qWarning() << "  Unhandled type: " << value.userType();
        return ValuePtr();
    }
}
