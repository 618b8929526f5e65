#include "model/lang/MseqTexts.h"

namespace {

constexpr kv_entry kEntries[] = {
#define KV_TEXT(id, ja, en) {#id, ja, en},
#include "model/lang/MseqTexts.def"
#undef KV_TEXT
};

}  // namespace

std::span<const kv_entry> mseq_text_entries() {
    return kEntries;
}
