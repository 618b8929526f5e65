// The property lists of every editor-track kind, pinned: each row's number, style, group, name
// and help, the value texts and choices, and what setting each row to a spread of values does
// (the value it keeps, the text it then shows, and whether the stage map was marked modified).
// The whole account is compared with tests/data/edit/property_rows.txt, written from the
// editor as it was before its property rows became tables, so that the tables are proven to
// list, read and set exactly what the per-kind code did. KV_UPDATE_GOLDEN=1 rewrites the file
// (only for a deliberate change of the lists, reviewed in the diff).
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "edit/EditFixture.h"
#include "edit/InMemoryLibrary.h"
#include "edit/MedtMusic.h"
#include "edit/MedtTrack.h"
#include "model/core/MseqDesk.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMapWord.h"
#include "model/track/MseqTrack.h"
#include "platform/TextCodec.h"

namespace property_rows_test {

std::string u8(const CkvString& s) {
    return kv_codec::utf8_from_cp932(s);
}

std::string word(const MseqBlockWord& w) {
    std::ostringstream out;
    out << w.m_Attrib << '/' << w.m_Group << '/' << w.m_Index << " '" << u8(w.m_Name) << "'";
    return out.str();
}

// The first word of the built-in dictionary of `kind`.
MseqBlockWord first_word(uint16_t kind) {
    for (const auto& [key, w] : MseqMapWord::builtin().words()) {
        if (w.m_Attrib == kind) return w;
    }
    return MseqBlockWord();
}

MseqBlockWord number(int64_t v) {
    return medt_typed_number(v);
}

MseqBlockWord text(const std::string& utf8) {
    MseqBlockWord w;
    w.m_Name = CkvString(kv_codec::cp932_from_utf8(utf8));
    return w;
}

// A music and a phrase of one book with a track of every kind (inside and outside a group),
// a stage map and a chord map the music can link, and an editor on each.
class PropertyRows : public ::testing::Test {
protected:
    void SetUp() override {
        stage_node = lib.leaf(MTYPE_LEAF_STAGE, "stage");
        stage_ref = mseq_open(stage_node);
        ASSERT_TRUE(stage_ref);
        stage = stage_ref->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE);
        lib.song->m_MapStageID = InMemoryLibrary::ref(stage_node);
        stage->block(3)->m_Volume = 99;
        stage->block(3)->m_Pan = 20;

        MseqMusic* s = lib.song;
        chord = add(s, s->header(), MTYPE_TRACK_CHORD, 4, "chords");
        modulation = add(s, s->header(), MTYPE_TRACK_CHORD_MAP, 1, "modulation");
        add(s, s->header(), MTYPE_TRACK_LYRIC, 4, "lyric");
        add(s, s->header(), MTYPE_TRACK_MARKER, 4, "marker");
        add(s, s->header(), MTYPE_TRACK_TEMPO, 4, "tempo");
        melody = add(s, s->detail(), MTYPE_TRACK_NOTE, 16, "melody");
        MseqObject* phrases = add(s, s->detail(), MTYPE_TRACK_REFER, 4, "phrases");
        mseq_track_of(phrases)->set_channel(MseqMapStage::kDrumChannel);
        add(s, s->detail(), MTYPE_TRACK_MSG, 4, "message");
        MseqObject* band = add(s, s->detail(), MTYPE_TRACK_GROUP, 1, "band");
        mseq_track_of(band)->set_channel(3);
        add(s, band, MTYPE_TRACK_NOTE, 8, "bass");
        add(s, band, MTYPE_TRACK_REFER, 4, "fills");
        add(s, s->detail(), MTYPE_TRACK_TEXT, 1, "words");

        MseqMusic* p = lib.phrase;
        add(p, p->detail(), MTYPE_TRACK_NOTE, 16, "riff notes");
        add(p, p->detail(), MTYPE_TRACK_MSG, 4, "riff message");

