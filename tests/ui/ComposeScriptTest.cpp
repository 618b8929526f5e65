#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "model/core/MseqDesk.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"
#include "text/MrecCompiler.h"
#include "ui/DiskLibraryTest.h"
#include "ui/RunProgram.h"

namespace compose_script_test {

// A library with an empty music to compose: a chord track linked to a chord map in C major, a
// melody track and a drum track, a phrase track, and two standard patterns linked into the
// music's book.
class ComposeLibrary : public DiskLibraryTest {
protected:
    template <class T>
    static T* track(MseqMusic* m, MSEQ_TYPE type, MSEQ_ID parent, const char* name, int32_t beat) {
        MseqObject* node = m->create_track(parent, MPLACE_LAST_CHILD, type, CkvString(name));
        T* t = mseq_open(node)->cast_to<T>(type);
        t->m_Beat = beat;
        return t;
    }

    void build() override {
        std::filesystem::copy(std::string(KV_APP_DATA) + "/pattern_v01", host("pattern_v01"),
                              std::filesystem::copy_options::recursive);
        const auto [songs, book] =
            write_room("Lib", CkvString(kv_codec::cp932_from_utf8("曲")), "songs.kvnb");
        ASSERT_NE(book, nullptr);
        MseqObject* song = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_MUSIC,
                                             CkvString("Song"), MseqDescPath("<book>song.kvnl"));
        MseqObject* keys = book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_CHORD,
                                             CkvString("Keys"), MseqDescPath("<book>keys.kvnl"));
        book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("Drums"),
                          MseqDescPath("<book>pattern_v01\\drums\\drums_8beat.kvnl"));
        book->create_leaf(songs, MPLACE_LAST_CHILD, MTYPE_LEAF_PHRASE, CkvString("Bass"),
                          MseqDescPath("<book>pattern_v01\\bass\\bass_root_8.kvnl"));
        ASSERT_TRUE(MrecCompiler::save(book));

        ref_ptr<MseqMapChord> map = ref_ptr<MseqMapChord>::adopt(new MseqMapChord);
        map->name = keys->name;
        map->full_path = windows("keys.kvnl");
        ASSERT_TRUE(MrecCompiler::save(map.get()));

        MseqMusic* music = open_music(song, "song.kvnl");
        music->m_NoteState = MNBT_SDEG;  // the editor draws scale notes
        auto* chords =
            track<MseqTrackChord>(music, MTYPE_TRACK_CHORD, MID_TRACK_HEADER, "Chords", 1);
        chords->m_MapID = mseq_with_file_number(keys->id, 2);
        const MSEQ_ID chord_ref = mseq_with_file_number(chords->owner->id, 1);
        music->m_TrackChordID = chord_ref;
        auto* melody = track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, "Melody", 4);
        melody->m_TrackChordID = chord_ref;
        melody->m_NoteType = 0x8000;
        auto* drums = track<MseqTrackNote>(music, MTYPE_TRACK_NOTE, MID_TRACK_DETAIL, "Drums", 4);
        drums->m_Channel = 9;
        drums->m_NoteType = MNBT_RHYTHM;
        drums->m_Rhythm = MseqBlockWord(MWORD_DRUM_SOUND, 0, 36);
        auto* phrases =
            track<MseqTrackRefer>(music, MTYPE_TRACK_REFER, MID_TRACK_DETAIL, "Phrases", 1);
        phrases->m_Channel = 1;
        phrases->m_TrackChordID = chord_ref;
        ASSERT_TRUE(MrecCompiler::save(music));
    }

    ProgramRun script(const std::string& text) {
        const std::string path = host("compose.txt");
        std::ofstream(path) << text;
        return run_program("--home '" + dir_ + "' script '" + path + "' 2>&1");
    }

    struct NoteOn {
        int time, channel, key, velocity, duration;
        bool operator==(const NoteOn&) const = default;
    };
    friend std::ostream& operator<<(std::ostream& o, const NoteOn& n) {
        return o << n.time << "/" << n.channel << "/" << n.key << "/" << n.velocity << "/"
                 << n.duration;
    }

    // The note-ons `korvante events` lists for the music.
    std::vector<NoteOn> events() {
        const ProgramRun run =
            run_program("--home '" + dir_ + "' events '" + host("library.kvnr") + "' " +
                        kv_codec::utf8_from_cp932(kv_codec::cp932_from_utf8("曲")) + "/Song");
        EXPECT_EQ(run.status, 0) << run.out;
        std::vector<NoteOn> out;
        std::istringstream in(run.out);
        std::string line;
        while (std::getline(in, line)) {
            NoteOn n{};
            if (std::sscanf(line.c_str(), "%d\tnote-on\t%d\t%d\t%d\t%d", &n.time, &n.channel,
                            &n.key, &n.velocity, &n.duration) == 5)
                out.push_back(n);
        }
        return out;
    }
};

