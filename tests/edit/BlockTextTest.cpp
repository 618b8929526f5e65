#include <gtest/gtest.h>

#include <string>

#include "edit/EditFixture.h"
#include "edit/MedtBlockText.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockRefer.h"
#include "model/block/MseqBlockValue.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackValue.h"

namespace block_text_test {

namespace text = medt_block_text;
constexpr int64_t kBar = MseqTrack::kTicksPerBar;

class BlockText : public EditFixture {
protected:
    static MseqBlockNote pure(int whole, int octave, int length = 1) {
        MseqBlockNote n;
        n.set_type(MNBT_PURE);
        n.m_Whole = static_cast<int8_t>(whole);
        n.m_Octave = static_cast<int8_t>(octave);
        n.m_Length = length;
        return n;
    }
    std::string tip(MseqObject* node, int32_t pos) {
        return text::tip(*editor->find_track(node->id), pos).str();
    }
};

TEST_F(BlockText, NoteBandsShowOctaveAccidentalAndOwnLags) {
    MseqBlockNote n = pure(1, 4);
    EXPECT_EQ(text::note_octave(n).str(), "4");
    EXPECT_EQ(text::note_accidental(n).str(), "");
    n.m_Octave = -1;
    n.m_Semi = 1;
    EXPECT_EQ(text::note_octave(n).str(), "-1");
    EXPECT_EQ(text::note_accidental(n).str(), "+1");
    n.m_Semi = -2;
    EXPECT_EQ(text::note_accidental(n).str(), "-2");
    CkvString lag("unchanged");
    n.m_STime = 30;
    n.m_ETime = -20;
    // Without their flags the note follows the track's lags: no box.
    EXPECT_FALSE(text::note_start_lag(n, &lag));
    EXPECT_FALSE(text::note_end_lag(n, &lag));
    EXPECT_EQ(lag.str(), "unchanged");
    n.m_Flags = MNBF_OWN_STIME | MNBF_OWN_ETIME;
    ASSERT_TRUE(text::note_start_lag(n, &lag));
    EXPECT_EQ(lag.str(), "30");
    ASSERT_TRUE(text::note_end_lag(n, &lag));
    EXPECT_EQ(lag.str(), "-20");
}

TEST_F(BlockText, NoteNamesAreTheViewsNoteNames) {
    MseqObject* node = add_note(16);
    open();
    const MedtNoteNames names(*editor->find_track(node->id));
    EXPECT_EQ(text::note_name(names, pure(0, 5), 0).str(), "C5");
    MseqBlockNote degree;
    degree.set_type(MNBT_SDEG);
    degree.m_Whole = 2;
    EXPECT_EQ(text::note_name(names, degree, 0).str(), "S3");
}

TEST_F(BlockText, PhraseReferencesNameMarkerShiftAndMode) {
    open();
    MseqBlockRefer b;
    b.m_PhraseID = 0x20001a;
    b.m_Mode = MRBM_STRETCH;
    // No such phrase in the music: its identifier in hex.
    EXPECT_EQ(text::refer_text(music, b, 0).str(), "?20001a");
    b.m_StartMarker = CkvString("B");
    b.m_Rotation = -2;
    EXPECT_EQ(text::refer_text(music, b, 0).str(), "?20001a@B -2");
    EXPECT_EQ(text::refer_text(music, b, MSHOW_MODE_ICONS).str(), "?20001a@B -2 " + sjis("[伸縮]"));
    EXPECT_EQ(text::refer_shift(b).str(), "-2");
    b.m_Rotation = 0;
    EXPECT_EQ(text::refer_shift(b).str(), "+0");
    const struct {
        uint32_t mode;
        const char* want;
    } modes[] = {{MRBM_BLOCK_KEEP, "保持"},
                 {MRBM_BLOCK_CUT, "ブロック切"},
                 {MRBM_SOUND_CUT, "音切"},
                 {MRBM_STRETCH, "伸縮"},
                 {0, ""},
                 {9, ""}};
    for (const auto& m : modes)
        EXPECT_EQ(text::refer_mode(m.mode).str(), sjis(m.want)) << m.mode;
}

TEST_F(BlockText, ChordLabelValueAndLinkTexts) {
    MseqBlockChord own;  // a chord of its own: no palette slot
    EXPECT_EQ(text::chord_degree(own).str(), "*");
    MseqBlockChord slot;
    slot.m_Flags = MCHORD_RELATIVE_ROOT;
    slot.m_DescDegree = 4;
    EXPECT_EQ(text::chord_degree(slot).str(), " 5");
    slot.m_DescOctave = -1;
    EXPECT_EQ(text::chord_degree(slot).str(), "-5");
    MseqBlockLabel label;
    label.m_Label = CkvString(sjis("サビ"));
    EXPECT_EQ(text::label_text(label).str(), sjis("サビ"));
    EXPECT_EQ(text::value_text(MseqBlockValue(-12)).str(), "-12");
    EXPECT_EQ(text::value_text(MseqBlockValue(120)).str(), "120");
}

TEST(BlockTextValues, LengthsReadAsNoteValues) {
    const struct {
        int64_t ticks;
        const char* want;
    } cases[] = {
        {480, "4 分音符"},
        {720, "付点 4 分音符"},
        {240, "8 分音符"},
        {160, "3 連 8 分音符"},
        {384, "5 連 4 分音符"},
        {30, "64 分音符"},
        {kBar, "全音符"},
        {kBar * 3 / 2, "付点全音符"},
        {2 * kBar, "2 小節"},
        {kBar + 240, "全音符 + 8 分音符"},
        {2 * kBar + 240, "2 小節 + 8 分音符"},
        {600, "4 分音符 + 16 分音符"},
        {1200, "2 分音符 + 8 分音符"},
        {50, "50 [Tick]"},
        {0, "0 [Tick]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::length_text(c.ticks).str(), kv_codec::cp932_from_utf8(c.want)) << c.ticks;
}

TEST(BlockTextValues, KeysReadAsNameOctaveAndNumber) {
    const struct {
        int64_t key;
        const char* want;
    } cases[] = {
        {60, "C5 (ノート番号 60)"}, {61, "C#5 (ノート番号 61)"}, {71, "B5 (ノート番号 71)"},
        {0, "C0 (ノート番号 0)"},   {-1, "B-1 (ノート番号 -1)"}, {127, "G10 (ノート番号 127)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::key_text(c.key).str(), kv_codec::cp932_from_utf8(c.want)) << c.key;
}

TEST_F(BlockText, PitchesComeFromThePlayersResolution) {
    MseqObject* node = add_note(16);
    MseqBlockNote tone;  // E of the key, at the track's octave 5, without a chord track: C major
    tone.m_Whole = 2;
    note_track(node)->put_block(0, pure(0, 5, 2));
    note_track(node)->put_block(4, tone);
    open();
    const MedtTrack& t = *editor->find_track(node->id);
    int64_t key = -1;
    ASSERT_TRUE(text::note_key(t, 0, pure(0, 5, 2), &key));
    EXPECT_EQ(key, 60);
    ASSERT_TRUE(text::note_key(t, 4, tone, &key));
    EXPECT_EQ(key, 64);
    music->m_Transpose = 2;
    ASSERT_TRUE(text::note_key(t, 4, tone, &key));
    EXPECT_EQ(key, 66);
    note_track(node)->m_Octave = 4;
    ASSERT_TRUE(text::note_key(t, 4, tone, &key));
    EXPECT_EQ(key, 54);
    // A muted track sounds at no key.
    note_track(node)->m_Flags &= ~MTF_OUTPUT;
    EXPECT_FALSE(text::note_key(t, 4, tone, &key));
}

TEST_F(BlockText, TipsNameTheBlockUnderThePosition) {
    MseqObject* notes = add_note(16);
    MseqObject* labels = add(music->header(), MPLACE_LAST_CHILD, MTYPE_TRACK_MARKER, 4, "l");
    MseqObject* odd = add_note(3, "odd");
    note_track(notes)->put_block(2, pure(0, 5, 2));
    MseqBlockLabel label;
    label.m_Label = CkvString("A");
    static_cast<MseqTrackLabel*>(mseq_track_of(labels))->put_block(1, label);
    note_track(odd)->put_block(0, pure(0, 5));
    open();
    const std::string want =
        "C5" + sjis("  音高 C5 (ノート番号 60)  長さ 8 分音符  ベロシティ 100");
    EXPECT_EQ(tip(notes, 2), want);
    EXPECT_EQ(tip(notes, 3), want);
    EXPECT_EQ(tip(notes, 1), "");
    EXPECT_EQ(tip(notes, 4), "");
    EXPECT_EQ(tip(notes, -1), "");
    // A label holds until the next one.
    EXPECT_EQ(tip(labels, 0), "");
    EXPECT_EQ(tip(labels, 1), "A");
    EXPECT_EQ(tip(labels, 40), "A");
    // A row that is not drawn has no tips.
    EXPECT_EQ(tip(odd, 0), "");
}

}  // namespace block_text_test
