#pragma once

// Whole files as bytes, for tests that check what the program wrote or hand it what to read.
#include <fstream>
#include <sstream>
#include <string>

namespace kv_test {

// The bytes of the file at `path`; empty when it cannot be read (a folder included: read
// through the stream buffer, so that no read error throws).
inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Writes `bytes` as the whole file at `path` (its folder must exist).
inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace kv_test
