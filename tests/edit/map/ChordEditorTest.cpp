#include <gtest/gtest.h>

#include <vector>

#include "edit/map/MedtChordEditor.h"

namespace chord_editor_test {

std::vector<int32_t> keys_of(const MseqBlockChord& c) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < c.key_count; ++i)
        out.push_back(c.keys[i].m_Key);
    return out;
}

MseqBlockChord major_on(int32_t root) {
    MseqBlockChord c;
    c.set_type(0);
    c.m_Flags = MCHORD_RELATIVE_ROOT;
    c.m_Root = root;
    return c;
}

TEST(ChordEditor, RelativeSwitchKeepsTheSoundingRoot) {
    struct Case {
        uint32_t flags;
        int32_t root;
        bool relative;
        int32_t key;
        int32_t root_after;
        int32_t octave_after;
    } cases[] = {
        {MCHORD_RELATIVE_ROOT, 7, false, 2, 9, 0},   // G above D is A
        {MCHORD_RELATIVE_ROOT, 11, false, 3, 2, 1},  // carries into the octave
        {0, 9, true, 2, 7, 0},
        {0, 1, true, 3, 10, -1},
        {0, 5, false, 3, 5, 0},  // no change of the bit: nothing moves
    };
    for (const Case& c : cases) {
        MseqBlockChord chord = major_on(c.root);
        chord.m_Flags = c.flags;
        MedtChordEditor editor(chord, c.key);
        editor.set_relative(c.relative);
        EXPECT_EQ(editor.chord().m_Root, c.root_after) << c.root;
        EXPECT_EQ(editor.chord().m_Octave, c.octave_after) << c.root;
        EXPECT_EQ((editor.chord().m_Flags & MCHORD_RELATIVE_ROOT) != 0, c.relative);
    }
}

TEST(ChordEditor, TypeWithoutChosenRootStartsOnC) {
    MedtChordEditor fresh(MseqBlockChord(), 4);
    EXPECT_TRUE(fresh.set_type(3));
    EXPECT_EQ(fresh.chord().m_Type, "m7");
    EXPECT_EQ(keys_of(fresh.chord()), (std::vector<int32_t>{0, 3, 7, 10}));
    EXPECT_EQ(fresh.chord().m_Root, 0);  // set_root(0, 0) on a relative chord: distance 0

    MedtChordEditor chosen(MseqBlockChord(), 4);
    chosen.set_root(9);  // A, measured from the key E: stored 5
    EXPECT_EQ(chosen.chord().m_Root, 5);
    EXPECT_EQ(chosen.chord().effective_root(4), 9);
    EXPECT_TRUE(chosen.set_type(1));
    EXPECT_EQ(chosen.chord().m_Root, 5);
    EXPECT_FALSE(chosen.set_type(21));
    EXPECT_EQ(chosen.chord().m_Type, "m");
}

TEST(ChordEditor, KeyCellsToggleAndRename) {
    MedtChordEditor editor(major_on(0), 0);
    EXPECT_TRUE(editor.toggle_key(10, false));
    EXPECT_EQ(editor.chord().m_Type, "7");
    EXPECT_TRUE(editor.toggle_key(10, true));  // present: takes the other flag
    EXPECT_EQ(editor.chord().key_count, 4);
    EXPECT_EQ(editor.chord().keys[3].m_Flags, 1u);
    EXPECT_EQ(editor.chord().m_Type, "7");     // a flagged key matches no type: name kept
    EXPECT_TRUE(editor.toggle_key(10, true));  // same flag: removed
    EXPECT_TRUE(editor.toggle_key(4, false));
    EXPECT_TRUE(editor.toggle_key(3, false));
    EXPECT_EQ(editor.chord().m_Type, "m");
    EXPECT_FALSE(editor.toggle_key(0, false));  // the root stays
    EXPECT_FALSE(editor.toggle_key(24, false));
}

TEST(ChordEditor, OctaveInversionClearCopyPaste) {
    MedtChordEditor editor(major_on(0), 0);
    editor.set_octave(-3);
    EXPECT_EQ(editor.chord().m_Octave, 2);
    editor.set_octave(0);
    EXPECT_EQ(editor.invert(1), 1);
    EXPECT_EQ(keys_of(editor.chord()), (std::vector<int32_t>{-8, -5, 0}));
    EXPECT_EQ(editor.chord().m_Octave, 1);
    editor.copy();
    editor.clear();
    EXPECT_EQ(editor.chord().key_count, 0);
    EXPECT_EQ(editor.chord().m_Type, "");
    EXPECT_EQ(editor.chord().m_Flags, MCHORD_RELATIVE_ROOT | MCHORD_NO_KEY);
    MedtChordEditor other(MseqBlockChord(), 0);
    other.paste();
    EXPECT_EQ(keys_of(other.chord()), (std::vector<int32_t>{-8, -5, 0}));
}

}  // namespace chord_editor_test
