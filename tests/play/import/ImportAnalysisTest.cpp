// The harmony analysis of an imported music: the key and the chords it finds in a clear
// progression, the sections a modulation makes and the map of each section's key, the chord map
// and chord track it writes, the notes it converts, and above all
// that what plays never changes (the player's events of the analysed music equal those of the
// plain import) on clear, minor, humanised and awkward files and on the demo song brought back
// from its own export through the command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/lang/KvLanguage.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "play/PlayFixture.h"
#include "play/import/ImportBookFixture.h"
#include "play/import/MplyImportAnalysis.h"
#include "play/import/MplyImportLibrary.h"
#include "play/import/SmfBuilder.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"
#include "tools/FileBytes.h"
#include "ui/RunProgram.h"

namespace import_analysis_test {

using smf_builder::TrackBytes;

// A note of a built file: start and length in file ticks.
struct Note {
    uint32_t start, length;
    uint8_t channel, key, velocity;
};

// One track chunk of notes (sorted by time, note-offs first at a tick).
TrackBytes track_of(const std::string& name, const std::vector<Note>& notes) {
    struct Ev {
        uint32_t tick;
        bool on;
        Note n;
    };
    std::vector<Ev> evs;
    for (const Note& n : notes) {
        evs.push_back({n.start, true, n});
        evs.push_back({n.start + n.length, false, n});
    }
    std::stable_sort(evs.begin(), evs.end(), [](const Ev& a, const Ev& b) {
        return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
    });
    TrackBytes t;
    t.meta(0, 0x03, name);
    uint32_t at = 0;
    for (const Ev& e : evs) {
        if (e.on)
            t.on(e.tick - at, e.n.channel, e.n.key, e.n.velocity);
        else
            t.off(e.tick - at, e.n.channel, e.n.key);
        at = e.tick;
    }
    return t.end();
}

// Block chords of three keys a bar on channel 0 and a melody of quarters on channel 1.
std::string progression(const std::vector<std::vector<uint8_t>>& chords,
                        const std::vector<uint8_t>& melody) {
    const uint32_t q = 480, bar = 4 * q;
    std::vector<Note> harmony, tune;
    for (size_t b = 0; b < chords.size(); ++b) {
        for (uint8_t key : chords[b])
            harmony.push_back({static_cast<uint32_t>(b) * bar, bar, 0, key, 80});
    }
    for (size_t i = 0; i < melody.size(); ++i)
        tune.push_back({static_cast<uint32_t>(i) * q, q, 1, melody[i], 100});
    TrackBytes conductor;
    conductor.meta(0, 0x03, "Progression").tempo(0, 500000).end();
    return smf_builder::file(1, q,
                             {conductor, track_of("Chords", harmony), track_of("Tune", tune)});
}

// The note-on lines of a run whose tick lies in [from, to).
std::vector<std::string> note_ons(const std::vector<std::string>& lines, long from, long to) {
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        const long tick = std::atol(l.c_str());
        if (l.find("note-on") != std::string::npos && tick >= from && tick < to) out.push_back(l);
    }
    return out;
}

// A library of one music book on disk, kept open while the test runs.
class ImportAnalysis : public import_book_fixture::ImportBook {
protected:
    // Imports the bytes under `name`, analysed for `target` when given.
    MseqMusic* import(const std::string& bytes, const std::string& name,
                      const MplyAnalysisTarget* target = nullptr) {
        MplySmfFile file;
        MplySmfError error;
        if (!mply_read_smf(bytes, &file, &error)) {
            ADD_FAILURE() << mply_smf_fault_text(error.fault) << " at " << error.offset;
            return nullptr;
        }
        MplyImportReport report;
        MplyImportSaved saved;
        MplyImportAnalysis analysis;
        if (target) analysis.target = *target;
        if (!mply_import_into_book(book_node_, file, CkvString(name), name, &report, &saved,
                                   target ? &analysis : nullptr)) {
            ADD_FAILURE() << name << ": import refused";
            return nullptr;
        }
        analysed = analysis.report;
        chord_file = saved.chord_file;
        chord_files = saved.chord_files;
        notes = report.notes;
        return saved.music->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    }

