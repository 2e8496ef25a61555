#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ardix::zarn::detail {

// Standard alphabet with padding; DataValue travels and prints this way.
std::string base64Encode(const std::vector<std::uint8_t> &bytes);
// Nothing on any character outside the alphabet or a bad length.
std::optional<std::vector<std::uint8_t>> base64Decode(const std::string &text);

} // namespace ardix::zarn::detail
