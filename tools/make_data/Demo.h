#pragma once

// The musics of the demo library: a complete song and a sampler that plays every phrase of the
// standard pattern book.
#include <map>
#include <string>

#include "model/core/MseqId.h"
#include "model/library/MseqMusic.h"

namespace kv_data {

// What the musics refer to in their book, in the form a music stores (file number 2).
struct DemoRefs {
    MSEQ_ID chord_c = 0;  // C major
    MSEQ_ID chord_d = 0;  // D major, after the key change
    MSEQ_ID stage = 0;
    std::map<std::string, MSEQ_ID> phrases;  // by the phrase's file name in the pattern book

    // The reference to a linked phrase; fails the generator when it is not linked.
    MSEQ_ID phrase(const std::string& file) const;
};

// The demo song "はじまりの朝": 40 bars in C major with a key change to D major.
void build_demo_song(MseqMusic& m, const DemoRefs& refs);

// "パターン見本": seven four-bar combinations of the standard patterns and an ending.
void build_sampler(MseqMusic& m, const DemoRefs& refs);

}  // namespace kv_data