    // Imports plainly and analysed for `target`; the analysed music must play the same events.
    MseqMusic* expect_same_events(const std::string& bytes, MplyAnalysisTarget target,
                                  const std::string& what) {
        const std::string plain_name = "plain" + std::to_string(++imports_);
        const std::string name = "analysed" + std::to_string(imports_);
        MseqMusic* plain = import(bytes, plain_name);
        MseqMusic* music = import(bytes, name, &target);
        if (!plain || !music) return nullptr;
        // A file without a title names the music after its leaf, and the two leaves differ.
        auto run = [](MseqMusic* m, const std::string& leaf) {
            std::vector<std::string> lines = kv_test::run_offline(m);
            for (std::string& l : lines) {
                if (l == "0 text 3 \"" + leaf + "\"") l = "0 text 3 (the leaf's name)";
            }
            return lines;
        };
        const std::vector<std::string> before = run(plain, plain_name);
        const std::vector<std::string> after = run(music, name);
        EXPECT_GT(note_ons(before, 0, 1L << 30).size(), 10u) << what;
        EXPECT_EQ(before, after) << what;
        return music;
    }

    static MseqTrackChord* chord_track(MseqMusic* music) {
        MseqObject* node = music->find_track(music->m_TrackChordID);
        return node ? mseq_open(node)->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD) : nullptr;
    }
    static std::vector<MseqTrackNote*> note_tracks(MseqMusic* music) {
        std::vector<MseqTrackNote*> out;
        for (MseqObject* n = music->root(); n; n = n->next_in(music->root())) {
            if (n->type == MTYPE_TRACK_NOTE)
                out.push_back(mseq_open(n)->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE));
        }
        return out;
    }
    static int64_t unit(const MseqTrack& t) { return 1920 / std::max<int32_t>(1, t.m_Beat); }
    MseqMapChord* chord_map(MseqMusic* music) const {
        MseqObject* leaf = music->find(music->m_MapChordID);
        return leaf ? mseq_open(leaf)->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD) : nullptr;
    }

    MplyAnalysisReport analysed;
    MseqFullPath chord_file;
    std::vector<MseqFullPath> chord_files;
    uint32_t notes = 0;
    int imports_ = 0;
};

