#include "app/MAppTexts.h"

namespace {

constexpr kv_entry kEntries[] = {
#define KV_TEXT(id, ja, en) {#id, ja, en},
#include "app/MAppTexts.def"
#undef KV_TEXT
};

}  // namespace

std::span<const kv_entry> mapp_text_entries() {
    return kEntries;
}
