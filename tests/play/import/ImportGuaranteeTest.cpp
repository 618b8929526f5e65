// The guarantee of import: exporting an imported music gives the note events of the original
// file (key, velocity, channel, note-on and note-off ticks scaled to 480 a quarter) and its
// whole-number tempo changes. Both files are listed by Python's mido, an independent reader;
// the original's listing applies the exporter's one documented rule for overlapping notes of
// one key (the key sounds until the last of them ends). Checked on generated files of every
// usual division, format 0 and 1, drums, overlapping notes and running status, and on the real
// files of Debian's openttd-openmsx. The command line is checked too: import, then export.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ExternalTools.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/export/MplyExport.h"
#include "play/import/ImportBookFixture.h"
#include "play/import/MplyImportLibrary.h"
#include "play/import/SmfBuilder.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"
#include "tools/FileBytes.h"
#include "ui/RunProgram.h"

namespace import_guarantee_test {

// Lists the note events and tempo changes of a file, one a line. "original" pairs each
// note-off with the oldest sounding note of its key, scales to 480 a quarter (halves up),
// gives a note of no length one tick, ends hanging notes at their track's end, applies the
// overlapping-note rule and drops tempo changes to the tempo in force; "exported" lists as is.
const char* const kLister = R"PY(
import sys, mido
def scale(t, div): return (t * 480 + div // 2) // div
f = mido.MidiFile(sys.argv[1], clip=True)
original = sys.argv[2] == 'original'
div = f.ticks_per_beat
notes, tempos, out = [], [], []
for tr in f.tracks:
    t = 0; sounding = {}
    for m in tr:
        t += m.time
        if m.type == 'note_on' and m.velocity > 0:
            sounding.setdefault((m.channel, m.note), []).append((t, m.velocity))
        elif m.type in ('note_on', 'note_off'):
            l = sounding.get((m.channel, m.note))
            if l:
                on = l.pop(0); notes.append((m.channel, m.note, on[1], on[0], t))
        elif m.type == 'set_tempo':
            tempos.append((t, m.tempo))
    for (ch, key), l in sounding.items():
        for on in l: notes.append((ch, key, on[1], on[0], max(t, on[0])))
if original:
    ev = []
    for ch, key, vel, on, off in notes:
        a, b = scale(on, div), scale(off, div)
        if b <= a: b = a + 1
        ev.append((a, ch, 1, key, vel)); ev.append((b, ch, 0, key, 0))
    ev.sort(key=lambda e: (e[0], e[1], e[2]))
    count = {}
    for t, ch, on, key, vel in ev:
        c = count.get((ch, key), 0)
        if on:
            if c: out.append((t, ch, 0, key, 0))
            out.append((t, ch, 1, key, vel)); count[(ch, key)] = c + 1
        elif c:
            count[(ch, key)] = c - 1
            if c == 1: out.append((t, ch, 0, key, 0))
    last = {}
    for t, us in sorted(tempos, key=lambda x: x[0]):
        last[scale(t, div)] = min(1024, max(4, round(60000000 / us))) if us else 1024
    cur = 120; tl = []
    for t in sorted(last):
        if last[t] != cur: tl.append((t, last[t]))
        cur = last[t]
else:
    for ch, key, vel, on, off in notes:
        out.append((on, ch, 1, key, vel)); out.append((off, ch, 0, key, 0))
    tl = [(t, round(60000000 / us)) for t, us in tempos]
for e in sorted(out): print('note %d %d %d %d %d' % e)
for e in tl: print('tempo %d %d' % e)
)PY";

struct Listing {
    std::vector<std::string> notes;
    std::vector<std::pair<long, long>> tempi;  // tick, beats a minute
    bool ok = false;
};

std::string write_temp(const std::string& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

Listing list_file(const std::string& script, const std::string& midi, const char* mode) {
    Listing l;
    std::string out;
    if (kv_test::run_capture("/usr/bin/python3 '" + script + "' '" + midi + "' " + mode + " 2>&1",
                             &out) != 0) {
        ADD_FAILURE() << "mido could not list " << midi << ": " << out;
        return l;
    }
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("note ", 0) == 0) {
            l.notes.push_back(line);
        } else if (line.rfind("tempo ", 0) == 0) {
            long tick = 0, bpm = 0;
            std::sscanf(line.c_str(), "tempo %ld %ld", &tick, &bpm);
            l.tempi.push_back({tick, bpm});
        }
    }
    l.ok = true;
    return l;
}