TEST_F(ImportAnalysis, AClearProgressionGivesItsChordsAndNotesThatFollowThem) {
    // C F G C with a melody of chord tones and two passing tones (D over C, F over G is a
    // chord tone of G7 only).
    const std::string bytes =
        progression({{48, 52, 55}, {53, 57, 60}, {55, 59, 62}, {48, 52, 55}},
                    {64, 62, 60, 67, 69, 72, 65, 60, 67, 71, 74, 67, 72, 67, 64, 60});
    MseqMusic* music = expect_same_events(bytes, MplyAnalysisTarget::chord_degrees, "I-IV-V-I");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(analysed.tonic, 0);
    EXPECT_FALSE(analysed.minor);
    EXPECT_EQ(analysed.chords, 4u);
    EXPECT_EQ(analysed.chords_added, 0u);
    EXPECT_EQ(analysed.kept_pure, 0u);
    EXPECT_EQ(analysed.chord_degrees + analysed.scale_degrees + analysed.tones, notes);
    EXPECT_GE(analysed.chord_degrees, notes - 2);
    EXPECT_FALSE(chord_file.empty());

    MseqTrackChord* chords = chord_track(music);
    MseqMapChord* map = chord_map(music);
    ASSERT_NE(chords, nullptr);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(chords->m_MapID, music->m_MapChordID);
    EXPECT_EQ(chords->m_Beat, kMplyAnalysisChordBeat);
    const int32_t roots[] = {0, 5, 7, 0};
    int32_t bar = 0;
    for (const auto& [index, block] : chords->blocks()) {
        ASSERT_LT(bar, 4);
        EXPECT_EQ(index, bar * 2) << "bar " << bar;
        const MseqBlockChord* in_effect = mseq_chord_in_effect(block, map);
        ASSERT_NE(in_effect, nullptr) << "bar " << bar;
        EXPECT_EQ(in_effect->effective_root(map->m_CDegKey), roots[bar]) << "bar " << bar;
        EXPECT_EQ(in_effect->m_Type.str(), "maj") << "bar " << bar;
        ++bar;
    }
    EXPECT_EQ(bar, 4);
    // Every note of the chord voices is a chord tone.
    for (MseqTrackNote* t : note_tracks(music)) {
        EXPECT_EQ(t->m_TrackChordID, music->m_TrackChordID);
        if (t->m_Channel != 0) continue;
        for (const auto& [index, block] : t->blocks())
            EXPECT_EQ(block.m_Type, MNBT_CDEG) << "index " << index;
    }

    // Changing the second chord to D minor re-voices that bar and nothing else.
    const std::vector<std::string> before = kv_test::run_offline(music);
    MseqBlockChord minor = map->m_Blocks[13];
    minor.m_Flags &= ~MCHORD_NO_KEY;
    ASSERT_TRUE(chords->set_block(kMplyAnalysisChordBeat, 2, &minor));
    const std::vector<std::string> after = kv_test::run_offline(music);
    EXPECT_EQ(note_ons(before, 0, 1920), note_ons(after, 0, 1920));
    EXPECT_NE(note_ons(before, 1920, 3840), note_ons(after, 1920, 3840));
    EXPECT_EQ(note_ons(before, 3840, 99999), note_ons(after, 3840, 99999));
}

TEST_F(ImportAnalysis, AMinorKeyAddsTheChordsItsScaleLacks) {
    // A minor: Am Dm E Am, the E major chord being no triad of the natural minor scale.
    const std::string bytes =
        progression({{45, 48, 52}, {50, 53, 57}, {52, 56, 59}, {45, 48, 52}},
                    {72, 71, 69, 64, 65, 69, 74, 69, 71, 68, 64, 71, 69, 64, 60, 57});
    MseqMusic* music = expect_same_events(bytes, MplyAnalysisTarget::chord_degrees, "i-iv-V-i");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(analysed.tonic, 9);
    EXPECT_TRUE(analysed.minor);
    EXPECT_EQ(analysed.chords, 4u);
    EXPECT_EQ(analysed.chords_added, 1u);
    EXPECT_EQ(analysed.kept_pure, 0u);
    MseqMapChord* map = chord_map(music);
    ASSERT_NE(map, nullptr);
    const MseqBlockChord* third = chord_track(music)->block_in_effect(4);
    ASSERT_NE(third, nullptr);
    const MseqBlockChord* e_major = mseq_chord_in_effect(*third, map);
    ASSERT_NE(e_major, nullptr);
    EXPECT_EQ(e_major->effective_root(map->m_CDegKey), 4);
    EXPECT_EQ(e_major->m_Type.str(), "maj");
}

// Eight bars in C major (I IV V I vi ii V I), then the same eight bars a minor third higher, in
// E-flat major, with a melody of chord tones and scale steps.
std::string modulating_file() {
    const std::vector<std::vector<uint8_t>> in_c = {{48, 52, 55}, {53, 57, 60}, {55, 59, 62},
                                                    {48, 52, 55}, {57, 60, 64}, {50, 53, 57},
                                                    {55, 59, 62}, {48, 52, 55}};
    std::vector<std::vector<uint8_t>> chords = in_c;
    std::vector<uint8_t> melody;
    for (int part = 0; part < 2; ++part) {
        for (const auto& chord : in_c) {
            const uint8_t up = part ? 3 : 0;
            if (part) {
                std::vector<uint8_t> moved;
                for (uint8_t k : chord)
                    moved.push_back(static_cast<uint8_t>(k + up));
                chords.push_back(moved);
            }
            melody.push_back(static_cast<uint8_t>(chord[0] + 24 + up));
            melody.push_back(static_cast<uint8_t>(chord[1] + 12 + up));
            melody.push_back(static_cast<uint8_t>(chord[2] + 12 + up));
            melody.push_back(static_cast<uint8_t>(chord[1] + 12 + up));
        }
    }
    return progression(chords, melody);
}

