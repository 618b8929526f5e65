#include "edit/MedtHeldKeys.h"

#include <algorithm>

bool MedtHeldKeys::note(int32_t key, int32_t velocity, std::vector<int32_t>* chord) {
    if (key < 0 || key > 127) return false;
    const size_t k = static_cast<size_t>(key);
    if (velocity > 0) {
        if (down_[k]) return false;
        down_[k] = true;
        chord_.push_back(key);
        return false;
    }
    if (!down_[k]) return false;
    down_[k] = false;
    // Only the release of a key of the chord begun completes it; the keys of a chord already
    // complete are let go one by one.
    if (std::find(chord_.begin(), chord_.end(), key) == chord_.end()) return false;
    std::sort(chord_.begin(), chord_.end());
    chord->swap(chord_);
    chord_.clear();
    return true;
}

void MedtHeldKeys::clear() {
    down_.reset();
    chord_.clear();
}
