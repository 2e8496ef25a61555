#pragma once

#include "Site.h"

#include <cstdint>
#include <string>

namespace ardix::sim {

// A large made-up chain of shops and malls: sites, their buildings, gateways of 64 streams,
// door controllers with paired door sensors and locks, and 500 layouts in the root's dynamic
// attributes. Nothing depends on the clock or on chance: the same generation gives the same
// site, byte for byte, on every run and every machine.
class SiteGenerator
{
public:
    static constexpr std::int64_t kMaxCameras = 100000;
    static constexpr int kStreamsPerGateway = 64;
    static constexpr int kLayouts = 500;

    // Why a number of cameras is refused; empty when it is accepted.
    static std::string refusal(std::int64_t cameras);
    // Sets the site's root and objects (and the user "operator"/"operator" when it has no
    // users); the number of cameras must be accepted by refusal().
    static void fill(const SiteGeneration &generation, Site &site);
    static Site generate(const SiteGeneration &generation);
};

} // namespace ardix::sim
