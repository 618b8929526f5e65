// Feeds arbitrary bytes to the record compiler as the file of every kind of entity. Whatever
// loads must write, and what it writes must load again and write the same bytes: a difference
// means a file the program itself wrote would change on its next save.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/core/MseqType.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileEntity.h"

namespace {

bool load(uint32_t type, const std::string& text, MrecFileEntity& out) {
    if (!mrec_make_file_entity(type, out)) return false;
    MrecCompiler compiler;
    return compiler.load_text(out.entity.get(), text.c_str(), text.size() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (uint32_t type :
         {MTYPE_ROOM, MTYPE_BOOK_LIBRARY, MTYPE_BOOK_MUSIC, MTYPE_LEAF_MUSIC, MTYPE_LEAF_PHRASE,
          MTYPE_LEAF_CHORD, MTYPE_LEAF_STAGE, MTYPE_LEAF_SCALE, MTYPE_CONFIG}) {
        MrecFileEntity first;
        if (!load(type, text, first)) continue;
        std::string written;
        if (!mrec_write_entity(first.entity.get(), &written)) continue;
        MrecFileEntity second;
        if (!load(type, written, second)) __builtin_trap();
        std::string again;
        if (!mrec_write_entity(second.entity.get(), &again) || again != written) __builtin_trap();
    }
    return 0;
}
