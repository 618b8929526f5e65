// The conversion of a MIDI file into a music: the grid each note track gets and the lags that
// carry what the grid cannot place, voices for simultaneous notes, drums as rhythm tracks, the
// stage map from the set-up before the first note, tempo, texts and titles, and the refusal of
// a file that needs more tracks than a music holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/lang/KvLanguage.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "play/import/MplyImport.h"
#include "play/import/SmfBuilder.h"

namespace import_music_test {

using smf_builder::TrackBytes;

// A fresh music with its node, the stage map and what the import said.
struct Imported {
    Imported() : node(0x10110001, MTYPE_LEAF_MUSIC, CkvString("m"), MseqDescPath()) {
        music = new MseqMusic(&node);
        node.attach(music);
        stage = ref_ptr<MseqMapStage>::adopt(new MseqMapStage());
    }
    bool run(const std::string& bytes) {
        MplySmfError error;
        if (!mply_read_smf(bytes, &file, &error)) {
            ADD_FAILURE() << mply_smf_fault_text(error.fault) << " at " << error.offset;
            return false;
        }
        return mply_import_music(file, *music, *stage, &report, &fault, &needed);
    }
    // The tracks under `parent` in order.
    std::vector<MseqObject*> children(MseqObject* parent) const {
        std::vector<MseqObject*> out;
        for (MseqObject* c = parent->first_child(); c; c = c->next())
            out.push_back(c);
        return out;
    }
    template <class T>
    T* track(MseqObject* n) const {
        return n->entity() ? n->entity()->cast_to<T>(n->type) : nullptr;
    }
    // The note tracks of the first group of the part.
    std::vector<MseqTrackNote*> voices(size_t group = 0) const {
        std::vector<MseqTrackNote*> out;
        std::vector<MseqObject*> groups;
        for (MseqObject* g : children(music->detail()))
            if (g->type == MTYPE_TRACK_GROUP) groups.push_back(g);
        if (group >= groups.size()) return out;
        for (MseqObject* n : children(groups[group]))
            if (n->type == MTYPE_TRACK_NOTE) out.push_back(track<MseqTrackNote>(n));
        return out;
    }

