// The MusicXML score of a run: how notes are laid into bars and voices (on hand-made runs), and
// whether a real notation program, MuseScore 3, reads the score of the demo song and of a
// generated music back into the notes our own MIDI export plays.
//
// What a score cannot carry, and so what the comparison leaves out: onsets are compared on the
// score's grid of 32nd notes (60 ticks; a lag shorter than that moves the note to the nearest
// step), every onset once per key (two notes of one key starting together are one note in a
// score), and neither velocities, lengths of drum hits nor controllers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ExternalTools.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "play/export/MplyMusicXml.h"
#include "play/export/MplyScoreArchive.h"
#include "tools/AppData.h"

namespace musicxml_test {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

// The score of hand-made notes {on, off, channel, key} with the given key signature.
std::string Score(std::vector<MplyScoreNote> notes, int fifths = 0,
                  std::vector<MplyScoreText> texts = {}) {
    MplyScoreEvents events;
    events.notes = std::move(notes);
    events.texts = std::move(texts);
    for (const MplyScoreNote& n : events.notes)
        events.end = std::max(events.end, n.off);
    MplyExportParts parts;
    parts.key_fifths = fifths;
    return mply_musicxml(events, parts);
}

MplyScoreNote N(int32_t on, int32_t off, int key, uint8_t channel = 0) {
    return {on, off, channel, static_cast<uint8_t>(key), 100};
}

TEST(MusicXml, NotesAreLaidIntoBarsVoicesAndRests) {
    const struct {
        const char* what;
        std::vector<MplyScoreNote> notes;
        int fifths;
        std::vector<std::string> holds;  // each must appear exactly as many times as given
        std::vector<size_t> times;
    } cases[] = {
        {"a whole note from beat 3 is tied across the bar line",
         {N(960, 2880, 60)},
         0,
         {"<measure number=\"2\">", "<tie type=\"start\"/>", "<tie type=\"stop\"/>",
          "<type>half</type>", "<rest/><duration>960</duration>"},
         {1, 1, 1, 4, 2}},
        {"a black key is a sharp in a sharp key and a flat in a flat key",
         {N(0, 480, 61)},
         2,
         {"<step>C</step><alter>1</alter><octave>4</octave>"},
         {1}},
        {"a black key is a sharp in a sharp key and a flat in a flat key",
         {N(0, 480, 61)},
         -3,
         {"<step>D</step><alter>-1</alter><octave>4</octave>", "<fifths>-3</fifths>"},
         {1, 1}},
        {"notes of equal span make a chord",
         {N(0, 480, 60), N(0, 480, 64), N(0, 480, 67)},
         0,
         {"<chord/>", "<voice>2</voice>"},
         {2, 0}},
        {"an overlapping note goes into a second voice after a backup",
         {N(0, 1920, 48), N(480, 960, 67)},
         0,
         {"<voice>2</voice>", "<backup><duration>1920</duration></backup>", "<chord/>"},
         {3, 1, 0}},
        {"a lag shorter than the grid moves the onset to the nearest 32nd",
         {N(29, 480, 60), N(511, 960, 62)},
         0,
         {"<rest/><duration>60</duration>", "<duration>360</duration><tie type=\"start\"/>",
          "<duration>60</duration><tie type=\"stop\"/>", "<type>32nd</type>"},
         {1, 1, 1, 2}},
        {"two notes of one key at one onset are one note; a restart ends the first",
         {N(0, 960, 60), N(0, 480, 60), N(480, 960, 60)},
         0,
         {"<step>C</step>", "<voice>2</voice>"},
         {2, 0}},
        {"the drum channel is a percussion part of unpitched hits, each until the next",
         {N(0, 30, 36, 9), N(0, 30, 42, 9), N(480, 510, 38, 9)},
         0,
         {"<sign>percussion</sign>", "<unpitched>", "<midi-unpitched>37</midi-unpitched>",
          "<instrument id=\"P1-I43\"/>", "<duration>480</duration>", "<rest/>"},
         {1, 3, 1, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        const std::string xml = Score(c.notes, c.fifths);
        ASSERT_EQ(c.holds.size(), c.times.size());
        for (size_t i = 0; i < c.holds.size(); ++i)
            EXPECT_EQ(Count(xml, c.holds[i]), c.times[i]) << c.what << ": " << c.holds[i] << "\n"
                                                          << xml;
    }
}

TEST(MusicXml, EveryVoiceOfEveryBarFillsTheBar) {
    // Notes of many lengths and overlaps on one channel, over three bars.
    std::vector<MplyScoreNote> notes;
    for (int i = 0; i < 40; ++i) {
        const int32_t on = (i * 7 % 23) * 240 + (i % 3) * 17;
        notes.push_back(N(on, on + 60 + (i * 131) % 1500, 55 + i % 17));
    }
    const std::string xml = Score(notes);
    // Walk the measures: every voice's durations (chord members not counted) sum to a bar.
    size_t at = 0;
    int bars = 0;
    while ((at = xml.find("<measure number=", at)) != std::string::npos) {
        const size_t end = xml.find("</measure>", at);
        const std::string bar = xml.substr(at, end - at);
        std::map<int, int> filled;
        size_t n = 0;
        while ((n = bar.find("<note>", n)) != std::string::npos) {
            const size_t close = bar.find("</note>", n);
            const std::string note = bar.substr(n, close - n);
            const int voice = std::stoi(note.substr(note.find("<voice>") + 7));
            if (note.find("<chord/>") == std::string::npos)
                filled[voice] += std::stoi(note.substr(note.find("<duration>") + 10));
            n = close;
        }
        ASSERT_FALSE(filled.empty()) << bar;
        EXPECT_LE(filled.size(), static_cast<size_t>(MplyScoreGrid::kVoices));
        for (const auto& [voice, ticks] : filled)
            EXPECT_EQ(ticks, MplyScoreGrid::kBar) << "voice " << voice << "\n" << bar;
        ++bars;
        at = end;
    }
    EXPECT_EQ(bars, 3);
}

TEST(MusicXml, AKeyChangeStartsANewSignatureAndSpelling) {
    MplyScoreEvents events;
    // B flat in each of three bars: F major, then D major from bar 2, then F again from bar 3.
    for (int bar = 0; bar < 3; ++bar)
        events.notes.push_back(N(bar * 1920, bar * 1920 + 480, 70));
    events.notes.push_back(N(0, 480, 36, 9));
    events.keys = {{0, -1}, {1920, 2}, {3840, -1}};
    events.end = 3 * 1920;
    const std::string xml = mply_musicxml(events, MplyExportParts());
    const size_t drums = xml.find("<part id=\"P2\">");
    ASSERT_NE(drums, std::string::npos);
    const std::string melody = xml.substr(0, drums);
    EXPECT_EQ(Count(melody, "<fifths>-1</fifths>"), 2u) << melody;
    EXPECT_EQ(Count(melody, "<fifths>2</fifths>"), 1u) << melody;
    EXPECT_EQ(Count(melody, "<step>B</step><alter>-1</alter>"), 2u) << melody;
    EXPECT_EQ(Count(melody, "<step>A</step><alter>1</alter>"), 1u) << melody;
    // The percussion part keeps its one signature.
    EXPECT_EQ(Count(xml.substr(drums), "<fifths>"), 1u);
}

TEST(MusicXml, LyricsGoUnderThePartTheyFitAndTextsAreEscaped) {
    const std::vector<MplyScoreNote> notes = {N(0, 480, 72, 0), N(480, 960, 74, 0),
                                              N(240, 960, 48, 1)};
    const std::string xml = Score(notes, 0,
                                  {{0, MPLY_TEXT_LYRIC, "a&b"},
                                   {480, MPLY_TEXT_LYRIC, "c"},
                                   {0, MPLY_TEXT_MARKER, "<intro>"},
                                   {0, MPLY_TEXT_TRACK_NAME, "Song"}});
    EXPECT_EQ(Count(xml, "<lyric number=\"1\">"), 2u) << xml;
    EXPECT_NE(xml.find("<text>a&amp;b</text>"), std::string::npos);
    EXPECT_NE(xml.find("<rehearsal>&lt;intro&gt;</rehearsal>"), std::string::npos);
    EXPECT_NE(xml.find("<work-title>Song</work-title>"), std::string::npos);
    // Both syllables are on the first part, before the second part starts.
    EXPECT_LT(xml.rfind("<lyric"), xml.find("<part id=\"P2\">"));
}

TEST(MusicXml, HyphenatedLyricsBecomeSyllablesOfWords) {
    std::vector<MplyScoreNote> notes;
    for (int32_t i = 0; i < 7; ++i)
        notes.push_back(N(i * 480, (i + 1) * 480, 72, 0));
    const std::string xml = Score(notes, 0,
                                  {{0, MPLY_TEXT_LYRIC, "Hap-"},
                                   {480, MPLY_TEXT_LYRIC, "py"},
                                   {960, MPLY_TEXT_LYRIC, "birth"},
                                   {1440, MPLY_TEXT_LYRIC, "-day"},
                                   {1920, MPLY_TEXT_LYRIC, "to"},
                                   {2400, MPLY_TEXT_LYRIC, "ev-"},
                                   {2880, MPLY_TEXT_LYRIC, "e-"}});
    const char* expected[] = {
        "<syllabic>begin</syllabic><text>Hap</text>",   "<syllabic>end</syllabic><text>py</text>",
        "<syllabic>begin</syllabic><text>birth</text>", "<syllabic>end</syllabic><text>day</text>",
        "<syllabic>single</syllabic><text>to</text>",   "<syllabic>begin</syllabic><text>ev</text>",
        "<syllabic>middle</syllabic><text>e</text>"};
    size_t from = 0;
    for (const char* lyric : expected) {
        const size_t at = xml.find(lyric, from);
        ASSERT_NE(at, std::string::npos) << lyric << "\n" << xml;
        from = at + 1;
    }
}

TEST(MusicXml, APianoIsWrittenOnAGrandStaffSplitAtMiddleC) {
    MplyScoreEvents events;
    // A piano chord across middle C and a bass note on channel 0, strings on channel 1.
    events.notes = {N(0, 1920, 60), N(0, 1920, 64), N(0, 1920, 48), N(0, 960, 72, 1)};
    events.end = 1920;
    events.channels[0].program = 0;
    events.channels[1].program = 48;
    const std::string xml = mply_musicxml(events, MplyExportParts());
    const size_t second = xml.find("<part id=\"P2\">");
    ASSERT_NE(second, std::string::npos) << xml;
    const std::string piano = xml.substr(0, second), strings = xml.substr(second);
    EXPECT_EQ(Count(piano, "<staves>2</staves>"), 1u) << piano;
    EXPECT_EQ(Count(piano, "<clef number=\"2\"><sign>F</sign><line>4</line></clef>"), 1u);
    // C and E above on staff 1 as one chord, the C below alone on staff 2 in a voice of its own.
    EXPECT_EQ(Count(piano, "<step>C</step><octave>4</octave>"), 1u) << piano;
    EXPECT_EQ(Count(piano, "<voice>1</voice><type>whole</type><staff>1</staff>"), 2u) << piano;
    EXPECT_EQ(Count(piano, "<voice>5</voice><type>whole</type><staff>2</staff>"), 1u) << piano;
    EXPECT_EQ(Count(piano, "<backup><duration>1920</duration></backup>"), 1u) << piano;
    EXPECT_EQ(Count(strings, "<staves>"), 0u);
    EXPECT_EQ(Count(strings, "<staff>"), 0u);
}

TEST(MusicXml, TheArchiveHoldsTheScoreAndItsContainer) {
    if (!kv_test::have_program("/usr/bin/python3")) GTEST_SKIP() << "no python3";
    const std::string xml = Score({N(0, 1920, 60)});
    const std::vector<uint8_t> zip = mply_mxl_image(xml, "song.musicxml");
    char path[] = "/tmp/kvmxl-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, zip.data(), zip.size()), static_cast<ssize_t>(zip.size()));
    ::close(fd);
    std::string out;
    ASSERT_EQ(kv_test::run_python(R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(z.testzip(), [i.filename for i in z.infolist()], z.infolist()[0].compress_type)
print(z.read("mimetype").decode())
print("rootfile" in z.read("META-INF/container.xml").decode() and "song.musicxml" in z.read("META-INF/container.xml").decode())
open(sys.argv[1] + ".xml", "wb").write(z.read("song.musicxml"))
)",
                                  path, &out),
              0)
        << out;
    EXPECT_EQ(out,
              "None ['mimetype', 'META-INF/container.xml', 'song.musicxml'] 0\n"
              "application/vnd.recordare.musicxml\nTrue\n");
    std::ifstream back(std::string(path) + ".xml", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), xml);
    std::remove(path);
    std::remove((std::string(path) + ".xml").c_str());
}

TEST(MusicXml, Crc32OfKnownTexts) {
    const struct {
        const char* text;
        uint32_t crc;
    } cases[] = {{"", 0}, {"123456789", 0xCBF43926u}, {"a", 0xE8B7BE43u}};
    for (const auto& c : cases)
        EXPECT_EQ(mply_crc32(c.text), c.crc) << c.text;
}

// ---- MuseScore 3 -----------------------------------------------------------------------

// Our MIDI export and our score of one music, and what MuseScore makes of the score.
class MuseScoreReads : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kv_test::have_program("mscore3"))
            GTEST_SKIP() << "MuseScore 3 (mscore3, Debian's musescore3) is not installed "
                            "(tools/setup.sh)";
        if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed";
        char folder[] = "/tmp/kvmscore-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        dir_ = folder;
    }
    void TearDown() override {
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // Exports `music` as MIDI and as `score_file` (.musicxml or .mxl), converts the score
    // back to MIDI with MuseScore, and checks what the file says above.
    void Check(MseqMusic& music, const std::string& score_file) {
        MplyPlayer player(nullptr, false);
        MplyExport exporter;
        std::unique_ptr<MplyEntity> run(music.create_player_model());
        std::vector<uint8_t> midi;
        ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &midi), MplyExportResult::ok);
        MplyScoreCapture capture;
        run.reset(music.create_player_model());
        std::string xml;
        ASSERT_EQ(MplyExportScore(player, capture, run, &xml), MplyExportResult::ok);
        std::ofstream(dir_ + "/ours.mid", std::ios::binary)
            .write(reinterpret_cast<const char*>(midi.data()), static_cast<long>(midi.size()));
        std::string bytes = xml;
        if (score_file.ends_with(".mxl")) {
            const std::vector<uint8_t> zip = mply_mxl_image(xml, "score.musicxml");
            bytes.assign(zip.begin(), zip.end());
        }
        std::ofstream(dir_ + "/" + score_file, std::ios::binary) << bytes;
        std::string log;
        ASSERT_EQ(kv_test::run_capture("cd '" + dir_ +
                                           "' && QT_QPA_PLATFORM=offscreen timeout 300 mscore3 "
                                           "-o back.mid '" +
                                           score_file + "' 2>&1",
                                       &log),
                  0)
            << log;
        EXPECT_EQ(log.find("is not a valid MusicXML file"), std::string::npos) << log;
        EXPECT_EQ(log.find("Error at line"), std::string::npos) << log;
        std::string out;
        ASSERT_EQ(kv_test::run_python(R"(
import sys, mido
def onsets(path):
    f = mido.MidiFile(path); parts = []
    for t in f.tracks:
        tick, s = 0, {}
        for m in t:
            tick += m.time
            if m.type == "note_on" and m.velocity > 0:
                s.setdefault(m.channel, set()).add((tick * 480 // f.ticks_per_beat, m.note))
        parts += [s] if s else []
    return parts
snap = lambda t: (t + 30) // 60 * 60
ours = {}
for s in onsets(sys.argv[1] + "/ours.mid"):
    for ch, v in s.items(): ours.setdefault(ch, set()).update((snap(t), k) for t, k in v)
# A part on a grand staff comes back as one track a staff, both on the part's channel.
theirs, index = [], {}
for s in onsets(sys.argv[1] + "/back.mid"):
    for ch, v in s.items():
        if ch not in index: index[ch] = len(theirs); theirs.append({})
        theirs[index[ch]].setdefault(ch, set()).update(v)
print("parts", len(ours), len(theirs))
for (ch, a), s in zip(sorted(ours.items()), theirs):
    b = set().union(*s.values())
    print("channel", ch, "notes", len(a), "missing", sorted(a - b)[:4], "extra", sorted(b - a)[:4])
)",
                                      dir_, &out),
                  0)
            << out;
        parts_ = out;
    }

    std::string dir_;
    std::string parts_;  // the comparison's report
};

