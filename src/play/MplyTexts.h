#pragma once

#include <cstdint>
#include <span>

#include "model/lang/KvCatalogue.h"

// The player's part of the catalogue of texts (MplyTexts.def). Any thread.

enum class mply_msg : uint16_t {
#define KV_TEXT(id, ja, en) id,
#include "play/MplyTexts.def"
#undef KV_TEXT
};

// Every entry of the part, in identifier order.
std::span<const kv_entry> mply_text_entries();

// The text in the current language (UTF-8).
inline const char* kv_text(mply_msg id) {
    return kv_pick(mply_text_entries()[static_cast<size_t>(id)]);
}
