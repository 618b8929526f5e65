// Feeds arbitrary bytes to the loaders of the configuration and the scale-map file, as they are
// read at start-up: whatever loads must keep the settings within their limits, must write, and
// must load again from what it wrote and write the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/library/MseqConfig.h"
#include "model/theory/MseqMapScale.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"

namespace {

template <class Entity>
bool load(Entity* entity, const std::string& text) {
    MrecCompiler compiler;
    return compiler.load_text(entity, text.c_str(), text.size() + 1);
}

// Load, write, load the writing, write again: the two writings must be the same.
template <class Entity>
void round_trip(const std::string& text) {
    auto* first = new Entity();
    if (load(first, text)) {
        std::string written;
        if (mrec_write_entity(first, &written)) {
            auto* second = new Entity();
            if (!load(second, written)) __builtin_trap();
            std::string again;
            if (!mrec_write_entity(second, &again) || again != written) __builtin_trap();
            second->release();
        }
    }
    first->release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        // The configuration's limits hold after any load that succeeds.
        auto* config = new MseqConfig();
        if (load(config, text)) {
            if (config->m_CacheLevel < 1 || config->m_CacheLevel > 6) __builtin_trap();
            if (config->m_SeekInterval > 1000) __builtin_trap();
            if (config->m_TrPropNameW < 8 || config->m_TrPropNameW > 1024) __builtin_trap();
            if (config->m_TrPropDataW < 8 || config->m_TrPropDataW > 1024) __builtin_trap();
        }
        config->release();
    }
    round_trip<MseqConfig>(text);
    round_trip<MseqMapScale>(text);
    return 0;
}
