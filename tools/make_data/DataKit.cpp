#include "DataKit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqPathOps.h"
#include "model/lang/KvLanguage.h"
#include "model/theory/MseqMapWord.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

namespace kv_data {

void fail(const std::string& what) {
    std::fprintf(stderr, "make_data: %s\n", what.c_str());
    std::exit(1);
}

CkvString jp(std::string_view utf8) {
    std::string cp932 = kv_codec::cp932_from_utf8(utf8);
    if (kv_codec::utf8_from_cp932(cp932) != utf8)
        fail("the text \"" + std::string(utf8) + "\" cannot be kept in CP932");
    return CkvString(std::move(cp932));
}

const char* say(const char* ja, const char* en) {
    return kv_current_language() == kv_language::english ? en : ja;
}

Output::Output(const std::string& host_folder) {
    if (!host_folder.empty()) windows_ = kv_fs::from_host(host_folder);
    if (windows_.empty()) fail("no output folder \"" + host_folder + "\"");
    while (windows_.size() > 3 && windows_.back() == '\\')
        windows_.pop_back();
    MseqDesk::instance().set_store(&store_);
    mseq_path::set_program_file(CkvString(windows_ + "\\korvante"));
}

Output::~Output() {
    MseqDesk::instance().modified.clear();
    MseqDesk::instance().cache.clear();
    MseqDesk::instance().set_store(nullptr);
}

MseqFullPath Output::path(std::string_view relative) const {
    std::string rel(relative);
    for (char& c : rel) {
        if (c == '/') c = '\\';
    }
    return MseqFullPath(mseq_path::append(windows_, rel));
}

void Output::save(MseqEntity* entity, std::string_view relative) const {
    entity->full_path = path(relative);
    save(entity);
}

void Output::save(MseqEntity* entity) const {
    if (!MrecCompiler::save(entity))
        fail("cannot write " + kv_fs::to_host(entity->full_path.str()));
}

MseqBlockWord program_word(uint32_t program) {
    return MseqMapWord::builtin().find(MWORD_PROGRAM, 0, program);
}

MseqBlockWord drum_kit_word(uint32_t kit) {
    return MseqMapWord::builtin().find(MWORD_DRUM_KIT, 0, kit);
}

MseqBlockWord drum_sound_word(uint32_t note) {
    return MseqMapWord::builtin().find(MWORD_DRUM_SOUND, 0, note);
}

MseqTrackNote* add_note_track(MseqMusic& music, std::string_view name, int32_t beat,
                              int32_t channel, int32_t octave, int32_t length_rate) {
    auto* t = add_track<MseqTrackNote>(music, MID_TRACK_DETAIL, MTYPE_TRACK_NOTE, name);
    if (!t->set_grid_when_empty(beat) || t->m_Beat != beat)
        fail("bad grid for " + std::string(name));
    if (!t->set_channel(channel)) fail("bad channel for " + std::string(name));
    t->m_Octave = octave;
    t->m_LRate = length_rate;
    return t;
}

MseqTrackNote* add_drum_track(MseqMusic& music, std::string_view name, uint32_t drum_note,
                              int32_t beat, int32_t channel) {
    MseqTrackNote* t = add_note_track(music, name, beat, channel, 5);
    t->m_Rhythm = drum_sound_word(drum_note);
    return t;
}

void put(MseqTrack* track, int32_t index, const MseqBlock& block) {
    if (!track->set_block(track->m_Beat, index, &block))
        fail("a block at " + std::to_string(index) + " was refused");
}

MseqTrackMarker* add_markers(MseqMusic& music, const std::vector<Section>& sections,
                             std::string_view track_name) {
    auto* t = add_track<MseqTrackMarker>(music, MID_TRACK_HEADER, MTYPE_TRACK_MARKER, track_name);
    if (t->owner->id != MID_TRACK_MARKER) fail("the marker track has another identifier");
    for (const Section& s : sections) {
        MseqBlockLabel label;
        label.m_Label = jp(s.name);
        put(t, s.bar, label);
    }
    return t;
}

const HitTable& plain_hits() {
    static const HitTable table = {
        {'X', Hit{118}},
        {'x', Hit{96}},
        {'o', Hit{72}},
        {'g', Hit{44}},
    };
    return table;
}

namespace {

// Writes notes of the grid and line notations, holding the one being written so that ties can
// lengthen it.
class NoteWriter {
public:
    NoteWriter(MseqTrackNote* track, int32_t start) : track_(track), at_(start) {}

