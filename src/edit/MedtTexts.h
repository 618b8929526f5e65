#pragma once

#include <cstdint>
#include <span>

#include "model/lang/KvCatalogue.h"

// The editor's part of the catalogue of texts (MedtTexts.def). Any thread.

enum class medt_msg : uint16_t {
#define KV_TEXT(id, ja, en) id,
#include "edit/MedtTexts.def"
#undef KV_TEXT
};

// Every entry of the part, in identifier order.
std::span<const kv_entry> medt_text_entries();

// The text in the current language (UTF-8).
inline const char* kv_text(medt_msg id) {
    return kv_pick(medt_text_entries()[static_cast<size_t>(id)]);
}
