#pragma once

#include <cstdint>
#include <memory>

#include "model/track/MseqTrackRefer.h"
#include "play/engine/MplyContext.h"
#include "play/tracks/MplyTrackSeq.h"

class MplyRunSet;
class MseqMusic;

// The player of a phrase track: plays each block's phrase as a nested player music with a
// context of its own that places it at the block (from its start marker, on the track's channel
// and chords, with the block's degree shift) and fits it in by the block's mode: keep, cut the
// block, cut the sound, or stretch. Blocks play strictly one after another. A block that cannot
// be resolved (no phrase, no marker track, an unknown marker, a section that cannot be
// stretched, no track that sounds) is skipped. The engine's thread only.
class MplyTrackRefer final : public MplyTrackSeq<MseqTrackRefer> {
public:
    MplyTrackRefer(MplyMusic* music, MseqTrackRefer* source);
    ~MplyTrackRefer() override;

    MSEQ_TYPE GetType() const override { return MPLY_TRACK_REFER; }
    // The common steps in its own music (cursor on the last block before the start, which may
    // still sound there), preloading the phrases when the configuration asks for it, and the
    // child context's channel and chord track.
    bool Prepare(MplyContext& context) override;
    // Starts the blocks that begin before the window end and generates their phrases.
    bool Generate(MplyContext& context) override;

    // The context the phrase of the current block plays in.
    const MplyContext& child_context() const { return m_ChildContext; }
    int32_t block_start() const { return m_BlockStart; }
    int32_t block_end() const { return m_BlockEnd; }

private:
    // Sets up the block under the cursor; true when its phrase has a track to generate.
    bool StartBlock(const MplyContext& context);

    MplyContext m_ChildContext;               // context of the phrase now playing
    std::unique_ptr<MplyMusic> m_ChildMusic;  // that phrase, compiled
    int32_t m_BlockStart = 0;                 // ticks of the current block
    int32_t m_BlockEnd = 0;                   // excluded
};

// The length of a phrase in ticks: the largest end among its tracks.
int64_t mply_phrase_length(MseqMusic& phrase, const MplyRunSet& reach);