// Bars of the weights of a key's scale: the tonic triad heavy, the other degrees light.
std::array<double, 12> bar_in(int32_t tonic) {
    std::array<double, 12> w{};
    for (int32_t step : {0, 2, 4, 5, 7, 9, 11})
        w[static_cast<size_t>((tonic + step) % 12)] = step % 7 == 0 || step == 4 ? 3 : 1;
    return w;
}

TEST(ImportAnalysisSections, OnlyAHeldModulationSplitsTheMusic) {
    std::vector<std::array<double, 12>> bars;
    for (int b = 0; b < 16; ++b)
        bars.push_back(bar_in(b < 8 ? 0 : 3));
    const std::vector<MplyAnalysisSection> two = mply_analysis_sections(bars);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], (MplyAnalysisSection{0, 0, false, 0}));
    EXPECT_EQ(two[1], (MplyAnalysisSection{8, 3, false, 1}));

    // Two bars of the dominant's key and an empty bar stay in the key around them.
    bars.clear();
    for (int b = 0; b < 16; ++b)
        bars.push_back(b == 6 || b == 7 ? bar_in(7)
                       : b == 12        ? std::array<double, 12>{}
                                        : bar_in(0));
    const std::vector<MplyAnalysisSection> one = mply_analysis_sections(bars);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], (MplyAnalysisSection{0, 0, false, 0}));

    // Back to the first key: its map serves again.
    bars.clear();
    for (int b = 0; b < 24; ++b)
        bars.push_back(bar_in(b >= 8 && b < 16 ? 3 : 0));
    const std::vector<MplyAnalysisSection> three = mply_analysis_sections(bars);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1], (MplyAnalysisSection{8, 3, false, 1}));
    EXPECT_EQ(three[2], (MplyAnalysisSection{16, 0, false, 0}));

    EXPECT_EQ(mply_analysis_sections({}).size(), 1u);
}