TEST_F(ComposeLibrary, EightBarsFromPressesResolveToTheirKeys) {
    const std::string lib = host("library.kvnr");
    const ProgramRun run =
        script("open \"" + lib +
               "\" Song\n"
               // Four chords from the degree picker: C, Am, F, G, two bars each.
               "track Chords\n"
               "pick 0 12\n"
               "pick 2 17\n"
               "pick 4 15\n"
               "pick 6 16\n"
               "chord-press degree 1 left\n"
               // A melody of chord notes: degrees 0, 1, 2 and 3 of C, then 2 and 1 of Am.
               "track Melody\n"
               "property 17 コード音符\n"
               "press anchor 0 left\n"
               "press anchor 1 left\n"
               "press pitch 1 left\n"
               "press anchor 2 left\n"
               "press pitch 2 left\n"
               "press anchor 3 left\n"
               "press pitch 3 left\n"
               "press anchor 8 left\n"
               "press pitch 8 right\n"
               "press anchor 9 left\n"
               "press pitch 9 right\n"
               // Then scale notes, the kind the editor draws with.
               "property 17 エディタで選択した音符\n"
               "press anchor 16 left\n"
               "press pitch 16 left\n"
               "press pitch 16 left\n"
               "press fourth 16 left\n"
               "press anchor 17 left\n"
               "press third 17 left\n"
               "press anchor 24 left\n"
               "press pitch 24 right\n"
               "press fourth 24 right\n"
               "press velocity 24@0.5 left\n"
               "press start-lag 24 left\n"
               "lag-edit 24 start 300\n"
               "press anchor 25 left\n"
               "press pitch 27 left\n"
               // A bar of kicks drawn in one stroke; a stray one erased.
               "track Drums\n"
               "press anchor 0 left\n"
               "press anchor 1 left move\n"
               "press anchor 2 left move\n"
               "press anchor 3 left move\n"
               "press anchor 5 left\n"
               "press anchor 5 right\n"
               // Two standard patterns: drums cut at four bars, the bass in the keep mode from its
               // main section.
               "track Phrases\n"
               "press anchor 0 left\n"
               "select-phrase Drums\n"
               "press anchor 0 left\n"
               "press pitch 3 left\n"
               "select-phrase Bass\n"
               "press anchor 4 left\n"
               "press fourth 4 right\n"
               "press pitch 7 left\n"
               "press pitch 4 left\n"
               "menu-marker 4 メイン\n"
               "save\n");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("picker: 4=\"-5\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("lag-editor: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("menu: \"<ホーム>\" \"イントロ\" \"メイン\""), std::string::npos)
        << run.out;

    std::vector<NoteOn> melody, drums, intro, bass;
    for (const NoteOn& n : events()) {
        if (n.channel == 0) melody.push_back(n);
        if (n.channel == 9) drums.push_back(n);
        if (n.channel == 1) (n.time < 7680 ? intro : bass).push_back(n);
    }
    // Worked out by hand: chord notes sound root + 12 × 5 + the chord's key of the degree
    // (degree 3 wraps into the next octave); scale notes sound the C major degree + 12 × (5 +
    // octave) + accidental.
    const std::vector<NoteOn> expected_melody = {
        {0, 0, 60, 100, 480},       // C: degree 0
        {480, 0, 64, 100, 480},     // degree 1
        {960, 0, 67, 100, 480},     // degree 2
        {1440, 0, 72, 100, 480},    // degree 3: the root an octave up
        {3840, 0, 76, 100, 480},    // Am: A + 7
        {4320, 0, 72, 100, 480},    // A + 3
        {7680, 0, 65, 100, 480},    // scale degree 2 (E) sharpened: F
        {8160, 0, 77, 100, 480},    // the same an octave up
        {11760, 0, 74, 64, 480},    // degree 1 (D), octave 1; half velocity, own lag 240
        {12000, 0, 74, 100, 1440},  // the previous pitch, stretched to three beats
    };
    EXPECT_EQ(melody, expected_melody);
    const std::vector<NoteOn> expected_drums = {{0, 9, 36, 100, 480},
                                                {480, 9, 36, 100, 480},
                                                {960, 9, 36, 100, 480},
                                                {1440, 9, 36, 100, 480}};
    EXPECT_EQ(drums, expected_drums);
    // The drum pattern plays only its own sounds, cut at the end of its four bars.
    const std::set<int> kit = {36, 38, 41, 42, 46, 47, 49, 50};
    ASSERT_FALSE(intro.empty());
    for (const NoteOn& n : intro)
        EXPECT_TRUE(kit.count(n.key)) << n;
    // The bass pattern from its main section (its eighth note 8 on) fills bars 5 to 8: chord
    // degree 0 in octave 3 of the track, so the root of F (41) and then of G (43), except its
    // eighths 38 (degree 2 of G: 50) and 39 (one octave up: 55); accented every fourth eighth;
    // 240 ticks at the pattern's length rate of 90 % sound 216.
    std::vector<NoteOn> expected_bass;
    for (int eighth = 8; eighth < 40; ++eighth) {
        const int time = 7680 + (eighth - 8) * 240;
        int key = time < 11520 ? 41 : 43;
        if (eighth == 38) key = 50;
        if (eighth == 39) key = 55;
        expected_bass.push_back({time, 1, key, eighth % 4 == 0 ? 118 : 96, 216});
    }
    EXPECT_EQ(bass, expected_bass);
}

