// libFuzzer target: a frame body through the JSON decoders of objects, events, name/value
// lists and values. Whatever decodes must encode and decode again to the same thing.
#include "wire/Codec.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace wire = ardix::zarn::wire;

namespace {

template <typename T, typename Decode> void roundTrip(const T &decoded, Decode decode)
{
    const auto again = decode(wire::Json::parse(wire::dump(wire::toJson(decoded))));
    if (!again)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto frame = wire::parseObject(std::string(reinterpret_cast<const char *>(data), size));
    if (!frame)
        return 0;
    for (const auto &[key, member] : frame->items()) {
        if (auto o = wire::objectFromJson(member)) {
            roundTrip(*o, wire::objectFromJson);
            (void)ardix::zarn::Object(*o).toDevice().name();
        }
        if (auto e = wire::eventFromJson(member))
            roundTrip(*e, wire::eventFromJson);
        if (auto m = wire::mapFromJson(member)) {
            const auto again = wire::mapFromJson(wire::Json::parse(wire::dump(wire::toJson(*m))));
            if (!again || !(*again == *m))
                __builtin_trap();
            for (const auto &name : m->names())
                (void)m->value(name).toString();
        }
        if (auto v = wire::valueFromJson(member)) {
            (void)v->toString();
            (void)v->toDouble();
            roundTrip(*v, wire::valueFromJson);
        }
        if (member.is_array()) {
            for (const auto &item : member) {
                if (auto o = wire::objectFromJson(item))
                    roundTrip(*o, wire::objectFromJson);
            }
        }
    }
    return 0;
}