// Same note events, and the same tempo changes (each at its tick, or within half a 64th when
// the report says tempo changes had to be moved to the grid).
void expect_same(const Listing& original, const Listing& exported, uint32_t tempo_moved,
                 const std::string& what) {
    ASSERT_TRUE(original.ok && exported.ok) << what;
    EXPECT_FALSE(original.notes.empty()) << what;
    EXPECT_EQ(original.notes.size(), exported.notes.size()) << what;
    const auto diff = std::mismatch(original.notes.begin(), original.notes.end(),
                                    exported.notes.begin(), exported.notes.end());
    if (diff.first != original.notes.end() || diff.second != exported.notes.end())
        ADD_FAILURE() << what << ": first difference, original "
                      << (diff.first != original.notes.end() ? *diff.first : "(end)")
                      << ", exported "
                      << (diff.second != exported.notes.end() ? *diff.second : "(end)");
    ASSERT_EQ(original.tempi.size(), exported.tempi.size()) << what;
    uint32_t moved = 0;
    for (size_t i = 0; i < original.tempi.size(); ++i) {
        EXPECT_EQ(original.tempi[i].second, exported.tempi[i].second) << what << " tempo " << i;
        const long off = std::labs(original.tempi[i].first - exported.tempi[i].first);
        EXPECT_LE(off, 15) << what << " tempo " << i;
        moved += off != 0;
    }
    EXPECT_LE(moved, tempo_moved) << what;
}

// A channel event of a generated track.
struct Event {
    uint32_t tick;
    uint8_t status, d1;
    int d2;
};

// Varied music for one file: a few parts of chords and lines, some on a grid and some played,
// overlapping notes of one key, drums on the tenth channel, program and controller changes.
std::vector<std::vector<Event>> generate_parts(std::mt19937& rng, uint16_t division) {
    std::vector<std::vector<Event>> parts;
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const uint32_t q = division, bars = 4, end = bars * 4 * q;
    for (uint8_t ch : {uint8_t{0}, uint8_t{3}, uint8_t{9}}) {
        std::vector<Event> e;
        e.push_back({0, static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(pick(0, 80)), -1});
        e.push_back({0, static_cast<uint8_t>(0xB0 | ch), 7, pick(60, 127)});
        const bool played = ch == 3;
        for (uint32_t t = 0; t + q <= end; t += q / 2) {
            const int keys = ch == 9 ? 2 : pick(1, 3);
            for (int k = 0; k < keys; ++k) {
                const uint8_t key = static_cast<uint8_t>(ch == 9 ? (k ? 42 : 36) : pick(40, 84));
                const int jitter = played ? pick(0, static_cast<int>(q / 10)) : 0;
                const uint32_t len =
                    played
                        ? static_cast<uint32_t>(pick(static_cast<int>(q / 8), static_cast<int>(q)))
                        : q / 2 * static_cast<uint32_t>(pick(1, 3));
                e.push_back({t + jitter, static_cast<uint8_t>(0x90 | ch), key, pick(1, 127)});
                e.push_back({t + jitter + len, static_cast<uint8_t>(0x80 | ch), key, 0});
            }
        }
        // Two notes of one key overlapping, and a later controller change.
        e.push_back({q, static_cast<uint8_t>(0x90 | ch), 90, 100});
        e.push_back({q + q / 2, static_cast<uint8_t>(0x90 | ch), 90, 80});
        e.push_back({q * 3, static_cast<uint8_t>(0x80 | ch), 90, 0});
        e.push_back({q * 4, static_cast<uint8_t>(0x80 | ch), 90, 0});
        e.push_back({q * 8, static_cast<uint8_t>(0xB0 | ch), 10, pick(0, 127)});
        std::stable_sort(e.begin(), e.end(),
                         [](const Event& a, const Event& b) { return a.tick < b.tick; });
        parts.push_back(std::move(e));
    }
    return parts;
}

smf_builder::TrackBytes track_of(const std::vector<Event>& events, bool running) {
    smf_builder::TrackBytes t;
    t.running = running;
    uint32_t at = 0;
    for (const Event& e : events) {
        // With running status note-offs are written as note-ons of velocity 0.
        if (running && (e.status & 0xF0) == 0x80)
            t.off(e.tick - at, e.status & 0x0F, e.d1, true);
        else
            t.msg(e.tick - at, e.status, e.d1, e.d2);
        at = e.tick;
    }
    return t;
}

