#include "play/MplyTexts.h"

namespace {

constexpr kv_entry kEntries[] = {
#define KV_TEXT(id, ja, en) {#id, ja, en},
#include "play/MplyTexts.def"
#undef KV_TEXT
};

}  // namespace

std::span<const kv_entry> mply_text_entries() {
    return kEntries;
}