TEST_F(ImportAnalysis, AModulationGetsASectionWithAMapOfItsKey) {
    const MplyAnalysisTarget targets[] = {MplyAnalysisTarget::scale_degrees,
                                          MplyAnalysisTarget::chord_degrees};
    for (MplyAnalysisTarget target : targets) {
        const std::string what = "target " + std::to_string(int(target));
        MseqMusic* music = expect_same_events(modulating_file(), target, what);
        ASSERT_NE(music, nullptr) << what;
        ASSERT_EQ(analysed.sections.size(), 2u) << what;
        EXPECT_EQ(analysed.sections[0], (MplyAnalysisSection{0, 0, false, 0})) << what;
        EXPECT_EQ(analysed.sections[1], (MplyAnalysisSection{8, 3, false, 1})) << what;
        EXPECT_EQ(analysed.maps, 2u) << what;
        EXPECT_EQ(analysed.kept_pure, 0u) << what;
        ASSERT_EQ(chord_files.size(), 2u) << what;
        for (const MseqFullPath& f : chord_files)
            EXPECT_TRUE(std::filesystem::exists(kv_fs::to_host(f.str()))) << f.str();

        // The chord track follows the transposition track, whose blocks name the two maps.
        MseqTrackChord* chords = chord_track(music);
        ASSERT_NE(chords, nullptr) << what;
        MseqObject* sections = music->find_track(chords->m_MapID);
        ASSERT_NE(sections, nullptr) << what;
        ASSERT_EQ(sections->type, MTYPE_TRACK_CHORD_MAP) << what;
        auto* links = mseq_open(sections)->cast_to<MseqTrackChordMap>(MTYPE_TRACK_CHORD_MAP);
        ASSERT_EQ(links->blocks().size(), 2u) << what;
        const MseqBlockLink* first = links->block_in_effect(0);
        const MseqBlockLink* second = links->block_in_effect(8);
        ASSERT_TRUE(first && second) << what;
        EXPECT_EQ(first->m_LinkID, music->m_MapChordID) << what;
        MseqObject* leaf = music->find(second->m_LinkID);
        ASSERT_NE(leaf, nullptr) << what;
        auto* eflat = mseq_open(leaf)->cast_to<MseqMapChord>(MTYPE_LEAF_CHORD);
        ASSERT_NE(eflat, nullptr) << what;
        EXPECT_EQ(chord_map(music)->m_CDegKey, 0) << what;
        EXPECT_EQ(eflat->m_CDegKey, 3) << what;
        EXPECT_EQ(eflat->m_SDegKey, 3) << what;
        // The second section's first chord is E-flat major, a chord of its own map's palette.
        const MseqBlockChord* at_eight = chords->block_in_effect(16);
        ASSERT_NE(at_eight, nullptr) << what;
        EXPECT_FALSE(at_eight->m_Flags & MCHORD_NO_KEY) << what;
        const MseqBlockChord* in_effect = mseq_chord_in_effect(*at_eight, eflat);
        ASSERT_NE(in_effect, nullptr) << what;
        EXPECT_EQ(in_effect->effective_root(eflat->m_CDegKey), 3) << what;
        EXPECT_EQ(in_effect->m_Type.str(), "maj") << what;
        if (target != MplyAnalysisTarget::scale_degrees) continue;
        // In the key of its section the E-flat triad of bar 9 is degrees 1, 3 and 5, as the C
        // triad of bar 1 is in C.
        for (int32_t bar : {0, 8}) {
            std::vector<int32_t> degrees;
            for (MseqTrackNote* t : note_tracks(music)) {
                if (t->m_Channel != 0) continue;
                for (const auto& [index, block] : t->blocks()) {
                    if (index * unit(*t) / 1920 != bar) continue;
                    EXPECT_EQ(block.m_Type, MNBT_SDEG) << what << " bar " << bar;
                    degrees.push_back((block.m_Whole % 7 + 7) % 7);
                }
            }
            std::sort(degrees.begin(), degrees.end());
            EXPECT_EQ(degrees, std::vector<int32_t>({0, 2, 4})) << what << " bar " << bar;
        }
    }
}

// Played notes off every grid, lags, overlapping notes of one key, chromatic notes, keys no
// note type reaches from the track's octave, drums and two parts.
std::string awkward_file(uint32_t take) {
    std::mt19937 rng(take);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const uint32_t q = 96;
    std::vector<Note> lead, pad, drums;
    for (uint32_t t = 0; t < 16 * q; t += q / 2) {
        lead.push_back({t + static_cast<uint32_t>(pick(0, 11)), static_cast<uint32_t>(pick(5, 90)),
                        0, static_cast<uint8_t>(pick(50, 90)), static_cast<uint8_t>(pick(1, 127))});
        if (t % (2 * q) == 0) {
            for (int k = 0; k < 3; ++k)
                pad.push_back({t + static_cast<uint32_t>(pick(0, 3)), 2 * q - 1, 1,
                               static_cast<uint8_t>(pick(40, 70)), 70});
        }
        drums.push_back({t, q / 4, 9, static_cast<uint8_t>(t % q ? 42 : 36), 90});
    }
    // Far keys, a note of one tick and overlapping notes of one key.
    lead.push_back({q, 3, 0, 2, 60});
    lead.push_back({2 * q, 1, 0, 126, 60});
    pad.push_back({3 * q, q, 1, 61, 50});
    pad.push_back({3 * q + 10, q, 1, 61, 50});
    TrackBytes conductor;
    conductor.meta(0, 0x03, "Awkward").tempo(0, 612345).end();
    return smf_builder::file(
        1, q, {conductor, track_of("Lead", lead), track_of("Pad", pad), track_of("Drums", drums)});
}

