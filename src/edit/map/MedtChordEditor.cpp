#include "edit/map/MedtChordEditor.h"

MedtChordEditor::MedtChordEditor(const MseqBlockChord& chord, int32_t key)
    : chord_(chord), key_(key) {}

MseqBlockChord& MedtChordEditor::clipboard() {
    static MseqBlockChord chord;
    return chord;
}

void MedtChordEditor::set_octave(int32_t octave) {
    chord_.m_Octave = octave;
    chord_.normalize();
}

void MedtChordEditor::set_relative(bool relative) {
    const bool was = (chord_.m_Flags & MCHORD_RELATIVE_ROOT) != 0;
    if (was == relative) return;
    // The sounding root stays where it was: a root that now counts from the key is stored that
    // much lower, one that now counts from C that much higher. Normalising carries the octave.
    if (relative) {
        chord_.m_Flags |= MCHORD_RELATIVE_ROOT;
        chord_.m_Root -= key_;
    } else {
        chord_.m_Flags &= ~MCHORD_RELATIVE_ROOT;
        chord_.m_Root += key_;
    }
    chord_.normalize();
}

void MedtChordEditor::set_root(int32_t pitch) {
    chord_.set_root(key_, pitch);
    root_chosen_ = true;
}

bool MedtChordEditor::set_type(int32_t n) {
    if (!chord_.set_type(n)) return false;
    if (!root_chosen_) chord_.set_root(0, 0);
    return true;
}

int32_t MedtChordEditor::invert(int32_t steps) {
    return chord_.invert(steps);
}

bool MedtChordEditor::toggle_key(int32_t distance, bool skipped) {
    if (!chord_.toggle_key(distance, skipped ? 1u : 0u)) return false;
    chord_.lookup_type();
    return true;
}

void MedtChordEditor::clear() {
    chord_.clear();
}

void MedtChordEditor::copy() const {
    clipboard() = chord_;
}

void MedtChordEditor::paste() {
    chord_ = clipboard();
}