TEST_F(ComposeLibrary, EachGestureIsOneUndoStepAndChordsCanBeOwn) {
    const ProgramRun run = script("open \"" + host("library.kvnr") +
                                  "\" Song\n"
                                  "track Chords\n"
                                  "pick 0 12\n"
                                  "chord-set 1 type=7 root=D\n"
                                  "chord-set 3 key=99\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("line 5: chord field 'key=99' refused"), std::string::npos) << run.out;

    const ProgramRun drawn = script("open \"" + host("library.kvnr") +
                                    "\" Song\n"
                                    "track Chords\n"
                                    "pick 0 12\n"
                                    "chord-set 1 type=7 root=D\n"
                                    "track Drums\n"
                                    "press anchor 0 left\n"
                                    "press anchor 1 left move\n"
                                    "press anchor 2 left move\n"
                                    "press anchor 6 left\n"
                                    "print undo\n"
                                    "command 40268\n"  // the music view's undo
                                    "print undo\n"
                                    "save\n");
    ASSERT_EQ(drawn.status, 0) << drawn.out;
    EXPECT_NE(drawn.out.find("4\n3\n"), std::string::npos) << drawn.out;
    std::ifstream in(host("song.kvnl"), std::ios::binary);
    ASSERT_TRUE(in.good());
    std::ostringstream text;
    text << in.rdbuf();
    // A chord of its own (flag 0x01) on D, relative to the key, with the keys of "7".
    EXPECT_NE(text.str().find("{  1; \"7\"; 0x11; 0; 0; 0; 2; @array; type=\"MSEQ_KEY\"; "
                              "{{0x0;0;}{0x0;4;}{0x0;7;}{0x0;10;}} }"),
              std::string::npos)
        << text.str();
    const std::vector<NoteOn> expected = {
        {0, 9, 36, 100, 480}, {480, 9, 36, 100, 480}, {960, 9, 36, 100, 480}};
    EXPECT_EQ(events(), expected);
}

}  // namespace compose_script_test