TEST_F(ImportAnalysis, HumanisedAndAwkwardFilesPlayTheSameForEveryTarget) {
    const MplyAnalysisTarget targets[] = {MplyAnalysisTarget::chord_degrees,
                                          MplyAnalysisTarget::scale_degrees,
                                          MplyAnalysisTarget::tones};
    for (uint32_t take = 1; take <= 3; ++take) {
        for (MplyAnalysisTarget target : targets) {
            const std::string what =
                "file " + std::to_string(take) + " target " + std::to_string(int(target));
            ASSERT_NE(expect_same_events(awkward_file(take), target, what), nullptr) << what;
            const uint32_t drums = 32;
            EXPECT_EQ(analysed.chord_degrees + analysed.scale_degrees + analysed.tones +
                          analysed.kept_pure,
                      notes - drums)
                << what;
            // Keys 2 and 126 lie beyond the reach of scale degrees and tones from their track.
            if (target != MplyAnalysisTarget::chord_degrees) {
                EXPECT_GE(analysed.kept_pure, 2u) << what;
                EXPECT_EQ(analysed.chord_degrees, 0u) << what;
            }
            if (target == MplyAnalysisTarget::tones) {
                EXPECT_EQ(analysed.scale_degrees, 0u) << what;
            }
            EXPECT_GT(analysed.chords, 0u) << what;
        }
    }
}

TEST_F(ImportAnalysis, AnAnalysedImportThatCannotBeWrittenLeavesTheLibraryAsItWas) {
    auto listing = [&]() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::string book_before = kv_test::read_bytes(dir_ + "/songs.kvnb");
    const auto files_before = listing();
    auto* book = book_node_->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    const size_t leaves_before = book->leafs.size();
    MplySmfFile file;
    MplySmfError error;
    ASSERT_TRUE(
        mply_read_smf(progression({{48, 52, 55}, {53, 57, 60}}, {60, 64, 65, 69}), &file, &error));
    // The chord map is written first (about 4 kB), then the stage map, the music and the book:
    // the first write fails, or a later one after the chord map is down.
    for (size_t fault_after : {size_t{0}, size_t{4000}}) {
        kv_fs::set_write_fault_after(fault_after);
        MplyImportReport report;
        MplyImportSaved saved;
        MplyImportAnalysis analysis;
        EXPECT_FALSE(mply_import_into_book(book_node_, file, CkvString("x"), "x", &report, &saved,
                                           &analysis))
            << fault_after;
        kv_fs::set_write_fault_after(std::string::npos);
        EXPECT_EQ(saved.fault, MplyImportSaveFault::write_failed) << fault_after;
        EXPECT_TRUE(saved.chord_file.empty()) << fault_after;
        EXPECT_EQ(kv_test::read_bytes(dir_ + "/songs.kvnb"), book_before) << fault_after;
        EXPECT_EQ(listing(), files_before) << fault_after;
        EXPECT_EQ(book->leafs.size(), leaves_before) << fault_after;
    }
}

TEST_F(ImportAnalysis, AMusicThatFollowsChordsAlreadyIsLeftAsItIs) {
    const MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
    MseqMusic* music = import(progression({{48, 52, 55}}, {60, 64, 67, 72}), "once", &target);
    ASSERT_NE(music, nullptr);
    const std::vector<std::string> before = kv_test::run_offline(music);
    const size_t tracks = music->tracks.size();
    MseqMapChord* map = chord_map(music);
    ASSERT_NE(map, nullptr);
    const int32_t key = map->m_CDegKey;
    // A second analysis would have its maps from here; it must not ask for one.
    struct NoMaps final : MplyAnalysisMaps {
        MseqMapChord* add_map(size_t, MSEQ_ID*) override {
            ADD_FAILURE() << "a map was asked for";
            return nullptr;
        }
    } maps;
    MplyAnalysisReport report;
    MplyAnalysisFault fault = MplyAnalysisFault::none;
    EXPECT_FALSE(mply_analyse_music(*music, maps, target, &report, &fault));
    EXPECT_EQ(fault, MplyAnalysisFault::follows_chords);
    EXPECT_EQ(music->tracks.size(), tracks);
    EXPECT_EQ(map->m_CDegKey, key);
    EXPECT_EQ(kv_test::run_offline(music), before);
}

