#pragma once

#include <cstdint>
#include <memory>

#include "model/block/MseqBlockRefer.h"

// What a replacement compares and what it writes (bits of m_Match and m_Set).
enum : uint32_t {
    MREPLACE_PHRASE = 0x1,  // the phrase identifier
    MREPLACE_MARKER = 0x2,  // the start marker
};

// A find-and-replace over the blocks of a range of a track. Owned by value by whoever posts it;
// copies are made by clone. User-interface thread only.
class MseqReplace {
public:
    static constexpr uint32_t kKind = 0xF20040;

    virtual ~MseqReplace() = default;
    // The class's kind code.
    virtual uint32_t kind() const { return kKind; }
    // The object itself when `kind` is its own kind or its family's, else nullptr.
    virtual MseqReplace* cast(uint32_t kind) { return kind == kKind ? this : nullptr; }
    // A new object with the same field values; never nullptr.
    virtual std::unique_ptr<MseqReplace> clone() const = 0;

    int32_t m_From = 0;    // range start, in the track's own grid
    int32_t m_To = 0;      // range end (excluded)
    uint32_t m_Match = 0;  // MREPLACE_* bits that must match
    uint32_t m_Set = 0;    // MREPLACE_* bits to write
    int32_t m_Count = 0;   // set by the replacement: how many blocks it changed
};

// Replaces the phrase identifier and/or start marker of phrase references.
class MseqReplaceRefer : public MseqReplace {
public:
    static constexpr uint32_t kKind = 0xF20081;

    uint32_t kind() const override { return kKind; }
    MseqReplace* cast(uint32_t kind) override {
        return kind == kKind ? this : MseqReplace::cast(kind);
    }
    std::unique_ptr<MseqReplace> clone() const override {
        return std::make_unique<MseqReplaceRefer>(*this);
    }

    // True when `block` meets every condition of m_Match.
    bool matches(const MseqBlockRefer& block) const {
        if ((m_Match & MREPLACE_PHRASE) && block.m_PhraseID != m_MatchBlock.m_PhraseID)
            return false;
        if ((m_Match & MREPLACE_MARKER) && block.m_StartMarker != m_MatchBlock.m_StartMarker)
            return false;
        return true;
    }

    // Writes the values m_Set asks for into `block`.
    void apply(MseqBlockRefer& block) const {
        if (m_Set & MREPLACE_PHRASE) block.m_PhraseID = m_NewBlock.m_PhraseID;
        if (m_Set & MREPLACE_MARKER) block.m_StartMarker = m_NewBlock.m_StartMarker;
    }

    MseqBlockRefer m_MatchBlock;  // the values compared
    MseqBlockRefer m_NewBlock;    // the values written
};
