#pragma once

#include <cstdint>

#include "model/block/MseqBlockChord.h"

// The chord editor's model: a working copy of one chord that the editor's cells change, with
// the clipboard chord of its copy and paste buttons. The chord that was opened changes only when
// the caller takes the working copy after "セット". User-interface thread.
class MedtChordEditor {
public:
    // Octaves of the octave row, lowest first.
    static constexpr int32_t kMinOctave = -2;
    static constexpr int32_t kMaxOctave = 2;

    // Opens the editor on a copy of `chord`; `key` is the key that relative roots count from
    // (the chord map's chord key, 0 without a chord map).
    MedtChordEditor(const MseqBlockChord& chord, int32_t key);

    // Octave cell: the chord's octave becomes `octave` (wrapped into -2 to 2 by the chord's
    // normalisation). Never fails.
    void set_octave(int32_t octave);
    // "なし" / "あり": clears or sets the relative-root flag; when it changes, the stored root
    // moves by the key so that the sounding root stays. Never fails.
    void set_relative(bool relative);
    // Root cell: the chord's root sounds on pitch class `pitch` (taken modulo 12). Never fails.
    void set_root(int32_t pitch);
    // Type cell: the keys and name of chord type n (0 to 20); the first choice in an editor that
    // has not had a root chosen also puts the root on C. False, unchanged, outside the table.
    bool set_type(int32_t n);
    // Inversion buttons: -1 down, +1 up. Returns the steps done (0 when the chord cannot move).
    int32_t invert(int32_t steps);
    // Key cell at `distance` semitones from the sounding root: toggles that key, with key flag 0
    // (left button) or 1 (right button: kept in the chord, skipped by chord-degree notes), then
    // names the chord by the type its keys match. False when the key is refused (outside -23 to
    // 23, the last key, or a full chord).
    bool toggle_key(int32_t distance, bool skipped);
    // "クリア": an empty chord, name cleared.
    void clear();
    // "コピー": the working copy becomes the clipboard chord.
    void copy() const;
    // "貼付け": the clipboard chord replaces the working copy.
    void paste();

    // The working copy, which "セット" hands to the caller.
    const MseqBlockChord& chord() const { return chord_; }
    // The key relative roots count from, as given when the editor was made.
    int32_t key() const { return key_; }

    // The clipboard shared by every chord editor of the process.
    static MseqBlockChord& clipboard();

private:
    MseqBlockChord chord_;
    int32_t key_;
    bool root_chosen_ = false;
};
