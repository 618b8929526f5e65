// The editor in English: the music view's commands, property rows and their choices, block
// texts and note names, chord names and the questions the editor asks follow the language
// shown, while numbers, keys and stored names stay what they are. Every test switches to
// English for its own length and back, as the window does when the setting changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/MedtBlockText.h"
#include "edit/MedtLaneSet.h"
#include "edit/MedtNoteNames.h"
#include "edit/MedtTrack.h"
#include "edit/MedtViewCommands.h"
#include "edit/map/MapTestSupport.h"
#include "edit/map/MedtChordMapView.h"
#include "edit/map/MedtDegreePicker.h"
#include "edit/map/MedtStageMapView.h"
#include "edit/press/MedtTrackPress.h"
#include "model/core/MseqType.h"
#include "model/lang/KvLanguage.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"

namespace english_texts_test {

namespace mvc = medt_view_commands;
namespace text = medt_block_text;

// English while it lives, Japanese again afterwards.
class English {
public:
    English() { kv_set_language(kv_language::english); }
    ~English() { kv_set_language(kv_language::japanese); }
    English(const English&) = delete;
    English& operator=(const English&) = delete;
};

std::string u8(const CkvString& s) {
    return kv_codec::utf8_from_cp932(s);
}

bool ascii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

const std::vector<const std::vector<MedtViewCommand>*> all_tables() {
    return {&mvc::note_kinds(),     &mvc::display_toggles(),    &mvc::edit_commands(),
            &mvc::track_commands(), &mvc::add_track_commands(), &mvc::zoom_commands(),
            &mvc::lane_commands(),  &mvc::entry_commands()};
}

// What a command is apart from its words.
struct Shape {
    std::string key, other_key, label_ja, status_ja, bar_ja;
};

TEST(EnglishTexts, ViewCommandsSpeakEnglishAndKeepTheirKeys) {
    std::map<int32_t, Shape> japanese;
    for (const auto* table : all_tables())
        for (const MedtViewCommand& c : *table)
            japanese[c.id] = {c.key, c.other_key, u8(mvc::label(c.id)), u8(mvc::status_text(c.id)),
                              u8(mvc::bar_label(c.id))};
    {
        English english;
        size_t count = 0;
        for (const auto* table : all_tables()) {
            for (const MedtViewCommand& c : *table) {
                ++count;
                ASSERT_TRUE(japanese.count(c.id)) << c.id;
                const Shape& ja = japanese[c.id];
                // The same keys answer the command in either language.
                EXPECT_EQ(c.key, ja.key) << c.id;
                EXPECT_EQ(c.other_key, ja.other_key) << c.id;
                if (*c.key) {
                    ASSERT_NE(mvc::find_key(c.key), nullptr) << c.key;
                    EXPECT_EQ(mvc::find_key(c.key)->id, c.id) << c.key;
                }
                // The table the window reads holds the English words themselves.
                const std::string label = u8(mvc::label(c.id)), status = u8(mvc::status_text(c.id));
                EXPECT_EQ(label, *c.key ? std::string(c.name) + "\t" + c.key : c.name);
                EXPECT_EQ(status, c.status);
                for (const std::string& s : {label, status, u8(mvc::bar_label(c.id))}) {
                    EXPECT_FALSE(s.empty()) << c.id;
                    EXPECT_TRUE(ascii(s)) << c.id << ": " << s;
                }
                EXPECT_NE(label, ja.label_ja) << c.id;
                EXPECT_NE(status, ja.status_ja) << c.id;
                EXPECT_NE(u8(mvc::bar_label(c.id)), ja.bar_ja) << c.id;
            }
        }
        EXPECT_EQ(count, japanese.size());
        EXPECT_EQ(u8(mvc::label(MVC_DRAW_PURE)), "Draw pure notes\tE");
        EXPECT_EQ(u8(mvc::label(MVC_REDO)), "Redo\tCtrl+Shift+Z");
        EXPECT_EQ(u8(mvc::status_text(MVC_COPY)), "Copies the selection. [Ctrl]+[C]");
        EXPECT_EQ(u8(mvc::bar_label(MVC_SHOW_DEGREE)), "Degrees");
        EXPECT_EQ(u8(mvc::bar_label(MVC_UNDO)), "Undo");  // no shorter name: the label
        EXPECT_EQ(u8(mvc::label(MVC_ADD_PRESET_LAST)), "MIDI message: Phaser (95)");
    }
    // Back in Japanese the words are Japanese again: nothing kept the English.
    EXPECT_EQ(u8(mvc::label(MVC_DRAW_PURE)), japanese[MVC_DRAW_PURE].label_ja);
    EXPECT_EQ(std::string(mvc::note_kinds().front().name), "ピュア音符で描く");
}

// A music with a note track and a phrase track, as the property list and the music view see it.
class EnglishEditor : public EditFixture {
protected:
    static std::vector<MedtProperty> rows(const MedtTrack& t) {
        std::vector<MedtProperty> out;
        t.build_properties(out);
        return out;
    }
    static const MedtProperty* row(const std::vector<MedtProperty>& rows, int32_t number) {
        for (const MedtProperty& p : rows)
            if (p.number == number) return &p;
        return nullptr;
    }
    static MseqBlockNote pure(int whole, int semi, int octave, int length = 1) {
        MseqBlockNote n;
        n.set_type(MNBT_PURE);
        n.m_Whole = static_cast<int8_t>(whole);
        n.m_Semi = static_cast<int8_t>(semi);
        n.m_Octave = static_cast<int8_t>(octave);
        n.m_Length = length;
        return n;
    }
};

TEST_F(EnglishEditor, PropertyRowsNameHelpAndChoicesInEnglish) {
    MseqObject* node = add_note(16, "melody");
    open();
    const MedtTrack& track = *editor->find_track(node->id);
    const std::vector<MedtProperty> japanese = rows(track);
    std::vector<std::string> kinds_ja;
    CkvString choice;
    for (int32_t i = 0;
         track.property_choice(MROW_NOTE_KIND, i, nullptr, &choice) != MCHOICE_PAST_END; ++i)
        kinds_ja.push_back(u8(choice));
    ASSERT_EQ(kinds_ja.size(), 5u);

    English english;
    const std::vector<MedtProperty> listed = rows(track);
    ASSERT_EQ(listed.size(), japanese.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        // The same rows in the same order, each worded in English.
        EXPECT_EQ(listed[i].number, japanese[i].number);
        EXPECT_EQ(listed[i].style, japanese[i].style);
        EXPECT_TRUE(ascii(listed[i].name.str())) << listed[i].number;
        EXPECT_TRUE(ascii(listed[i].help.str())) << listed[i].number;
        EXPECT_FALSE(listed[i].help.empty()) << listed[i].number;
    }
    const MedtProperty* kind = row(listed, MROW_NOTE_KIND);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(u8(kind->name), "Note kind");
    EXPECT_EQ(u8(kind->help).rfind("The kind of notes placed.", 0), 0u);
    ASSERT_NE(row(listed, MROW_CHANNEL), nullptr);
    EXPECT_EQ(u8(row(listed, MROW_CHANNEL)->name), "Channel");
    EXPECT_EQ(u8(row(listed, MROW_NAME)->name), "Name");

    std::vector<std::string> kinds;
    std::string current;
    for (int32_t i = 0;; ++i) {
        const int answer = track.property_choice(MROW_NOTE_KIND, i, nullptr, &choice);
        if (answer == MCHOICE_PAST_END) break;
        kinds.push_back(u8(choice));
        if (answer == MCHOICE_CURRENT) current = kinds.back();
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"As chosen in the editor", "Melody notes",
                                               "Chord notes", "Rhythm notes", "Pure notes"}));
    // The value shown is the current choice's English name.
    EXPECT_FALSE(current.empty());
    EXPECT_EQ(u8(track.property_text(MROW_NOTE_KIND, nullptr)), current);
    // The block count's word and the stored name: the count in English, the name as written.
    EXPECT_EQ(u8(track.property_text(MROW_COUNT, nullptr)), "[ 0 ]");
    EXPECT_EQ(u8(track.property_text(MROW_NAME, nullptr)), "melody");
}

