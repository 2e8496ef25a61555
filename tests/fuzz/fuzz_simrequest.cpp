// libFuzzer target: a request frame through the simulator's request handling, signed in or not
// (the first byte decides), on the demo site kept between inputs as the server keeps it.
// Beyond crashes, hangs and leaks: no answer, part or push outgrows a frame.
#include "SiteState.h"
#include "wire/FramedSocket.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace sim = ardix::sim;
namespace wire = ardix::zarn::wire;

namespace {

void requireFits(const wire::Json &j)
{
    if (wire::dump(j).size() > wire::kMaxFrameSize)
        __builtin_trap();
}

class CheckingPusher : public sim::Pusher
{
public:
    void pushToSignedIn(const wire::Json &push) override { requireFits(push); }
    void pushToUser(std::int64_t, const wire::Json &push) override { requireFits(push); }
    // A push written in pieces must still be one JSON object within a frame.
    void pushEncoded(std::int64_t, const std::string &body) override
    {
        if (body.size() > wire::kMaxFrameSize || !wire::parseObject(body))
            __builtin_trap();
    }
    void after(int, std::function<void()> fn) override { fn(); }
};

sim::SiteState &state()
{
    static CheckingPusher pusher;
    static sim::SiteState *s = [] {
        std::string error;
        auto site = sim::Site::fromFile(ZARN_DEMO_SITE, sim::nowMs(), error);
        if (!site)
            __builtin_trap();
        return new sim::SiteState(std::move(*site), pusher);
    }();
    return *s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::int64_t user = data[0] & 1 ? 500 : 0;
    const auto frame =
        wire::parseObject(std::string(reinterpret_cast<const char *>(data + 1), size - 1));
    std::string op;
    if (!frame || !wire::readString(*frame, "op", op) || !frame->contains("args") ||
        !(*frame)["args"].is_object())
        return 0;
    const auto answer = state().handle(op, (*frame)["args"], user);
    for (const auto &part : answer.parts)
        requireFits(wire::Json{{"id", 1}, {"part", part}});
    requireFits(wire::Json{{"id", 1}, {"result", answer.result}});
    if (answer.text.size() > 1024)
        __builtin_trap(); // error texts name client input by its start only
    return 0;
}