TEST_F(MuseScoreReads, TheDemoSongAsEveryPartPlaysIt) {
    kv_test::AppData data;
    MseqMusic* music = data.music("デモソング/はじまりの朝");
    ASSERT_NE(music, nullptr);
    {
        // The song modulates from C to D major: the score changes its signature once.
        MplyPlayer player(nullptr, false);
        MplyScoreCapture capture;
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::string xml;
        ASSERT_EQ(MplyExportScore(player, capture, run, &xml), MplyExportResult::ok);
        const std::string flute = xml.substr(0, xml.find("<part id=\"P2\">"));
        EXPECT_EQ(Count(flute, "<fifths>0</fifths>"), 1u);
        EXPECT_EQ(Count(flute, "<fifths>2</fifths>"), 1u);
        // Chord symbols from the chord track, the first the song's C major; none elsewhere.
        EXPECT_NE(flute.find("<harmony><root><root-step>C</root-step></root><kind>major</kind>"),
                  std::string::npos);
        EXPECT_GE(Count(flute, "<harmony>"), 20u);
        EXPECT_EQ(Count(xml, "<harmony>"), Count(flute, "<harmony>"));
    }
    for (const char* file : {"demo.musicxml", "demo.mxl"}) {
        Check(*music, file);
        EXPECT_NE(parts_.find("parts 9 9\n"), std::string::npos) << file << "\n" << parts_;
        EXPECT_EQ(Count(parts_, "missing [] extra []"), 9u) << file << "\n" << parts_;
    }
}