TEST(EnglishTexts, NoteNamesUseLettersWithSharpAndFlatSigns) {
    auto note = [](uint32_t type, int whole, int semi, int octave) {
        MseqBlockNote n;
        n.m_Type = type;
        n.m_Whole = static_cast<int8_t>(whole);
        n.m_Semi = static_cast<int8_t>(semi);
        n.m_Octave = static_cast<int8_t>(octave);
        return n;
    };
    auto named = [](const MseqBlockNote& n, int32_t mode) {
        return u8(MedtNoteNames::name(n, mode));
    };
    const MseqBlockNote c_sharp = note(MNBT_PURE, 0, 1, 5);
    const std::string letters_ja = named(c_sharp, 0), major_ja = named(c_sharp, 1);
    English english;
    // Letters as written, the octave of a pure note after them.
    EXPECT_EQ(named(c_sharp, 0), "C♯5");
    EXPECT_EQ(named(note(MNBT_PURE, 2, -1, 4), 0), "E♭4");
    EXPECT_EQ(named(note(MNBT_PURE, 0, 2, 3), 0), "C♯♯3");
    EXPECT_EQ(named(note(MNBT_PURE, 6, -2, 4), 0), "B♭♭4");
    // A major or minor key display spells a note as the key table does: C sharp in a major
    // key is D flat, F sharp in a major key stays F sharp, E flat in a minor key stays E flat.
    EXPECT_EQ(named(c_sharp, 1), "D♭5");
    EXPECT_EQ(named(c_sharp, 2), "C♯5");
    EXPECT_EQ(named(note(MNBT_PURE, 3, 1, 4), 1), "F♯4");
    EXPECT_EQ(named(note(MNBT_PURE, 2, -1, 4), 2), "E♭4");
    EXPECT_EQ(named(note(MNBT_PURE, 3, 0, 4), 1), "F4");
    // Tone notes show their octave shift; degrees keep their numbers in either language.
    EXPECT_EQ(named(note(MNBT_TONE, 6, -1, -2), 0), "B♭-2");
    EXPECT_EQ(named(note(MNBT_TONE, 2, 0, 1), 1), "E+1");
    EXPECT_EQ(named(note(MNBT_SDEG, 2, 0, 0), 1), "S3");
    EXPECT_EQ(named(note(MNBT_CDEG, 0, 1, -1), 2), "C1#(-1)");
    EXPECT_NE(named(c_sharp, 0), letters_ja);
    EXPECT_NE(named(c_sharp, 1), major_ja);
}

