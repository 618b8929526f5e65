#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "model/theory/MseqKeyName.h"
#include "model/theory/MseqNoteTheory.h"

namespace note_theory_test {

constexpr int32_t kPure = 1, kTone = 2, kScaleDegree = 3, kChordDegree = 4, kRhythm = 5;
constexpr int32_t C = 0, D = 1, E = 2, F = 3, G = 4, A = 5, B = 6;

struct Case {
    MseqNotePitch in;
    int32_t semitones;
    bool flat;
    MseqNotePitch out;
};

void check(const Case& c) {
    MseqNotePitch p = c.in;
    mseq_note_transpose(p, c.semitones, c.flat);
    EXPECT_EQ(p.type, c.in.type);
    EXPECT_EQ(p.octave, c.out.octave);
    EXPECT_EQ(p.whole, c.out.whole);
    EXPECT_EQ(p.semi, c.out.semi);
}

TEST(NoteTransposition, PureNotes) {
    const Case cases[] = {
        {{kPure, 4, B, 0}, 1, false, {kPure, 5, C, 0}},  // B4 + 1 is C5
        {{kPure, 4, B, 0}, 1, true, {kPure, 5, C, 0}},
        {{kPure, 4, E, 0}, -1, false, {kPure, 4, D, 1}},
        {{kPure, 4, E, 0}, -1, true, {kPure, 4, E, -1}},  // E flat
        {{kPure, 4, D, 0}, 1, true, {kPure, 4, D, 1}},    // raised: the sharp stays
        {{kPure, 4, D, 0}, -2, true, {kPure, 4, C, 0}},   // no accidental: nothing to spell
        {{kPure, 4, E, -1}, 0, false, {kPure, 4, D, 1}},  // plain normalisation names sharps
        {{kPure, 4, E, -1}, 0, true, {kPure, 4, D, 1}},
        {{kPure, 0, C, 0}, -1, false, {kPure, 10, G, 0}},  // below key 0: wraps to 127
        {{kPure, 10, G, 0}, 1, false, {kPure, 0, C, 0}},   // above 127: wraps to 0
        {{kPure, 4, 7, 0}, 0, false, {kPure, 5, C, 0}},    // letter 7 is C an octave up
        {{kPure, 5, -1, 0}, 0, false, {kPure, 4, B, 0}},   // letter -1 is B an octave down
        {{kPure, 4, C, 0}, 25, false, {kPure, 6, C, 1}},
        {{kPure, 4, C, 0}, INT32_MIN, false, {kPure, 4, C, 0}},  // -2^31 is a multiple of 128
        {{kPure, 4, C, 0}, INT32_MAX, false, {kPure, 3, B, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.octave << "/" << c.in.whole << "/" << c.in.semi
                                        << " " << c.semitones << (c.flat ? " flat" : ""));
        check(c);
    }
}

TEST(NoteTransposition, ToneNotes) {
    const Case cases[] = {
        {{kTone, 0, E, 0}, -1, false, {kTone, 0, D, 1}},  // E - 1 is D sharp
        {{kTone, 0, E, 0}, -1, true, {kTone, 0, E, -1}},  // or E flat
        {{kTone, 0, A, 0}, -1, true, {kTone, 0, A, -1}},  // G sharp written A flat
        {{kTone, 0, C, 0}, -1, false, {kTone, -1, B, 0}},
        {{kTone, 0, C, 0}, -1, true, {kTone, -1, B, 0}},
        {{kTone, -2, C, 0}, -1, false, {kTone, 2, B, 0}},  // octave -3 wraps to 2
        {{kTone, 2, B, 0}, 1, false, {kTone, -2, C, 0}},   // octave 3 wraps to -2
        {{kTone, 0, 9, 0}, 0, false, {kTone, 1, E, 0}},    // letter 9 is E an octave up
        {{kTone, 0, C, 0}, 25, false, {kTone, 2, C, 1}},
        {{kTone, 0, F, 0}, 1, true, {kTone, 0, F, 1}},
        {{kTone, 1, D, 1}, -3, true, {kTone, 1, C, 0}},
        {{kTone, 0, C, 0}, INT32_MIN, false, {kTone, -1, E, 0}},  // no overflow on the way
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.octave << "/" << c.in.whole << "/" << c.in.semi
                                        << " " << c.semitones << (c.flat ? " flat" : ""));
        check(c);
    }
}

TEST(NoteTransposition, DegreeAndRhythmNotes) {
    const Case cases[] = {
        {{kScaleDegree, 3, 13, 0}, 0, false, {kScaleDegree, -2, 1, 0}},
        {{kScaleDegree, 0, -1, 0}, 0, false, {kScaleDegree, 0, 11, 0}},
        {{kScaleDegree, 0, 2, 0}, 1, false, {kScaleDegree, 0, 2, 1}},
        {{kScaleDegree, 0, 2, 1}, 1, false, {kScaleDegree, 0, 2, -1}},  // 2 wraps to -1
        {{kScaleDegree, 0, 2, 0}, -1, true, {kScaleDegree, 0, 2, -1}},
        {{kChordDegree, -3, 13, 0}, 0, false, {kChordDegree, 2, -12, 0}},
        {{kChordDegree, 0, -13, 0}, 0, false, {kChordDegree, 0, 12, 0}},
        {{kChordDegree, 0, 12, 0}, 0, false, {kChordDegree, 0, 12, 0}},
        {{kChordDegree, 0, -12, -1}, -1, false, {kChordDegree, 0, -12, 1}},
        {{kRhythm, 7, 9, 0}, 3, true, {kRhythm, 7, 9, 3}},         // only the accidental moves
        {{kRhythm, 0, 0, 100}, 100, false, {kRhythm, 0, 0, -56}},  // as the 8-bit field wraps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.type << ": " << c.in.octave << "/" << c.in.whole
                                        << "/" << c.in.semi << " " << c.semitones);
        check(c);
    }
}