    void note(const MseqBlockNote& block, int32_t length) {
        flush();
        skipping_ = false;
        open_ = true;
        block_ = block;
        block_.m_Length = length;
        block_at_ = at_;
        at_ += length;
    }
    void rest(int32_t length) {
        flush();
        skipping_ = false;
        at_ += length;
    }
    // A step that this track leaves out (a hit it does not play): ties after it stay silent.
    void skip() {
        rest(1);
        skipping_ = true;
    }
    void hold(int32_t length) {
        if (!open_ && skipping_) {
            at_ += length;
            return;
        }
        if (!open_) fail("a tie without a note before it");
        block_.m_Length += length;
        at_ += length;
    }
    void bar_line() {
        if (at_ % track_->m_Beat != 0)
            fail("a bar line at step " + std::to_string(at_) + " does not fall on a bar");
    }
    int32_t finish() {
        flush();
        return at_;
    }

private:
    void flush() {
        if (open_) put(track_, block_at_, block_);
        open_ = false;
    }

    MseqTrackNote* track_;
    int32_t at_;
    bool open_ = false;
    bool skipping_ = false;
    MseqBlockNote block_;
    int32_t block_at_ = 0;
};

MseqBlockNote block_of(const Pitch& p, const Hit& hit) {
    MseqBlockNote n;
    n.set_type(p.type);
    n.m_Octave = p.octave;
    n.m_Whole = p.whole;
    n.m_Semi = p.semi;
    n.m_Velocity = hit.velocity;
    n.m_Flags = hit.flags;
    n.m_STime = hit.start;
    n.m_ETime = hit.extra;
    return n;
}

int letter_of(char c) {
    static const std::string_view letters = "cdefgab";
    const size_t at = letters.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Reads one pitch at the front of `t` for the note type; the rest stays in `t`.
Pitch read_pitch(uint32_t type, std::string_view& t, const std::string& token) {
    Pitch p;
    p.type = type;
    auto bad = [&]() { fail("bad note \"" + token + "\""); };
    if (type == MNBT_RHYTHM) {
        if (t.empty() || t[0] != 'x') bad();
        t.remove_prefix(1);
        return p;
    }
    if (type == MNBT_CDEG || type == MNBT_SDEG) {
        bool negative = false;
        if (!t.empty() && t[0] == '-') {
            negative = true;
            t.remove_prefix(1);
        }
        int value = 0, digits = 0;
        while (!t.empty() && t[0] >= '0' && t[0] <= '9') {
            value = value * 10 + (t[0] - '0');
            ++digits;
            t.remove_prefix(1);
        }
        if (!digits) bad();
        p.whole = static_cast<int8_t>(negative ? -value : value);
    } else {
        if (t.empty() || letter_of(t[0]) < 0) bad();
        p.whole = static_cast<int8_t>(letter_of(t[0]));
        t.remove_prefix(1);
    }
    if (!t.empty() && (t[0] == '#' || t[0] == 'b')) {
        p.semi = t[0] == '#' ? 1 : -1;
        t.remove_prefix(1);
    }
    if (type == MNBT_PURE) {
        if (t.empty() || t[0] < '0' || t[0] > '9') bad();
        p.octave = static_cast<int8_t>(t[0] - '0');
        t.remove_prefix(1);
        return p;
    }
    while (!t.empty() && (t[0] == '\'' || t[0] == ',')) {
        p.octave = static_cast<int8_t>(p.octave + (t[0] == '\'' ? 1 : -1));
        t.remove_prefix(1);
    }
    return p;
}

}  // namespace

int32_t grid(MseqTrackNote* track, int32_t start, std::string_view pattern, const Pitch& pitch,
             const HitTable& hits) {
    NoteWriter w(track, start);
    for (char c : pattern) {
        if (c == ' ') continue;
        if (c == '|') {
            w.bar_line();
        } else if (c == '.') {
            w.rest(1);
        } else if (c == '-') {
            w.hold(1);
        } else {
            auto it = hits.find(c);
            if (it == hits.end()) fail(std::string("unknown step '") + c + "'");
            if (it->second.velocity == 0) {
                w.skip();
            } else {
                w.note(block_of(pitch, it->second), 1);
            }
        }
    }
    return w.finish();
}

int32_t line(MseqTrackNote* track, uint32_t type, int32_t start, std::string_view text,
             uint8_t velocity) {
    NoteWriter w(track, start);
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ' || text[pos] == '\n') {
            ++pos;
            continue;
        }
        size_t end = text.find_first_of(" \n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string token(text.substr(pos, end - pos));
        pos = end;
        if (token == "|") {
            w.bar_line();
            continue;
        }
        std::string_view t = token;
        int32_t length = 1;
        const size_t star = token.find('*');
        if (star != std::string::npos) {
            length = std::atoi(token.c_str() + star + 1);
            if (length < 1) fail("bad length in \"" + token + "\"");
            t = t.substr(0, star);
        }
        if (t == "r") {
            w.rest(length);
            continue;
        }
        if (t == "_") {
            w.hold(length);
            continue;
        }
        const Pitch p = read_pitch(type, t, token);
        Hit hit{velocity};
        if (t == "!") {
            hit.velocity = 118;
        } else if (t == "?") {
            hit.velocity = 72;
        } else if (t == "~") {
            hit.velocity = 48;
        } else if (!t.empty()) {
            fail("bad note \"" + token + "\"");
        }
        w.note(block_of(p, hit), length);
    }
    return w.finish();
}

Pitch pitch_of(uint32_t type, std::string_view text) {
    const std::string token(text);
    std::string_view t = token;
    const Pitch p = read_pitch(type, t, token);
    if (!t.empty()) fail("bad pitch \"" + token + "\"");
    return p;
}

namespace {

// The height of a tone or pure note in semitones (the key it is played in left aside).
int height(const MseqBlockNote& n) {
    static const int natural[7] = {0, 2, 4, 5, 7, 9, 11};
    const int whole = ((n.m_Whole % 7) + 7) % 7;
    return 12 * n.m_Octave + natural[whole] + n.m_Semi;
}

}  // namespace

void shape_phrase(MseqTrackNote* track, int32_t from, int32_t to, uint8_t low, uint8_t high) {
    std::vector<std::pair<int32_t, MseqBlockNote>> notes;
    for (const auto& [index, block] : track->blocks()) {
        if (index >= from && index < to && (block.m_Type == MNBT_TONE || block.m_Type == MNBT_PURE))
            notes.push_back({index, block});
    }
    if (notes.empty()) fail("no notes to shape at step " + std::to_string(from));
    int lowest = height(notes.front().second), highest = lowest;
    for (const auto& [index, n] : notes) {
        lowest = std::min(lowest, height(n));
        highest = std::max(highest, height(n));
    }
    const int span = std::max(1, highest - lowest);
    for (auto& [index, n] : notes) {
        n.m_Velocity = static_cast<uint8_t>(low + (high - low) * (height(n) - lowest) / span);
        put(track, index, n);
    }
}

std::vector<int32_t> note_starts(const MseqTrackNote* track, int32_t from, int32_t to) {
    std::vector<int32_t> starts;
    for (const auto& [index, block] : track->blocks()) {
        if (index >= from && index < to) starts.push_back(index);
    }
    return starts;
}

}  // namespace kv_data
