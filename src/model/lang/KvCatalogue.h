#pragma once

#include <span>
#include <string>
#include <vector>

#include "model/lang/KvLanguage.h"

// The catalogue of the program's own texts. Each layer keeps its part: a `.def` file of
//
//     KV_TEXT(IDENTIFIER, "日本語", "English")
//
// lines, an enumeration of its identifiers and a table of its entries made from that file (see
// model/lang/MseqTexts.h for the pattern). Code asks for a text by identifier and never looks
// at the words: deciding by a displayed text would break in the other language. Both texts are
// UTF-8 in the source and become CP932 where the layer shows them, as every text of the
// program does. A text used as a printf format has the same conversions, in the same order, in
// both languages.

// One text of the catalogue in both languages.
struct kv_entry {
    const char* key;  // the identifier, as written in the .def file
    const char* ja;
    const char* en;
};

// The entry's text in the current language, or in `language`.
const char* kv_pick(const kv_entry& entry);
const char* kv_pick(const kv_entry& entry, kv_language language);

// What is wrong with a part of the catalogue, one line each: an identifier given twice, a text
// missing in either language, a text CP932 cannot hold, or formats whose conversions differ
// between the languages (filled with the other language's arguments, they would read the wrong
// memory). Empty when the part is sound.
std::vector<std::string> kv_catalogue_problems(std::span<const kv_entry> entries);

// The printf conversions of a text in order ("%d", "%s", "%3.1f"; "%%" is not one).
std::vector<std::string> kv_format_conversions(const char* text);
