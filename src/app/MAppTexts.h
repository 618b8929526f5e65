#pragma once

#include <cstdint>
#include <span>

#include "model/lang/KvCatalogue.h"

// The application's part of the catalogue of texts (MAppTexts.def). Any thread.

enum class mapp_msg : uint16_t {
#define KV_TEXT(id, ja, en) id,
#include "app/MAppTexts.def"
#undef KV_TEXT
};

// Every entry of the part, in identifier order.
std::span<const kv_entry> mapp_text_entries();

// The text in the current language (UTF-8).
inline const char* kv_text(mapp_msg id) {
    return kv_pick(mapp_text_entries()[static_cast<size_t>(id)]);
}
