#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The compressed MusicXML file (.mxl): a ZIP archive holding the score as `score_name` and
// META-INF/container.xml pointing at it, with the "mimetype" entry first and stored, as
// notation programs expect. The score is deflated when the program was built with zlib and
// stored otherwise. Never fails short of memory exhaustion. Any thread.
std::vector<uint8_t> mply_mxl_image(std::string_view score_xml, std::string_view score_name);

// The CRC-32 (ISO 3309, as ZIP uses it) of `bytes`. Any thread.
uint32_t mply_crc32(std::string_view bytes);
