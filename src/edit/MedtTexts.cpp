#include "edit/MedtTexts.h"

namespace {

constexpr kv_entry kEntries[] = {
#define KV_TEXT(id, ja, en) {#id, ja, en},
#include "edit/MedtTexts.def"
#undef KV_TEXT
};

}  // namespace

std::span<const kv_entry> medt_text_entries() {
    return kEntries;
}
