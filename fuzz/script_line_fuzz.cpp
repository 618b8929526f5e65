// Feeds arbitrary bytes to the script line reader and quotes every line it gives as an error
// message would. No line may pass the limit, and a quote may hold no byte a terminal would act
// on and no more than 80 bytes of the line.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "ui/script/ScriptLineReader.h"

namespace {

// True when `quoted` holds a control byte, DEL or a byte-order mark.
bool has_unprintable(const std::string& quoted) {
    for (unsigned char c : quoted) {
        if (c < 0x20 || c == 0x7F) return true;
    }
    return quoted.find("\xEF\xBB\xBF") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    kv_ui::ScriptLineReader reader(in);
    std::string line;
    int lines = 0;
    for (;;) {
        const kv_ui::ScriptLineReader::Status got = reader.next(&line);
        if (got == kv_ui::ScriptLineReader::Status::end) break;
        if (reader.number() != ++lines) __builtin_trap();
        // A refused line is quoted too, from the start the reader kept of it: the limit and the
        // byte that passed it.
        const bool refused = got == kv_ui::ScriptLineReader::Status::too_long;
        if (line.size() > kv_ui::kScriptLineMax + (refused ? 1 : 0)) __builtin_trap();
        const std::string quoted = kv_ui::script_quote(line);
        if (has_unprintable(quoted)) __builtin_trap();
        // Each byte of the line shows as at most six ("\uFEFF" for three), plus the "..." mark.
        if (quoted.size() > 80 * 6 + 3) __builtin_trap();
        if (line.size() <= 80 && quoted.find("...") != std::string::npos &&
            line.find("...") == std::string::npos)
            __builtin_trap();
        if (refused) break;
    }
    return 0;
}
