#pragma once

#include <cstdint>
#include <span>

#include "model/lang/KvCatalogue.h"

// The model's part of the catalogue of texts (MseqTexts.def). Any thread.

enum class mseq_msg : uint16_t {
#define KV_TEXT(id, ja, en) id,
#include "model/lang/MseqTexts.def"
#undef KV_TEXT
};

// Every entry of the part, in identifier order.
std::span<const kv_entry> mseq_text_entries();

// The text in the current language (UTF-8).
inline const char* kv_text(mseq_msg id) {
    return kv_pick(mseq_text_entries()[static_cast<size_t>(id)]);
}