    MseqObject node;
    MseqMusic* music;
    ref_ptr<MseqMapStage> stage;
    MplySmfFile file;
    MplyImportReport report;
    MplyImportFault fault = MplyImportFault::none;
    uint32_t needed = 0;
};

// One voice of notes on channel 0, each {start, length} in file ticks.
std::string one_voice(uint16_t division, const std::vector<std::pair<uint32_t, uint32_t>>& notes) {
    TrackBytes t;
    uint32_t at = 0;
    for (const auto& [start, length] : notes) {
        t.on(start - at, 0, 60, 100).off(length, 0, 60);
        at = start + length;
    }
    t.end();
    return smf_builder::file(0, division, {t});
}

struct GridCase {
    const char* what;
    uint16_t division;
    std::vector<std::pair<uint32_t, uint32_t>> notes;
    int32_t beat;
    uint32_t flags;  // the lag flags of the first note
};

TEST(ImportMusic, ChoosesTheCoarsestGridAndLagsOnlyWhatItCannotPlace) {
    const std::vector<GridCase> cases = {
        {"quarters", 480, {{0, 480}, {480, 480}, {1440, 960}}, 4, 0},
        {"quarters at 96", 96, {{0, 96}, {96, 96}}, 4, 0},
        {"half notes at 960", 960, {{0, 1920}, {1920, 1920}}, 2, 0},
        {"sixteenths", 480, {{0, 120}, {120, 120}, {360, 120}}, 16, 0},
        {"eighth triplets at 120", 120, {{0, 40}, {40, 40}, {80, 40}}, 12, 0},
        {"staccato on sixteenths", 480, {{0, 100}, {120, 100}, {240, 100}}, 16, MNBF_OWN_ETIME},
        {"played", 480, {{7, 440}, {491, 455}}, 64, MNBF_OWN_STIME | MNBF_OWN_ETIME},
    };
    for (const GridCase& c : cases) {
        Imported im;
        ASSERT_TRUE(im.run(one_voice(c.division, c.notes))) << c.what;
        const auto voices = im.voices();
        ASSERT_EQ(voices.size(), 1u) << c.what;
        MseqTrackNote* t = voices[0];
        EXPECT_EQ(t->m_Beat, c.beat) << c.what;
        ASSERT_EQ(t->block_count(), c.notes.size()) << c.what;
        const auto& first = t->blocks().begin()->second;
        EXPECT_EQ(first.m_Flags, c.flags) << c.what;
        // Each note, placed and lagged, starts and ends at its own tick.
        const int64_t unit = 1920 / t->m_Beat;
        size_t i = 0;
        for (const auto& [index, note] : t->blocks()) {
            const int64_t on = index * unit + (note.m_Flags & MNBF_OWN_STIME ? note.m_STime : 0);
            const int64_t len =
                note.m_Length * unit + (note.m_Flags & MNBF_OWN_ETIME ? note.m_ETime : 0);
            EXPECT_EQ(on, mply_import_tick(c.notes[i].first, c.division)) << c.what << " " << i;
            EXPECT_EQ(len, mply_import_tick(c.notes[i].second, c.division)) << c.what << " " << i;
            EXPECT_LE(std::abs(note.m_STime), 240);
            EXPECT_LE(std::abs(note.m_ETime), 240);
            ++i;
        }
        EXPECT_EQ(im.report.notes, c.notes.size()) << c.what;
    }
}

TEST(ImportMusic, SimultaneousNotesBecomeAsFewVoicesAsTheMusicNeedsInOneGroup) {
    TrackBytes t;
    t.meta(0, 0x03, "Piano");
    // A triad, then a single note, then two notes overlapping by a quarter.
    t.on(0, 2, 60, 90).on(0, 2, 64, 90).on(0, 2, 67, 90);
    t.off(480, 2, 60).off(0, 2, 64).off(0, 2, 67);
    t.on(0, 2, 72, 80).off(480, 2, 72);
    t.on(0, 2, 48, 70).on(480, 2, 50, 70).off(480, 2, 48).off(480, 2, 50).end();
    Imported im;
    ASSERT_TRUE(im.run(smf_builder::file(1, 480, {TrackBytes().end(), t})));
    const auto groups = im.children(im.music->detail());
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->name, CkvString("Piano"));
    EXPECT_EQ(im.track<MseqTrackGroup>(groups[0])->m_Channel, 2);
    const auto voices = im.voices();
    ASSERT_EQ(voices.size(), 3u);
    const char* names[] = {"Piano", "Piano 2", "Piano 3"};
    // In start order each note takes the first voice free: C4, C5 and C3 the first, E4 and D3
    // (which starts while C3 sounds) the second, G4 the third.
    const size_t counts[] = {3, 2, 1};
    for (size_t v = 0; v < 3; ++v) {
        EXPECT_EQ(voices[v]->owner->name, CkvString(names[v]));
        EXPECT_EQ(voices[v]->m_Channel, 2);
        EXPECT_EQ(voices[v]->block_count(), counts[v]) << v;
    }
    const auto& first = voices[0]->blocks().begin()->second;
    EXPECT_EQ(first.m_Type, MNBT_PURE);
    EXPECT_EQ(first.m_Octave, 5);
    EXPECT_EQ(first.m_Whole, 0);
    EXPECT_EQ(first.m_Velocity, 90);
    EXPECT_EQ(im.report.note_tracks, 3u);
    EXPECT_EQ(im.report.parts, 1u);
}

TEST(ImportMusic, DrumsBecomeOneRhythmTrackADrumSound) {
    TrackBytes t;
    t.running = true;
    for (int beat = 0; beat < 4; ++beat) {
        t.on(beat ? 240 : 0, 9, 36, 110).on(0, 9, 42, 70);
        t.off(240, 9, 36, true).off(0, 9, 42, true);
    }
    t.end();
    Imported im;
    ASSERT_TRUE(im.run(smf_builder::file(0, 480, {t})));
    const auto voices = im.voices();
    ASSERT_EQ(voices.size(), 2u);
    const uint32_t drums[] = {36, 42};
    for (size_t v = 0; v < 2; ++v) {
        EXPECT_EQ(voices[v]->m_Rhythm.m_Attrib, MWORD_DRUM_SOUND);
        EXPECT_EQ(voices[v]->m_Rhythm.m_Index, drums[v]);
        EXPECT_EQ(voices[v]->owner->name, voices[v]->m_Rhythm.m_Name);
        EXPECT_EQ(voices[v]->m_Beat, 8);
        ASSERT_EQ(voices[v]->block_count(), 4u);
        EXPECT_EQ(voices[v]->blocks().begin()->second.m_Type, MNBT_RHYTHM);
    }
    EXPECT_EQ(im.stage->block(9)->m_Flags, MSTAGE_USED);
    EXPECT_EQ(im.stage->block(9)->m_Program.m_Attrib, MWORD_DRUM_KIT);
}

