#include "gui/GuiTexts.h"

namespace {

constexpr kv_entry kEntries[] = {
#define KV_TEXT(id, ja, en) {#id, ja, en},
#include "gui/GuiTexts.def"
#undef KV_TEXT
};

}  // namespace

std::span<const kv_entry> gui_text_entries() {
    return kEntries;
}