        song_editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(s, &clip, &leaves));
        phrase_editor = ref_ptr<MedtMusicInvoker>::adopt(new MedtMusicInvoker(p, &clip, &leaves));
        song_editor->port = &port;
        phrase_editor->port = &port;
    }
    void TearDown() override {
        song_editor = nullptr;
        phrase_editor = nullptr;
        MseqDesk::instance().modified.clear();
    }

    static MseqObject* add(MseqMusic* m, MseqObject* under, MSEQ_TYPE type, int32_t beat,
                           const char* name) {
        MseqObject* node = m->create_track(under->id, MPLACE_LAST_CHILD, type, CkvString(name));
        EXPECT_NE(node, nullptr) << name;
        if (node) mseq_track_of(node)->m_Beat = beat;
        return node;
    }

    // The rows of `t` with their texts and, for choice rows, every choice.
    static void list(MedtTrack* t, std::ostream& out) {
        std::vector<MedtProperty> rows;
        t->build_properties(rows);
        for (const MedtProperty& p : rows) {
            uint32_t style = 0;
            const CkvString value = t->property_text(p.number, &style);
            out << "  row " << p.number << " style " << std::hex << p.style << std::dec << " group "
                << p.group << " text " << (t->property_is_text(p.number) ? 1 : 0) << " | "
                << u8(p.name) << " | " << u8(p.help) << "\n";
            out << "    value '" << u8(value) << "' style " << std::hex << style << std::dec
                << "\n";
            for (int32_t i = 0; i < 4096; ++i) {
                MseqBlockWord v;
                CkvString shown;
                const int answer = t->property_choice(p.number, i, &v, &shown);
                if (answer != MCHOICE_ITEM && answer != MCHOICE_CURRENT) {
                    out << "    choices " << i << " end " << answer << "\n";
                    break;
                }
                out << "    choice " << i << (answer == MCHOICE_CURRENT ? " * " : "   ") << word(v)
                    << " '" << u8(shown) << "'\n";
            }
        }
    }

    // The values each row is set to: numbers across every range, texts, each choice, words of
    // every kind, and the leaves and tracks a link may or may not take.
    std::vector<MseqBlockWord> probes(MedtTrack* t, const MedtProperty& p) const {
        std::vector<MseqBlockWord> out;
        const int64_t numbers[] = {INT64_MIN, INT32_MIN, -241,      -240,     -13, -12, -3,  -2,
                                   -1,        0,         1,         2,        3,   4,   5,   8,
                                   9,         12,        13,        15,       16,  100, 119, 120,
                                   121,       127,       128,       200,      201, 240, 241, 1024,
                                   1025,      0x8000,    INT32_MAX, INT64_MAX};
        if (t->property_is_text(p.number)) {
            out.push_back(text("abc"));
            out.push_back(text("曲 %<book>"));
            out.push_back(text(""));
            return out;
        }
        if (p.style == MPS_LINK) {
            out.push_back(MseqBlockWord());
            for (const MseqObject* n :
                 {lib.map_node, stage_node, lib.phrase_node, chord, modulation, melody})
                out.push_back(number(n->id));
            out.push_back(number(0x12345));
            return out;
        }
        for (int64_t v : numbers)
            out.push_back(number(v));
        // The first and last few choices of each list (every choice is listed already).
        std::vector<MseqBlockWord> choices;
        for (int32_t i = 0; i < 4096; ++i) {
            MseqBlockWord v;
            const int answer = t->property_choice(p.number, i, &v, nullptr);
            if (answer != MCHOICE_ITEM && answer != MCHOICE_CURRENT) break;
            choices.push_back(v);
        }
        for (size_t i = 0; i < choices.size(); ++i) {
            if (i < 3 || i + 2 >= choices.size()) out.push_back(choices[i]);
        }
        out.push_back(MseqBlockWord());
        for (uint16_t kind : {MWORD_PROGRAM, MWORD_DRUM_KIT, MWORD_DRUM_SOUND, MWORD_MSG_FORM}) {
            MseqBlockWord w = first_word(kind);
            out.push_back(w);
            w.m_Name = CkvString();
            w.m_Index += 1;
            out.push_back(w);
        }
        return out;
    }

    // Sets every listed row of `t` to each of its probes and every unlisted number to a number
    // and a text, writing what each set answered and left.
    void probe(MedtTrack* t, std::ostream& out) {
        std::vector<MedtProperty> rows;
        t->build_properties(rows);
        for (const MedtProperty& p : rows) {
            for (const MseqBlockWord& v : probes(t, p)) {
                MseqDesk::instance().modified.clear();
                const bool done = t->set_property(p.number, v);
                uint32_t style = 0;
                const CkvString shown = t->property_text(p.number, &style);
                const bool marked = MseqDesk::instance().modified.count(stage) != 0;
                out << "  set " << p.number << " " << word(v) << " -> " << (done ? 1 : 0) << " '"
                    << u8(shown) << "' style " << std::hex << style << std::dec
                    << (marked ? " stage modified" : "") << "\n";
            }
        }
        for (int32_t n = 0; n <= 32; ++n) {
            bool listed = false;
            for (const MedtProperty& p : rows)
                listed = listed || p.number == n;
            if (listed) continue;
            const CkvString before = t->property_text(n, nullptr);
            const bool as_number = t->set_property(n, number(1));
            const bool as_text = t->set_property(n, text("hidden"));
            out << "  unlisted " << n << " text " << (t->property_is_text(n) ? 1 : 0) << " value '"
                << u8(before) << "' choice " << t->property_choice(n, 0, nullptr, nullptr)
                << " set " << (as_number ? 1 : 0) << (as_text ? 1 : 0) << "\n";
        }
    }

    // The account of both editors: every list, every probe, and every list again.
    std::string account() {
        std::ostringstream out;
        for (int pass = 0; pass < 3; ++pass) {
            for (MedtMusicInvoker* e : {song_editor.get(), phrase_editor.get()}) {
                for (MedtTrack* t = e->root(); t; t = t->next_in(e->root())) {
                    out << (pass == 1 ? "probe " : "track ")
                        << kv_codec::utf8_from_cp932(mseq_type_name(t->node()->type)) << " '"
                        << u8(t->name()) << "'" << (t->in_phrase() ? " in phrase" : "")
                        << (t->in_group() ? " in group" : "") << "\n";
                    if (pass == 1)
                        probe(t, out);
                    else
                        list(t, out);
                }
            }
        }
        return out.str();
    }

    InMemoryLibrary lib;
    MseqObject* stage_node = nullptr;
    ref_ptr<MseqEntity> stage_ref;
    MseqMapStage* stage = nullptr;
    MseqObject* chord = nullptr;
    MseqObject* modulation = nullptr;
    MseqObject* melody = nullptr;
    MseqObject clip;
    MseqObject leaves;
    QueuePort port;
    ref_ptr<MedtMusicInvoker> song_editor;
    ref_ptr<MedtMusicInvoker> phrase_editor;
};