TEST(ImportMusic, SetUpBeforeTheFirstNoteGoesToTheStageMapAndLaterChangesToMessageTracks) {
    TrackBytes conductor;
    conductor.meta(0, 0x03, "50% off");
    conductor.meta(0, 0x02, "(c) us");
    conductor.tempo(0, 400000);                   // 150 a minute
    conductor.meta(0, 0x58, "\x03\x02\x18\x08");  // 3/4
    conductor.meta(0, 0x06, "Intro");
    conductor.tempo(1920, 500000);  // 120 at bar 2
    conductor.tempo(0, 500000);     // the same again: nothing to change
    conductor.tempo(960, 461538);   // 130.000...: rounded
    conductor.end();
    TrackBytes t;
    t.msg(0, 0xB1, 0, 1).msg(0, 0xB1, 32, 2).msg(0, 0xC1, 33);
    t.msg(0, 0xB1, 7, 100).msg(0, 0xB1, 10, 30).msg(0, 0xB1, 74, 5);
    t.msg(0, 0xB5, 74, 90);  // a channel that plays no note
    t.on(0, 1, 40, 100).off(1920, 1, 40);
    t.msg(0, 0xC1, 34).msg(240, 0xB1, 7, 80).msg(0, 0xA1, 40, 10);
    t.meta(0, 0x05, kv_codec::utf8_from_cp932(kv_codec::cp932_from_utf8("うた")));
    t.on(0, 1, 41, 100).off(480, 1, 41).end();
    Imported im;
    ASSERT_TRUE(im.run(smf_builder::file(1, 480, {conductor, t})));
    EXPECT_EQ(im.music->m_Title, CkvString("50%% off"));
    EXPECT_EQ(im.music->m_Copyright, CkvString("(c) us"));
    EXPECT_EQ(im.music->m_Tempo, 150);

    const MseqBlockStage& ch1 = *im.stage->block(1);
    EXPECT_EQ(ch1.m_Flags, MSTAGE_USED | MSTAGE_PROGRAM | MSTAGE_VOLUME | MSTAGE_PAN);
    EXPECT_EQ(ch1.m_Program.m_Index, 33u | 2u << 8 | 1u << 16);
    EXPECT_EQ(ch1.m_Volume, 100);
    EXPECT_EQ(ch1.m_Pan, 30);
    EXPECT_EQ(im.stage->block(0)->m_Flags, 0u);

    // Header: tempo, marker, lyric and memo tracks.
    auto header = im.children(im.music->header());
    ASSERT_EQ(header.size(), 4u);
    auto* tempo = im.track<MseqTrackTempo>(header[0]);
    ASSERT_TRUE(tempo);
    std::vector<std::pair<int64_t, int32_t>> changes;
    for (const auto& [index, block] : tempo->blocks())
        changes.push_back({index * 1920 / tempo->m_Beat, block.m_Value});
    const std::vector<std::pair<int64_t, int32_t>> want_tempo = {{1920, 120}, {2880, 130}};
    EXPECT_EQ(changes, want_tempo);
    EXPECT_EQ(im.report.tempo_rounded, 1u);
    EXPECT_EQ(header[1]->type, MTYPE_TRACK_MARKER);
    EXPECT_EQ(header[2]->type, MTYPE_TRACK_LYRIC);
    auto* lyric = im.track<MseqTrackLabel>(header[2]);
    ASSERT_EQ(lyric->block_count(), 1u);
    EXPECT_EQ(lyric->blocks().begin()->second.m_Label,
              CkvString(kv_codec::cp932_from_utf8("うた")));
    EXPECT_EQ(header[3]->type, MTYPE_TRACK_MEMO);
    EXPECT_EQ(im.track<MseqTrackLabel>(header[3])->blocks().begin()->second.m_Label,
              CkvString("time 3/4"));

    // The group holds the note track and the later program change, volume and the
    // controller 74 (which the stage map does not hold); key pressure and the change of a
    // channel without notes are left out.
    auto group = im.children(im.children(im.music->detail())[0]);
    ASSERT_EQ(group.size(), 4u);
    std::vector<std::vector<uint8_t>> forms;
    for (size_t i = 1; i < group.size(); ++i) {
        auto* msg = im.track<MseqTrackMsg>(group[i]);
        ASSERT_TRUE(msg);
        forms.push_back(msg->m_Form.m_Msg);
    }
    const std::vector<std::vector<uint8_t>> want = {{0xB0, 7, 0}, {0xB0, 74, 0}, {0xC0, 0}};
    EXPECT_EQ(forms, want);
    EXPECT_EQ(im.report.dropped, 2u);
    EXPECT_EQ(im.children(im.music->detail()).size(), 1u);
    EXPECT_EQ(im.report.messages, 3u);
}

