#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "model/block/MseqBlockWord.h"
#include "model/lang/KvLanguage.h"

// The word dictionary: the names of every program, drum kit and drum sound the user can pick,
// keyed by kind and group, then index. One filled instance per language serves the whole
// program (see builtin); others are built only by whoever needs a dictionary of their own. A
// dictionary is changed only while it is being filled; afterwards any thread may read it.
//
// A word picked from the dictionary is copied with its name into what the user makes (a stage
// map's program, a rhythm track's sound), so a new word gets the name of the language shown at
// the time; words read from a file keep the name the file holds.
class MseqMapWord {
public:
    // (kind << 16 | group, index): words of one kind and group sort together by index.
    using Key = std::pair<uint32_t, uint32_t>;

    // The process-wide dictionary holding the built-in tables in the current language (or in
    // `language`): programs, drum kits, drum sounds, then numbered names for the remaining drum
    // notes. Never fails; any thread.
    static const MseqMapWord& builtin();
    static const MseqMapWord& builtin(kv_language language);

    // The built-in word of `kind` named `name` (CP932) in any language, the current one first;
    // nullptr when no built-in word has that name. For names a person typed or a file holds.
    static const MseqBlockWord* builtin_named(uint16_t kind, const CkvString& name);

    // Adds a copy of `word` under its kind, group and index. False, with the dictionary
    // unchanged, when a word is already stored there: the first one added wins.
    bool add(const MseqBlockWord& word);

    // Adds the built-in tables in their order (programs, drum kits, drum sounds, numbered drum
    // names), named in the current language or in `language`. Words already present keep their
    // names. Never fails.
    void add_builtin();
    void add_builtin(kv_language language);

    // The stored word for (kind, group, index), or nullptr.
    const MseqBlockWord* get(uint16_t kind, uint16_t group, uint32_t index) const;

    // The stored word for (kind, group, index); when none is stored, a word of that kind, group
    // and index with an empty name. Never fails.
    MseqBlockWord find(uint16_t kind, uint16_t group, uint32_t index) const;

    // Every stored word in key order.
    const std::map<Key, MseqBlockWord>& words() const { return words_; }

    static Key key_of(uint16_t kind, uint16_t group, uint32_t index) {
        return {uint32_t{kind} << 16 | group, index};
    }

private:
    std::map<Key, MseqBlockWord> words_;
};
