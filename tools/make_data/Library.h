#pragma once

// The two books the program links by default: the standard pattern book
// "pattern_v01/pattern.kvnb" and the demo library "mymusic/library.kvnr" with its music book.
#include "DataKit.h"

namespace kv_data {

// Writes the library, its books, their leaves and the phrases, maps and musics they hold.
void write_libraries(const Output& out);

}  // namespace kv_data