TEST_F(EnglishEditor, BlockTextsAndTipsInEnglish) {
    MseqObject* notes = add_note(16);
    note_track(notes)->put_block(2, pure(0, 0, 5, 2));
    open();
    English english;
    EXPECT_EQ(u8(text::key_text(61)), "C♯5 (note 61)");
    EXPECT_EQ(u8(text::key_text(-1)), "B-1 (note -1)");
    EXPECT_EQ(u8(text::length_text(720)), "dotted quarter note");
    EXPECT_EQ(u8(text::length_text(384)), "quarter-note quintuplet");
    EXPECT_EQ(u8(text::length_text(2 * MseqTrack::kTicksPerBar + 240)), "2 bars + 8th note");
    EXPECT_EQ(u8(text::length_text(MseqTrack::kTicksPerBar + 240)), "whole note + 8th note");
    EXPECT_EQ(u8(text::length_text(50)), "50 [Tick]");
    EXPECT_EQ(u8(text::refer_mode(MRBM_BLOCK_KEEP)), "Keep");
    EXPECT_EQ(u8(text::refer_mode(MRBM_STRETCH)), "Stretch");
    EXPECT_EQ(u8(text::tip(*editor->find_track(notes->id), 3)),
              "C5  Pitch C5 (note 60)  Length 8th note  Velocity 100");
    EXPECT_EQ(u8(MedtLaneSet::key_name(66)), "F♯5");
}

