#pragma once

// A recorded report kept in a file: the whole stream is written or read at
// once. Failures raise StreamError naming the file and the system's reason.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace reportengine::stream {

void saveStreamFile(const std::string& path, std::span<const std::uint8_t> bytes);
// Files over 2 GiB are refused: no stream position could reach past that.
std::vector<std::uint8_t> loadStreamFile(const std::string& path);

} // namespace reportengine::stream