// The program itself: the demo song exported, imported plainly and with --analyse into two
// copies of the demo library; `korvante events` lists the same events for both. A suite of its
// own with the real files below, as both take seconds in the sanitizer build.
class ImportAnalysisSlow : public ImportAnalysis {};

TEST_F(ImportAnalysisSlow, TheDemoSongAnalysedByTheCommandLinePlaysTheSame) {
    const std::string program_dir = std::filesystem::path(KV_PROGRAM).parent_path().string();
    std::string libs[2];
    for (int i = 0; i < 2; ++i) {
        const std::string root = dir_ + "/cli" + std::to_string(i);
        std::filesystem::create_directories(root);
        for (const char* folder : {"mymusic", "pattern_v01"})
            std::filesystem::copy(program_dir + "/" + folder, root + "/" + folder,
                                  std::filesystem::copy_options::recursive);
        libs[i] = root + "/mymusic/library.kvnr";
    }
    const std::string mid = dir_ + "/demo.mid";
    ProgramRun ex =
        run_program("export '" + libs[0] + "' はじまりの朝 -o '" + mid + "' --format 1");
    ASSERT_EQ(ex.status, 0) << ex.out;
    ProgramRun plain = run_program("import '" + mid + "' '" + libs[0] + "' --name song");
    ASSERT_EQ(plain.status, 0) << plain.out;
    ProgramRun analysed =
        run_program("import '" + mid + "' '" + libs[1] + "' --name song --analyse");
    ASSERT_EQ(analysed.status, 0) << analysed.out;
    EXPECT_NE(analysed.out.find("chord map: "), std::string::npos) << analysed.out;
    EXPECT_NE(analysed.out.find("analysis: key "), std::string::npos) << analysed.out;
    EXPECT_NE(analysed.out.find(" chord degrees, "), std::string::npos) << analysed.out;
    EXPECT_EQ(plain.out.find("analysis"), std::string::npos) << plain.out;
    ProgramRun a = run_program("events '" + libs[0] + "' song 2>/dev/null");
    ProgramRun b = run_program("events '" + libs[1] + "' song 2>/dev/null");
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    EXPECT_GT(a.out.size(), 10000u);
    EXPECT_TRUE(a.out == b.out) << "the analysed music plays other events";
    EXPECT_NE(kv_test::read_bytes(dir_ + "/cli1/mymusic/demo/demo.kvnl").find("MNBT_CDEG;"),
              std::string::npos);

    const std::string before = kv_test::read_bytes(libs[1]);
    ProgramRun bad = run_program("import '" + mid + "' '" + libs[1] + "' --analyse=fifths 2>&1");
    EXPECT_EQ(bad.status, 2) << bad.out;
    EXPECT_NE(bad.out.find("--analyse[=chord|scale|tone]"), std::string::npos) << bad.out;
    EXPECT_EQ(kv_test::read_bytes(libs[1]), before);
}