TEST(EnglishTexts, ChordNamesAndTheChordMapViewInEnglish) {
    ref_ptr<MseqMapChord> map = ref_ptr<MseqMapChord>::adopt(new MseqMapChord);
    map->name = CkvString("map");
    ModifiedGuard guard(map.get());
    ScriptedQuestions no(false);
    MedtChordMapView view(map.get(), nullptr, &no);
    view.select_key(MedtKeySelector::Chord, 1);
    const std::string japanese = view.chord_row(16).name.str();
    ASSERT_EQ(japanese, "G#maj");  // G in C is G sharp in C sharp
    English english;
    EXPECT_EQ(u8(view.chord_row(16).name), "G♯maj");
    EXPECT_EQ(u8(view.chord_row(12).name), "C♯maj");
    // The degree picker's chord-name display names them the same way.
    MedtDegreePicker picker(map.get(), -1, true);
    bool found = false;
    for (const MedtDegreeItem& item : picker.items()) {
        if (item.slot != 16) continue;
        EXPECT_EQ(u8(item.label), "G♯maj");
        found = true;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(u8(MedtChordMapView::command_label(MEDT_CMD_SCALE_ADD)), "Add to scale list");
    EXPECT_EQ(u8(MedtChordMapView::scale_column_title(1)), "Scale / mode");
    EXPECT_EQ(u8(MedtChordMapView::key_selector_help(MedtKeySelector::Melody)),
              "Chooses the relative key of melody notes.");
    EXPECT_EQ(u8(MedtStageMapView::command_label(MEDT_CMD_STAGE_GM2)), "GM 2 System On");
    // The palette question names the variant inside the English sentence.
    EXPECT_FALSE(view.command(MEDT_CMD_PALETTE_MINOR3));
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(
        no.asked[0],
        "Build a chord map of minor-key triads?\n\nThe chord map's present contents are lost.");
    EXPECT_EQ(u8(MedtDegreePicker(nullptr, -1, false).empty_text()),
              "No chord of the chord map is on");
}

TEST_F(EnglishEditor, QuestionsFillTheirValuesInEnglishOrder) {
    MseqObject* node = add_note(16, "lead");
    open();
    English english;
    ASSERT_TRUE(editor->set_cursor(editor->find_track(node->id), 0, 0));
    port.answers = {false};
    EXPECT_EQ(editor->command(MVC_DELETE_TRACK), 1);
    ASSERT_EQ(port.log.size(), 1u);
    char id[16];
    std::snprintf(id, sizeof id, "0x%08x", node->id);
    EXPECT_EQ(port.log[0], "ask:Delete this track?\n\nID\t" + std::string(id) +
                               "\nName\tlead\nType\t" + mseq_type_name(MTYPE_TRACK_NOTE).str());
    EXPECT_NE(music->find_track(node->id), nullptr);  // refused: the track stays
}

TEST_F(EnglishEditor, TheHomeMarkerIsTheOneOfTheLanguageShown) {
    MseqObject* refer = add(music->detail(), MPLACE_LAST_CHILD, MTYPE_TRACK_REFER, 4, "p");
    MseqBlockRefer block;
    block.m_Length = 4;
    block.m_PhraseID = 0x200005;
    mseq_track_of(refer)->set_block(4, 0, &block);
    open();
    MedtTrack& track = *editor->find_track(refer->id);
    // Asked in Japanese first, so that a name kept from the first use would be the Japanese one.
    EXPECT_FALSE(MedtTrackPress::start_marker(*editor, track, 2, CkvString(sjis("<ホーム>"))));
    English english;
    auto* stored = dynamic_cast<MseqTrackRefer*>(mseq_track_of(refer));
    ASSERT_NE(stored, nullptr);
    ASSERT_TRUE(MedtTrackPress::start_marker(*editor, track, 2, CkvString("Verse")));
    ASSERT_NE(stored->block_at(0), nullptr);
    EXPECT_EQ(stored->block_at(0)->m_StartMarker.str(), "Verse");
    // The English menu's first entry means the phrase's beginning: no marker stored.
    EXPECT_TRUE(MedtTrackPress::start_marker(*editor, track, 2, CkvString("<Home>")));
    EXPECT_EQ(stored->block_at(0)->m_StartMarker.str(), "");
}

}  // namespace english_texts_test