TEST_F(MuseScoreReads, AGeneratedMusicWithLagsOverlapsAndDrums) {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "Generated";
    music->m_Tempo = 97;
    // Three note tracks on a sixteenth grid: a melody with lags of a few ticks and black keys,
    // a bass with long notes over bar lines overlapping each other, and drums.
    const struct {
        int channel;
        int8_t octave;
    } tracks[] = {{0, 5}, {1, 3}, {9, 3}};
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    for (const auto& t : tracks) {
        MseqObject* node =
            music->create_track(music->detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE, "t");
        ASSERT_NE(node, nullptr);
        mseq_factory(node);
        auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        track->m_Beat = 16;
        track->m_Channel = t.channel;
        for (int index = 0; index < 16 * 6; index += 1 + static_cast<int>(next(3))) {
            MseqBlockNote note;
            note.set_type(MNBT_PURE);
            note.m_Octave = t.octave;
            note.m_Whole = static_cast<int8_t>(next(7));
            note.m_Semi = static_cast<int8_t>(next(3) == 0 ? 1 : 0);
            note.m_Length = 1 + static_cast<int32_t>(next(t.channel == 1 ? 40 : 6));
            if (next(4) == 0) {
                note.m_Flags |= MNBF_OWN_STIME;
                note.m_STime = static_cast<int32_t>(next(41)) - 20;
            }
            track->put_block(index, note);
        }
    }
    Check(*music, "generated.musicxml");
    EXPECT_NE(parts_.find("parts 3 3\n"), std::string::npos) << parts_;
    EXPECT_EQ(Count(parts_, "missing [] extra []"), 3u) << parts_;
}

}  // namespace musicxml_test
