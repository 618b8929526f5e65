#pragma once

#include <cstdint>
#include <span>

#include "model/lang/KvCatalogue.h"

// The window's part of the catalogue of texts (GuiTexts.def). Any thread.

enum class gui_msg : uint16_t {
#define KV_TEXT(id, ja, en) id,
#include "gui/GuiTexts.def"
#undef KV_TEXT
};

// Every entry of the part, in identifier order.
std::span<const kv_entry> gui_text_entries();

// The text in the current language (UTF-8).
inline const char* kv_text(gui_msg id) {
    return kv_pick(gui_text_entries()[static_cast<size_t>(id)]);
}
