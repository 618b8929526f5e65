#pragma once

// The standard pattern book: phrases a composer builds songs from. Pitched phrases play chord
// and scale degrees, so that they follow whatever chord track plays them; drum phrases play
// rhythm notes on the drum kit. Every phrase carries a marker track naming its sections.
#include <string>
#include <vector>

#include "model/library/MseqMusic.h"

namespace kv_data {

// One phrase of the book: its folder (an instrument), its file and how it is built.
struct PhraseRecipe {
    const char* folder;  // key of the instrument folder: "piano", "bass", "guitar", "drums"
    const char* file;    // file name inside the folder
    void (*build)(MseqMusic& phrase);
};

// The instrument folders in book order: key and name (UTF-8, in the language written now).
struct FolderRecipe {
    const char* key;
    const char* name;
};
std::vector<FolderRecipe> pattern_folders();

// Every phrase of the book, in book order.
const std::vector<PhraseRecipe>& pattern_phrases();

// Joins bars with '|' so that the notation checks every bar line.
std::string bars(const std::vector<std::string>& each);
// The same bar `count` times.
std::vector<std::string> repeat(const std::string& bar, int count);

}  // namespace kv_data
