#pragma once

#include <cstdint>

#include "model/block/MseqBlock.h"
#include "model/core/CkvString.h"

// Word kinds (`m_Attrib`).
enum : uint16_t {
    MWORD_NONE = 0,
    MWORD_PROGRAM = 1,      // melodic program: program number in the low byte
    MWORD_DRUM_KIT = 2,     // drum kit: the kit's program number
    MWORD_DRUM_SOUND = 18,  // drum sound: the note number
    MWORD_MSG_FORM = 32,    // message form: the form number
};

// A named, numbered item: a program, drum kit, drum sound or message form.
class MseqBlockWord : public MseqBlockOf<MseqBlockWord> {
public:
    static constexpr MSEQ_TYPE kType = MTYPE_BLOCK_WORD;

    MseqBlockWord() = default;
    MseqBlockWord(uint16_t kind, uint16_t group, uint32_t index, const CkvString& name = {})
        : m_Index(index), m_Group(group), m_Attrib(kind), m_Name(name) {}

    // The bits of `m_Index` a kind keeps: three 7-bit bytes for programs and kits, four for drum
    // sounds, one for message forms; 0 for every other kind (which is invalid).
    static uint32_t index_mask(uint16_t kind);

    // Clears `m_Group` and masks `m_Index` by the kind's mask. False when the kind is invalid
    // (the word is left unchanged then).
    bool normalize();

    bool operator==(const MseqBlockWord& o) const {
        return m_Index == o.m_Index && m_Group == o.m_Group && m_Attrib == o.m_Attrib &&
               m_Name == o.m_Name;
    }

    uint32_t m_Index = 0;   // packed value
    uint16_t m_Group = 0;   // dictionary group; cleared when normalised
    uint16_t m_Attrib = 0;  // kind
    CkvString m_Name;
};