// The modulating file through the command line: the two sections' maps and the transposition
// track are written, read back by `korvante events`, and play the same as the plain import.
TEST_F(ImportAnalysisSlow, AModulationAnalysedByTheCommandLinePlaysTheSameFromItsFiles) {
    const std::string program_dir = std::filesystem::path(KV_PROGRAM).parent_path().string();
    std::string libs[2];
    for (int i = 0; i < 2; ++i) {
        const std::string root = dir_ + "/mod" + std::to_string(i);
        std::filesystem::create_directories(root);
        for (const char* folder : {"mymusic", "pattern_v01"})
            std::filesystem::copy(program_dir + "/" + folder, root + "/" + folder,
                                  std::filesystem::copy_options::recursive);
        libs[i] = root + "/mymusic/library.kvnr";
    }
    const std::string mid = dir_ + "/modulation.mid";
    std::ofstream(mid, std::ios::binary) << modulating_file();
    ProgramRun plain = run_program("import '" + mid + "' '" + libs[0] + "' --name song");
    ASSERT_EQ(plain.status, 0) << plain.out;
    ProgramRun analysed =
        run_program("import '" + mid + "' '" + libs[1] + "' --name song --analyse=scale");
    ASSERT_EQ(analysed.status, 0) << analysed.out;
    EXPECT_NE(analysed.out.find("analysis: key C major, from bar 9 Eb major; "), std::string::npos)
        << analysed.out;
    EXPECT_NE(analysed.out.find("modulation_chord.kvnl"), std::string::npos) << analysed.out;
    EXPECT_NE(analysed.out.find("modulation_chord2.kvnl"), std::string::npos) << analysed.out;
    ProgramRun a = run_program("events '" + libs[0] + "' song 2>/dev/null");
    ProgramRun b = run_program("events '" + libs[1] + "' song 2>/dev/null");
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    EXPECT_GT(a.out.size(), 1000u);
    EXPECT_TRUE(a.out == b.out) << "the analysed music plays other events";
    const std::string music = kv_test::read_bytes(dir_ + "/mod1/mymusic/demo/modulation.kvnl");
    EXPECT_NE(music.find("@type=\"MSEQ_TRACK_LINK\""), std::string::npos);  // the sections
    EXPECT_NE(music.find("MNBT_SDEG;"), std::string::npos);
}

// The MIDI files of Debian's openttd-openmsx (tools/setup.sh installs it), made by other
// programs: every one plays the same analysed.
TEST_F(ImportAnalysisSlow, RealFilesPlayTheSameAnalysed) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e :
         std::filesystem::directory_iterator("/usr/share/games/openttd/baseset/openmsx", ec)) {
        if (e.path().extension() == ".mid") files.push_back(e.path().string());
    }
    if (files.empty()) GTEST_SKIP() << "openttd-openmsx is not installed";
    std::sort(files.begin(), files.end());
    uint32_t converted = 0;
    for (const std::string& f : files) {
        ASSERT_NE(expect_same_events(kv_test::read_bytes(f), MplyAnalysisTarget::chord_degrees, f),
                  nullptr);
        EXPECT_GT(analysed.chords, 0u) << f;
        converted += analysed.chord_degrees + analysed.scale_degrees + analysed.tones;
    }
    EXPECT_GT(converted, 0u);
}

TEST_F(ImportAnalysis, TheTracksOfTheAnalysisAreNamedInTheLanguageShown) {
    struct Case {
        kv_language language;
        const char* chords;
        const char* sections;
    };
    const Case cases[] = {{kv_language::japanese, "コード", "転調"},
                          {kv_language::english, "Chords", "Key changes"}};
    for (const Case& c : cases) {
        kv_set_language(c.language);
        const MplyAnalysisTarget target = MplyAnalysisTarget::chord_degrees;
        MseqMusic* music = import(modulating_file(), "named" + std::to_string(++imports_), &target);
        kv_set_language(kv_language::japanese);
        ASSERT_NE(music, nullptr);
        MseqTrackChord* chords = chord_track(music);
        ASSERT_NE(chords, nullptr);
        EXPECT_EQ(kv_codec::utf8_from_cp932(chords->owner->name.str()), c.chords);
        MseqObject* sections = music->find_track(chords->m_MapID);
        ASSERT_NE(sections, nullptr);
        EXPECT_EQ(kv_codec::utf8_from_cp932(sections->name.str()), c.sections);
    }
}

}  // namespace import_analysis_test