std::string generate_file(uint32_t variant, uint16_t division, uint16_t format) {
    std::mt19937 rng(variant);
    const uint32_t q = division;
    smf_builder::TrackBytes conductor;
    conductor.meta(0, 0x03, "Generated").tempo(0, 500000 + variant % 7 * 20000);
    conductor.meta(0, 0x58, "\x04\x02\x18\x08").meta(q * 4, 0x06, "B");
    conductor.tempo(q * 4, 400000).tempo(q * 6, 600000 - variant % 3 * 1111);
    const auto parts = generate_parts(rng, division);
    if (format == 1) {
        std::vector<smf_builder::TrackBytes> tracks = {conductor.end()};
        for (size_t i = 0; i < parts.size(); ++i)
            tracks.push_back(track_of(parts[i], i % 2 == 0).end());
        return smf_builder::file(1, division, tracks);
    }
    std::vector<Event> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    std::stable_sort(all.begin(), all.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    // Format 0: one track; the tempo changes go in as metas among the notes.
    smf_builder::TrackBytes one = track_of(all, true);
    one.tempo(0, 450000).end();
    return smf_builder::file(0, division, {one});
}

// A library of one music book on disk, kept open while the test runs, and the lister script.
class ImportGuarantee : public import_book_fixture::ImportBook {
protected:
    void SetUp() override {
        if (!kv_test::have_mido()) GTEST_SKIP() << "python3-mido is not installed";
        ImportBook::SetUp();
        if (HasFatalFailure()) return;
        script_ = write_temp(dir_, "list.py", kLister);
    }

    // Imports the bytes, exports the new music and compares both files through mido.
    void round_trip(const std::string& bytes, const std::string& what) {
        MplySmfFile file;
        MplySmfError error;
        ASSERT_TRUE(mply_read_smf(bytes, &file, &error))
            << what << ": " << mply_smf_fault_text(error.fault) << " at " << error.offset;
        MplyImportReport report;
        MplyImportSaved saved;
        ASSERT_TRUE(
            mply_import_into_book(book_node_, file, CkvString("song"), "song", &report, &saved))
            << what;
        auto* music = saved.music->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        MplyPlayer player(nullptr, false);
        MplyExport exporter;
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        std::vector<uint8_t> midi;
        ASSERT_EQ(MplyExportMusic(player, exporter, run, "", &midi), MplyExportResult::ok) << what;
        const std::string original = write_temp(dir_, "original.mid", bytes);
        const std::string exported =
            write_temp(dir_, "exported.mid", std::string(midi.begin(), midi.end()));
        expect_same(list_file(script_, original, "original"),
                    list_file(script_, exported, "exported"), report.tempo_moved, what);
    }

    std::string script_;
};

TEST_F(ImportGuarantee, GeneratedFilesOfEveryDivisionAndFormatExportTheirOwnNotes) {
    uint32_t variant = 1;
    for (uint16_t division : {96, 120, 192, 384, 480, 960}) {
        for (uint16_t format : {0, 1}) {
            round_trip(
                generate_file(variant, division, format),
                "division " + std::to_string(division) + " format " + std::to_string(format));
            ++variant;
        }
    }
}

// The MIDI files of Debian's openttd-openmsx (tools/setup.sh installs it).
std::vector<std::string> real_files() {
    std::vector<std::string> out;
    const std::filesystem::path dir = "/usr/share/games/openttd/baseset/openmsx";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        if (e.path().extension() == ".mid") out.push_back(e.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(ImportGuarantee, RealFilesExportTheirOwnNotes) {
    const auto files = real_files();
    if (files.empty()) GTEST_SKIP() << "openttd-openmsx is not installed";
    for (const std::string& f : files)
        round_trip(kv_test::read_bytes(f), f);
}

TEST_F(ImportGuarantee, ARefusedImportLeavesTheLibraryAsItWas) {
    const std::string room_before = kv_test::read_bytes(dir_ + "/library.kvnr");
    const std::string book_before = kv_test::read_bytes(dir_ + "/songs.kvnb");
    auto listing = [&]() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto files_before = listing();
    auto* book = book_node_->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    const size_t leaves_before = book->leafs.size();

    smf_builder::TrackBytes wide;
    for (uint8_t ch = 0; ch < 3; ++ch) {
        for (uint8_t key = 0; key < 100; ++key)
            wide.on(0, ch, key, 64);
    }
    MplySmfFile too_wide, fine;
    MplySmfError error;
    ASSERT_TRUE(mply_read_smf(smf_builder::file(0, 480, {wide.end(480)}), &too_wide, &error));
    ASSERT_TRUE(mply_read_smf(generate_file(7, 480, 1), &fine, &error));

    struct Case {
        const char* what;
        const MplySmfFile* file;
        size_t fault_after;  // bytes the writes may put down before they fail
        MplyImportSaveFault fault;
    };
    const Case cases[] = {
        {"too many tracks", &too_wide, std::string::npos, MplyImportSaveFault::refused},
        {"the stage map cannot be written", &fine, 0, MplyImportSaveFault::write_failed},
        {"the music cannot be written", &fine, 5000, MplyImportSaveFault::write_failed},
    };
    for (const Case& c : cases) {
        kv_fs::set_write_fault_after(c.fault_after);
        MplyImportReport report;
        MplyImportSaved saved;
        EXPECT_FALSE(
            mply_import_into_book(book_node_, *c.file, CkvString("x"), "x", &report, &saved))
            << c.what;
        kv_fs::set_write_fault_after(std::string::npos);
        EXPECT_EQ(saved.fault, c.fault) << c.what;
        EXPECT_EQ(kv_test::read_bytes(dir_ + "/library.kvnr"), room_before) << c.what;
        EXPECT_EQ(kv_test::read_bytes(dir_ + "/songs.kvnb"), book_before) << c.what;
        EXPECT_EQ(listing(), files_before) << c.what;
        EXPECT_EQ(book->leafs.size(), leaves_before) << c.what;
    }
}

// The program itself: `korvante import` of a real file, then `korvante export` of the music.
TEST_F(ImportGuarantee, TheCommandLineImportsAndExportsTheSameNotes) {
    const auto files = real_files();
    if (files.empty()) GTEST_SKIP() << "openttd-openmsx is not installed";
    const std::string program_dir = std::filesystem::path(KV_PROGRAM).parent_path().string();
    const std::string lib = dir_ + "/cli";
    std::filesystem::copy(program_dir + "/mymusic", lib, std::filesystem::copy_options::recursive);
    const std::string library = lib + "/library.kvnr";

    ProgramRun in = run_program("import '" + files[0] + "' '" + library + "' --name imported_one");
    ASSERT_EQ(in.status, 0) << in.out;
    EXPECT_NE(in.out.find("imported"), std::string::npos) << in.out;
    const std::string out_mid = dir_ + "/cli.mid";
    ProgramRun ex = run_program("export '" + library + "' imported_one -o '" + out_mid + "'");
    ASSERT_EQ(ex.status, 0) << ex.out;
    expect_same(list_file(script_, files[0], "original"), list_file(script_, out_mid, "exported"),
                1000, files[0]);

    // Refusals name the file, the byte and the reason, and leave the library as it was.
    const std::string before = kv_test::read_bytes(library);
    const std::string cut =
        write_temp(dir_, "cut.mid", kv_test::read_bytes(files[0]).substr(0, 24));
    ProgramRun bad = run_program("import '" + cut + "' '" + library + "' 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find(cut + ": byte 18: "), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("past the end"), std::string::npos) << bad.out;
    const std::string huge = dir_ + "/huge.mid";
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, uint64_t{1} << 30);  // sparse: nothing is written
    ProgramRun big = run_program("import '" + huge + "' '" + library + "' 2>&1");
    EXPECT_EQ(big.status, 1);
    EXPECT_NE(big.out.find(huge + ": byte "), std::string::npos) << big.out;
    EXPECT_NE(big.out.find("larger than 64 MiB"), std::string::npos) << big.out;
    ProgramRun named = run_program("import '" + files[0] + "' '" + library + "' --name 'a/b' 2>&1");
    EXPECT_EQ(named.status, 1);
    EXPECT_NE(named.out.find("not a usable leaf name"), std::string::npos) << named.out;
    ProgramRun usage = run_program("import '" + files[0] + "' 2>&1");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(kv_test::read_bytes(library), before);
}

}  // namespace import_guarantee_test
