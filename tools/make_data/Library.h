#pragma once

// The two books the program links by default: the standard pattern book
// "pattern_v01/pattern.kvnb" and the demo library "mymusic/library.kvnr" with its music book.
#include "DataKit.h"

namespace kv_data {

// Writes the library, its books, their leaves and the phrases, maps and musics they hold.
void write_libraries(const Output& out);

// Writes their English twins: the same music and structure, named in English, in
// "mymusic/en/" (its demo book in "mymusic/en/demo/") with its own pattern book in
// "pattern_v01/en/". The library a first start in English opens. Written after the Japanese
// files, so that these do not depend on them.
void write_english_libraries(const Output& out);

}  // namespace kv_data