TEST(ImportMusic, RefusesAFileNeedingMoreTracksThanAMusicHoldsAndLeavesTheMusicAlone) {
    TrackBytes t;
    for (uint8_t ch = 0; ch < 3; ++ch) {
        for (uint8_t key = 0; key < 100; ++key)
            t.on(0, ch, key, 64);
    }
    t.end(480);
    Imported im;
    EXPECT_FALSE(im.run(smf_builder::file(0, 480, {t})));
    EXPECT_EQ(im.fault, MplyImportFault::too_many_tracks);
    EXPECT_EQ(im.needed, 3u + 3u * 101u);
    EXPECT_EQ(im.music->header()->first_child(), nullptr);
    EXPECT_EQ(im.music->detail()->first_child(), nullptr);
    // The notes never switched off would have been ended at the end of their track.
    EXPECT_EQ(im.report.hanging_notes, 300u);
}

// Sets a language for one test and puts Japanese back after it.
class LanguageScope {
public:
    explicit LanguageScope(kv_language language) { kv_set_language(language); }
    ~LanguageScope() { kv_set_language(kv_language::japanese); }
};

// A conductor track with a tempo, a marker, a lyric and a text; drums and a pan change on
// channel 0 after its first note.
std::string file_with_everything() {
    TrackBytes conductor;
    conductor.tempo(0, 500000).meta(0, 0x06, "Intro").meta(0, 0x05, "la").meta(0, 0x01, "memo");
    conductor.tempo(1920, 400000).end();
    TrackBytes t;
    t.on(0, 9, 38, 100).off(480, 9, 38).on(0, 0, 60, 90).msg(240, 0xB0, 10, 20).off(240, 0, 60);
    t.end();
    return smf_builder::file(1, 480, {conductor, t});
}

// The names an import gives what it makes, track by track, as UTF-8.
std::vector<std::string> made_names(const Imported& im) {
    std::vector<std::string> names;
    for (MseqObject* n = im.music->root(); n; n = n->next_in(im.music->root()))
        names.push_back(kv_codec::utf8_from_cp932(n->name.str()));
    return names;
}

TEST(ImportMusic, NewTracksAreNamedInTheLanguageShownAndTheFileTextsAsWritten) {
    Imported japanese;
    ASSERT_TRUE(japanese.run(file_with_everything()));
    // The music is made and filled while the program speaks English, as a new music is.
    std::unique_ptr<Imported> made_in_english;
    {
        LanguageScope scope(kv_language::english);
        made_in_english = std::make_unique<Imported>();
        ASSERT_TRUE(made_in_english->run(file_with_everything()));
    }
    const Imported& english = *made_in_english;
    const std::vector<std::string> ja = made_names(japanese), en = made_names(english);
    ASSERT_EQ(ja.size(), en.size());
    for (const char* name : {"トラックリスト", "ヘッダ", "パート", "テンポ", "マーカー", "歌詞",
                             "メモ", "アコースティックスネア", "パンポット"})
        EXPECT_NE(std::find(ja.begin(), ja.end(), name), ja.end()) << name;
    for (const char* name : {"Track list", "Header", "Part", "Tempo", "Markers", "Lyrics", "Memo",
                             "Acoustic Snare", "Pan"})
        EXPECT_NE(std::find(en.begin(), en.end(), name), en.end()) << name;
    for (const std::string& name : en) {
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) { return c > 0; }))
            << name << " is not English";
    }
    // The texts the file holds are the same in either language.
    auto label = [](const Imported& im, MSEQ_TYPE type) {
        for (MseqObject* n : im.children(im.music->header())) {
            if (n->type == type)
                return im.track<MseqTrackLabel>(n)->blocks().begin()->second.m_Label;
        }
        return CkvString("(none)");
    };
    for (MSEQ_TYPE type : {MTYPE_TRACK_MARKER, MTYPE_TRACK_LYRIC, MTYPE_TRACK_MEMO})
        EXPECT_EQ(label(english, type), label(japanese, type)) << type;
    EXPECT_EQ(label(english, MTYPE_TRACK_MARKER), CkvString("Intro"));
}

}  // namespace import_music_test