std::string golden_path() {
    return std::string(KV_TEST_DATA) + "/edit/property_rows.txt";
}

TEST_F(PropertyRows, EveryKindListsReadsAndSetsItsRowsAsPinned) {
    const std::string got = account();
    if (std::getenv("KV_UPDATE_GOLDEN")) {
        std::ofstream(golden_path(), std::ios::binary) << got;
        GTEST_SKIP() << "rewrote " << golden_path();
    }
    std::ifstream in(golden_path(), std::ios::binary);
    ASSERT_TRUE(in) << golden_path();
    std::stringstream want;
    want << in.rdbuf();
    if (got == want.str()) return;
    // A difference is reported at the first line that changed.
    std::istringstream a(got), b(want.str());
    std::string line_got, line_want;
    for (int line = 1;; ++line) {
        const bool more_got = static_cast<bool>(std::getline(a, line_got));
        const bool more_want = static_cast<bool>(std::getline(b, line_want));
        ASSERT_EQ(more_got, more_want) << "the account ends early or runs on at line " << line;
        ASSERT_TRUE(more_got) << "the account differs in its last line break";
        ASSERT_EQ(line_got, line_want) << "line " << line;
    }
}

// The account covers what it claims to: every kind of editor track, both contexts of the root,
// channel rows inside and outside a group, and rows that take each style.
TEST_F(PropertyRows, TheAccountReachesEveryKindAndStyle) {
    const std::string got = account();
    for (const char* wanted :
         {"in phrase", "in group", "style 100", "style 200", "style 300", "style 400", "style 800",
          "stage modified", "choice 0 * ", "-> 1 ", "-> 0 "}) {
        EXPECT_NE(got.find(wanted), std::string::npos) << wanted;
    }
    size_t tracks = 0;
    for (MedtMusicInvoker* e : {song_editor.get(), phrase_editor.get()}) {
        for (MedtTrack* t = e->root(); t; t = t->next_in(e->root()))
            ++tracks;
    }
    // Root, header and part of each, the twelve tracks of the music and two of the phrase.
    EXPECT_EQ(tracks, 6u + 12u + 2u);
}

}  // namespace property_rows_test