// A note block as the tracks hold it: 8-bit pitch fields.
struct NoteFields {
    int32_t m_Type = kTone;
    int8_t m_Octave = 0;
    int8_t m_Whole = E;
    int8_t m_Semi = 0;
};

TEST(NoteTransposition, BlockFieldsFollowTheFlatSpellingSetting) {
    ASSERT_FALSE(mseq_down_semi_flat());  // off until the configuration says otherwise
    NoteFields sharp;
    mseq_note_normalize(sharp, -1);
    EXPECT_EQ(sharp.m_Whole, D);
    EXPECT_EQ(sharp.m_Semi, 1);

    mseq_set_down_semi_flat(true);
    NoteFields flat;
    mseq_note_normalize(flat, -1);
    mseq_set_down_semi_flat(false);
    EXPECT_EQ(flat.m_Whole, E);
    EXPECT_EQ(flat.m_Semi, -1);
    EXPECT_EQ(flat.m_Octave, 0);

    NoteFields pure{kPure, 4, B, 0};
    mseq_note_normalize(pure, 1);
    EXPECT_EQ(pure.m_Octave, 5);
    EXPECT_EQ(pure.m_Whole, C);
    EXPECT_EQ(pure.m_Semi, 0);
}

TEST(PitchLetters, NamesAndOffsetsAgree) {
    const int32_t offsets[] = {0, 2, 4, 5, 7, 9, 11};
    for (int32_t letter = -7; letter < 14; ++letter)
        EXPECT_EQ(mseq_letter_offset(letter), offsets[((letter % 7) + 7) % 7]) << letter;
    int32_t sharps = 0;
    for (int32_t pc = 0; pc < 12; ++pc) {
        const MseqPitchName n = mseq_pitch_name(pc);
        EXPECT_EQ(mseq_letter_offset(n.letter) + n.sharp, pc);
        sharps += n.sharp;
    }
    EXPECT_EQ(sharps, 5);
    EXPECT_EQ(mseq_pitch_name(-1).letter, B);
    EXPECT_EQ(mseq_pitch_name(13).sharp, 1);
}

TEST(KeyNames, CP932Bytes) {
    struct Case {
        int32_t pc;
        int32_t mode;
        std::string bytes;
    };
    const Case cases[] = {
        {0, MKEYNAME_MAJOR, "\x83\x6e\x92\xb7"},                   // ハ長
        {0, MKEYNAME_MINOR, "\x83\x6e\x92\x5a"},                   // ハ短
        {5, MKEYNAME_MAJOR, "\x82\xd6\x92\xb7"},                   // へ長, with the hiragana へ
        {5, MKEYNAME_MINOR, "\x83\x77\x92\x5a"},                   // ヘ短, with the katakana ヘ
        {3, MKEYNAME_MINOR, "\x89\x64\x83\x6a/\x95\xcf\x83\x7a"},  // 嬰ニ/変ホ
        {6, MKEYNAME_MAJOR, "\x95\xcf\x83\x67/\x89\x64\x83\x77"},  // 変ト/嬰ヘ
        {10, MKEYNAME_MINOR, "\x95\xcf\x83\x8d\x92\x5a"},          // 変ロ短
        {1, MKEYNAME_LETTER, "C#"},
        {11, MKEYNAME_LETTER, "B"},
        {-1, MKEYNAME_LETTER, "B"},  // taken modulo 12
        {12, MKEYNAME_MAJOR, "\x83\x6e\x92\xb7"},
        {4, 7, "E"},  // an unknown mode names the letter
    };
    for (const Case& c : cases)
        EXPECT_EQ(mseq_key_name(c.pc, c.mode), c.bytes) << c.pc;
}

TEST(KeyNames, EveryNameIsDistinctAndConverted) {
    const char* const letters[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    std::set<std::string> names;
    for (int32_t pc = 0; pc < 12; ++pc) {
        EXPECT_EQ(mseq_key_name(pc, MKEYNAME_LETTER), letters[pc]);
        for (int32_t mode : {MKEYNAME_MAJOR, MKEYNAME_MINOR}) {
            const CkvString& name = mseq_key_name(pc, mode);
            EXPECT_EQ(name.find('?'), std::string::npos);
            EXPECT_GE(name.size(), 4u);
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 24u);
}

}  // namespace note_theory_test
