#pragma once

#include <cstdint>

#include "model/core/CkvString.h"

// How a key is named: by its letter ("C#"), as a major key ("変ニ長", "D♭ major") or as a minor
// key ("嬰ハ短", "C♯ minor"). The chord map view's display mode uses the same numbers.
enum : int32_t {
    MKEYNAME_LETTER = 0,
    MKEYNAME_MAJOR = 1,
    MKEYNAME_MINOR = 2,
};

// The name of the pitch class `pc` (taken modulo 12, so -1 names B) in display mode `mode`, as
// CP932 bytes in the current language; a mode other than major or minor gives the letter.
// Japanese letters are written with '#' as they always were, English ones with ♯. Never fails;
// any thread.
const CkvString& mseq_key_name(int32_t pc, int32_t mode);
