#include "play/import/MplyImport.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/block/MseqBlockLabel.h"
#include "model/block/MseqBlockNote.h"
#include "model/block/MseqBlockStage.h"
#include "model/block/MseqBlockValue.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrack.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackValue.h"
#include "platform/TextCodec.h"
#include "play/MplyTexts.h"

int64_t mply_import_tick(uint64_t tick, uint16_t division) {
    if (division == 0) return 0;
    return static_cast<int64_t>((tick * 480 + division / 2) / division);
}

namespace {

constexpr int32_t kBar = MseqTrack::kTicksPerBar;
constexpr int32_t kFineBeat = 64;
constexpr int32_t kMaxLag = 240;
constexpr uint8_t kDrumChannel = 9;
// The grids of the beats table, coarsest first.
constexpr std::array<int32_t, 16> kBeats = {1,  2,  3,  4,  5,  6,  8,  10,
                                            12, 15, 16, 20, 24, 32, 48, 64};

// Kinds of later channel changes, each a message track of its own: controllers 0-127, then
// these.
enum : uint32_t { kProgramKind = 0x100, kBendKind = 0x200, kPressureKind = 0x300 };

struct Note {
    int64_t on = 0;
    int64_t off = 0;
    uint8_t key = 0;
    uint8_t velocity = 0;
};

struct Timed {
    int64_t tick = 0;
    int32_t value = 0;
};

struct TimedText {
    int64_t tick = 0;
    CkvString text;
};

// What one (file track, channel) plays: its notes and its changes after the channel's start.
struct Part {
    uint32_t track = 0;
    uint8_t channel = 0;
    std::vector<Note> notes;
    std::map<uint32_t, std::vector<Timed>> later;
};

// A channel change in any track, before it is known whether it sets the channel up.
struct Change {
    int64_t tick = 0;
    uint32_t track = 0;
    uint32_t kind = 0;
    int32_t value = 0;
};

int64_t round_div(int64_t t, int64_t unit) {
    return (t + unit / 2) / unit;
}

// The coarsest beat whose step divides every tick; 0 when none does.
int32_t exact_grid(const std::vector<int64_t>& ticks) {
    for (int32_t beat : kBeats) {
        const int64_t unit = kBar / beat;
        if (std::all_of(ticks.begin(), ticks.end(), [&](int64_t t) { return t % unit == 0; }))
            return beat;
    }
    return 0;
}

// The grid of a point track (tempo, labels, messages): the exact one, else the finest.
int32_t point_grid(const std::vector<int64_t>& ticks) {
    const int32_t beat = exact_grid(ticks);
    return beat ? beat : kFineBeat;
}

// The grid of a set of notes: the coarsest placing every start and length exactly; else the
// coarsest placing every start exactly whose length lags stay within range; else the finest.
int32_t note_grid(const std::vector<Note>& notes) {
    for (int32_t beat : kBeats) {
        const int64_t unit = kBar / beat;
        if (std::all_of(notes.begin(), notes.end(), [&](const Note& n) {
                return n.on % unit == 0 && (n.off - n.on) % unit == 0;
            }))
            return beat;
    }
    for (int32_t beat : kBeats) {
        const int64_t unit = kBar / beat;
        if (std::all_of(notes.begin(), notes.end(), [&](const Note& n) {
                const int64_t len = n.off - n.on;
                const int64_t steps = std::max<int64_t>(1, round_div(len, unit));
                const int64_t lag = len - steps * unit;
                return n.on % unit == 0 && lag >= -kMaxLag && lag <= kMaxLag;
            }))
            return beat;
    }
    return kFineBeat;
}

bool valid_utf8(std::string_view s, bool* high) {
    *high = false;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        size_t n = c < 0x80             ? 0
                   : (c & 0xE0) == 0xC0 ? 1
                   : (c & 0xF0) == 0xE0 ? 2
                   : (c & 0xF8) == 0xF0 ? 3
                                        : 9;
        if (n == 9 || (n == 1 && c < 0xC2)) return false;
        if (n) *high = true;
        if (n && i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

// A text of the file as the program keeps it: UTF-8 converted to CP932 (characters it cannot
// hold counted), anything else kept as CP932 bytes; control characters become blanks.
CkvString file_text(std::string_view raw, uint32_t* replaced) {
    bool high = false;
    std::string text(raw);
    if (valid_utf8(raw, &high) && high) {
        const auto marks = std::count(text.begin(), text.end(), '?');
        text = kv_codec::cp932_from_utf8(raw);
        const auto after = std::count(text.begin(), text.end(), '?');
        if (after > marks) *replaced += static_cast<uint32_t>(after - marks);
    }
    for (char& c : text) {
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return CkvString(std::move(text));
}

// A text for a title field, whose percent signs would otherwise start macros.
CkvString title_text(const CkvString& text) {
    std::string out;
    for (char c : text.str()) {
        out += c;
        if (c == '%') out += '%';
    }
    return CkvString(std::move(out));
}

CkvString ascii(const std::string& s) {
    return CkvString(s);
}

// Pure note fields of a MIDI key: octave, letter and sharp.
void set_pure_pitch(MseqBlockNote& n, uint8_t key) {
    static constexpr int8_t kLetter[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    static constexpr int8_t kSharp[12] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    n.set_type(MNBT_PURE);
    n.m_Octave = static_cast<int8_t>(key / 12);
    n.m_Whole = kLetter[key % 12];
    n.m_Semi = kSharp[key % 12];
}

std::string key_signature(std::string_view p) {
    if (p.size() < 2) return "key ?";
    static const char* kMajor[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C",
                                     "G",  "D",  "A",  "E",  "B",  "F#", "C#"};
    static const char* kMinor[15] = {"Ab", "Eb", "Bb", "F",  "C",  "G",  "D", "A",
                                     "E",  "B",  "F#", "C#", "G#", "D#", "A#"};
    const int sf = static_cast<int8_t>(p[0]);
    if (sf < -7 || sf > 7) return "key ?";
    return p[1] ? std::string("key ") + kMinor[sf + 7] + " minor"
                : std::string("key ") + kMajor[sf + 7] + " major";
}

std::string time_signature(std::string_view p) {
    if (p.size() < 2 || static_cast<uint8_t>(p[1]) > 6) return "time ?";
    return "time " + std::to_string(static_cast<uint8_t>(p[0])) + "/" +
           std::to_string(1 << static_cast<uint8_t>(p[1]));
}

// A note block on its grid, with lags for what the grid cannot place.
struct Placed {
    int64_t index = 0;
    int64_t steps = 0;
    MseqBlockNote block;
};

Placed place(const Note& n, int32_t beat, bool drum) {
    const int64_t unit = kBar / beat;
    Placed p;
    if (drum) {
        p.block.set_type(MNBT_RHYTHM);
    } else {
        set_pure_pitch(p.block, n.key);
    }
    p.block.m_Velocity = n.velocity;
    p.index = round_div(n.on, unit);
    const int64_t start_lag = n.on - p.index * unit;
    const int64_t len = n.off - n.on;
    p.steps = std::max<int64_t>(1, round_div(len, unit));
    const int64_t end_lag = len - p.steps * unit;
    if (start_lag) {
        p.block.m_Flags |= MNBF_OWN_STIME;
        p.block.m_STime = static_cast<int32_t>(start_lag);
    }
    if (end_lag) {
        p.block.m_Flags |= MNBF_OWN_ETIME;
        p.block.m_ETime = static_cast<int32_t>(end_lag);
    }
    p.block.m_Length = static_cast<int32_t>(p.steps);
    return p;
}

// One note track to be made: its name, grid, drum sound and blocks.
struct Voice {
    CkvString name;
    int32_t beat = 1;
    int32_t drum = -1;  // the drum note of a rhythm track
    std::vector<Placed> blocks;
};

// Splits a lane (all notes of a part, or of one drum sound) into as few voices as hold its
// notes one at a time: in start order, each note takes the first voice free at its start.
std::vector<Voice> voices_of(const std::vector<Note>& notes, bool drum, const CkvString& name) {
    const int32_t beat = note_grid(notes);
    std::vector<Placed> placed;
    placed.reserve(notes.size());
    for (const Note& n : notes)
        placed.push_back(place(n, beat, drum));
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.index < b.index; });
    std::vector<Voice> voices;
    std::vector<int64_t> free_from;
    for (Placed& p : placed) {
        size_t v = 0;
        while (v < free_from.size() && free_from[v] > p.index)
            ++v;
        if (v == free_from.size()) {
            free_from.push_back(0);
            Voice voice;
            voice.beat = beat;
            voice.name = v == 0 ? name : CkvString(name.str() + " " + std::to_string(v + 1));
            voices.push_back(std::move(voice));
        }
        free_from[v] = p.index + p.steps;
        voices[v].blocks.push_back(p);
    }
    return voices;
}

// A message form for a kind of channel change: the built-in one where there is one.
MseqMsgForm form_of(uint32_t kind) {
    const uint32_t builtin = kind == kBendKind ? 30 : kind;
    if (kind != 30 && kind != kProgramKind && kind != kPressureKind) {
        if (const MseqMsgForm* f = MseqMsgFormMap::builtin().find(builtin)) return *f;
    }
    MseqMsgForm form;
    form.m_Name = MseqBlockWord(MWORD_NONE, 0, 0);
    if (kind == kProgramKind) {
        form.m_Name.m_Name = ascii("Program");
        form.m_Msg = {0xC0, 0x00};
        form.m_Vars = {MseqMsgVar{1, 0, 0, 0, 127, 0, 0}};
    } else if (kind == kPressureKind) {
        form.m_Name.m_Name = ascii("Channel pressure");
        form.m_Msg = {0xD0, 0x00};
        form.m_Vars = {MseqMsgVar{1, 0, 0, 0, 127, 0, 0}};
    } else if (kind == kBendKind) {
        form.m_Name.m_Name = ascii("Pitch bend");
        form.m_Msg = {0xE0, 0x00, 0x00};
        form.m_Vars = {MseqMsgVar{1, 2, 8192, 0, 16383, 8192, 0}};
    } else {
        form.m_Name.m_Name = ascii("Controller " + std::to_string(kind));
        form.m_Msg = {0xB0, static_cast<uint8_t>(kind), 0x00};
        form.m_Vars = {MseqMsgVar{2, 0, 0, 0, 127, 0, 0}};
    }
    return form;
}

// Puts the changes a channel has up to its first note into its stage block; false for a
// change the stage block does not hold.
bool into_stage(MseqBlockStage& b, const Change& c, uint32_t* bank) {
    auto set = [&](int32_t* field, uint32_t flag) {
        *field = c.value;
        b.m_Flags |= flag;
        return true;
    };
    switch (c.kind) {
        case 0:
            *bank = (*bank & 0x7F) | (static_cast<uint32_t>(c.value) << 7);
            return true;
        case 32:
            *bank = (*bank & ~0x7Fu) | static_cast<uint32_t>(c.value);
            return true;
        case 1:
            return set(&b.m_Modulation, MSTAGE_MODULATION);
        case 7:
            return set(&b.m_Volume, MSTAGE_VOLUME);
        case 10:
            return set(&b.m_Pan, MSTAGE_PAN);
        case 11:
            return set(&b.m_Expression, MSTAGE_EXPRESSION);
        case 64:
            return set(&b.m_Hold, MSTAGE_HOLD);
        case 91:
            return set(&b.m_Reverb, MSTAGE_REVERB);
        case 93:
            return set(&b.m_Chorus, MSTAGE_CHORUS);
        case kBendKind:
            return set(&b.m_Bend, MSTAGE_BEND);
        case kProgramKind: {
            const uint32_t index =
                static_cast<uint32_t>(c.value) | (*bank & 0x7F) << 8 | ((*bank >> 7) & 0x7F) << 16;
            b.m_Program = MseqMapWord::builtin().find(
                b.m_Program.m_Attrib == MWORD_DRUM_KIT ? MWORD_DRUM_KIT : MWORD_PROGRAM, 0,
                index & 0x7F);
            b.m_Program.m_Index = index;
            b.m_Flags |= MSTAGE_PROGRAM;
            return true;
        }
        default:
            return false;
    }
}

// Everything the file holds, sorted out before the music is touched.
class Plan {
public:
    Plan(const MplySmfFile& file, MplyImportReport& report) : f_(file), r_(report) {}

    void read() {
        for (uint32_t t = 0; t < f_.tracks.size(); ++t)
            read_track(t);
        settle_channels();
    }

    // Tracks the music will hold, root, header and part included.
    uint32_t tracks_needed() const {
        uint32_t n = 3 + (tempo_.empty() ? 0 : 1) + (markers_.empty() ? 0 : 1) +
                     (lyrics_.empty() ? 0 : 1) + (memos_.empty() ? 0 : 1);
        for (const auto& [key, part] : parts_) {
            if (!part.notes.empty()) n += 1 + static_cast<uint32_t>(voices_.at(key).size());
            n += static_cast<uint32_t>(part.later.size());
        }
        return n;
    }

    void build(MseqMusic& music, MseqMapStage& stage) {
        stage.reset();
        stage.m_Setup = setup_;
        for (uint8_t ch = 0; ch < 16; ++ch)
            *stage.block(ch) = stage_[ch];
        build_header(music);
        for (auto& [key, part] : parts_)
            build_part(music, part, voices_[key]);
    }

    // The voices of every part; made before counting the tracks.
    void make_voices() {
        for (auto& [key, part] : parts_) {
            std::vector<Voice>& out = voices_[key];
            if (part.notes.empty()) continue;
            const CkvString name = part_name(part);
            if (part.channel != kDrumChannel) {
                out = voices_of(part.notes, false, name);
                continue;
            }
            std::map<uint8_t, std::vector<Note>> by_key;
            for (const Note& n : part.notes)
                by_key[n.key].push_back(n);
            for (auto& [drum, notes] : by_key) {
                CkvString drum_name = MseqMapWord::builtin().find(MWORD_DRUM_SOUND, 0, drum).m_Name;
                if (drum_name.empty()) drum_name = ascii("Drum " + std::to_string(drum));
                for (Voice& v : voices_of(notes, true, drum_name)) {
                    v.drum = drum;
                    out.push_back(std::move(v));
                }
            }
        }
    }

    // The name of the first track: the music's title.
    CkvString title() const {
        const auto n = names_.find(0);
        return n == names_.end() ? CkvString() : n->second;
    }

    CkvString copyright;
    int32_t first_tempo = 120;

private:
    using PartKey = std::pair<uint32_t, uint8_t>;

    int64_t tick(uint64_t t) const { return mply_import_tick(t, f_.division); }
    bool exact(uint64_t t) const { return (t * 480) % f_.division == 0; }

    Part& part(uint32_t track, uint8_t channel) {
        Part& p = parts_[{track, channel}];
        p.track = track;
        p.channel = channel;
        return p;
    }

    void read_track(uint32_t t) {
        const MplySmfTrack& track = f_.tracks[t];
        // Sounding notes by channel and key, oldest first: a note-off ends the oldest.
        std::map<std::pair<uint8_t, uint8_t>, std::vector<std::pair<uint64_t, uint8_t>>> open;
        for (const MplySmfEvent& e : track.events) {
            const uint8_t kind = e.status & 0xF0, ch = e.status & 0x0F;
            if (kind == 0x90 && e.data2 > 0) {
                open[{ch, e.data1}].push_back({e.tick, e.data2});
            } else if (kind == 0x80 || kind == 0x90) {
                auto& list = open[{ch, e.data1}];
                if (list.empty()) {
                    ++r_.stray_offs;
                    continue;
                }
                add_note(t, ch, e.data1, list.front(), e.tick);
                list.erase(list.begin());
            } else if (kind == 0xB0) {
                changes_[ch].push_back({tick(e.tick), t, e.data1, e.data2});
            } else if (kind == 0xC0) {
                changes_[ch].push_back({tick(e.tick), t, kProgramKind, e.data1});
            } else if (kind == 0xE0) {
                changes_[ch].push_back({tick(e.tick), t, kBendKind, e.data1 | e.data2 << 7});
            } else if (kind == 0xD0) {
                changes_[ch].push_back({tick(e.tick), t, kPressureKind, e.data1});
            } else if (kind == 0xA0) {
                ++r_.dropped;
            } else if (e.status == 0xFF) {
                read_meta(t, e);
            } else {
                read_exclusive(f_.payload(e));
            }
        }
        for (auto& [at, list] : open) {
            for (const auto& on : list) {
                ++r_.hanging_notes;
                add_note(t, at.first, at.second, on, std::max(track.end_tick, on.first));
            }
        }
    }

    void add_note(uint32_t t, uint8_t ch, uint8_t key, std::pair<uint64_t, uint8_t> on,
                  uint64_t off) {
        Note n;
        n.key = key;
        n.velocity = on.second;
        n.on = tick(on.first);
        n.off = tick(off);
        if (!exact(on.first) || !exact(off)) ++r_.notes_scaled;
        if (n.off <= n.on) {
            n.off = n.on + 1;
            ++r_.notes_lengthened;
        }
        part(t, ch).notes.push_back(n);
        ++r_.notes;
    }

    void read_meta(uint32_t t, const MplySmfEvent& e) {
        const std::string_view p = f_.payload(e);
        const int64_t at = tick(e.tick);
        switch (e.meta) {
            case 0x01:
            case 0x07:
                memos_.push_back({at, file_text(p, &r_.chars_replaced)});
                break;
            case 0x02:
                if (copyright.empty()) copyright = file_text(p, &r_.chars_replaced);
                break;
            case 0x03:
                if (!names_.count(t)) names_[t] = file_text(p, &r_.chars_replaced);
                break;
            case 0x04:
                if (!instruments_.count(t)) instruments_[t] = file_text(p, &r_.chars_replaced);
                break;
            case 0x05:
                lyrics_.push_back({at, file_text(p, &r_.chars_replaced)});
                break;
            case 0x06:
                markers_.push_back({at, file_text(p, &r_.chars_replaced)});
                break;
            case 0x51:
                if (p.size() >= 3) {
                    read_tempo(at, p);
                    break;
                }
                ++r_.dropped;
                break;
            case 0x58:
                memos_.push_back({at, ascii(time_signature(p))});
                ++r_.signatures;
                break;
            case 0x59:
                memos_.push_back({at, ascii(key_signature(p))});
                ++r_.signatures;
                break;
            default:
                ++r_.dropped;
        }
    }

    void read_tempo(int64_t at, std::string_view p) {
        const uint32_t us = static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 16 |
                            static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
                            static_cast<uint8_t>(p[2]);
        int64_t bpm = us ? (60000000LL + us / 2) / us : 1024;
        if (!us || 60000000LL % us) ++r_.tempo_rounded;
        if (bpm < 4 || bpm > 1024) {
            ++r_.tempo_clamped;
            bpm = std::clamp<int64_t>(bpm, 4, 1024);
        }
        tempo_raw_.push_back({at, static_cast<int32_t>(bpm)});
    }

    void read_exclusive(std::string_view body) {
        if (body == std::string_view("\x7E\x7F\x09\x01\xF7", 5)) {
            setup_ |= 1;
        } else if (body == std::string_view("\x7E\x7F\x09\x03\xF7", 5)) {
            setup_ |= 2;
        } else {
            ++r_.dropped;
        }
    }

    // Each channel's changes up to its first note set it up; the later ones are the part's.
    void settle_channels() {
        std::array<int64_t, 16> first_note;
        first_note.fill(INT64_MAX);
        for (auto& [key, p] : parts_) {
            std::stable_sort(p.notes.begin(), p.notes.end(), [](const Note& a, const Note& b) {
                return a.on != b.on ? a.on < b.on : a.key < b.key;
            });
            if (!p.notes.empty())
                first_note[p.channel] = std::min(first_note[p.channel], p.notes.front().on);
        }
        for (uint8_t ch = 0; ch < 16; ++ch) {
            MseqBlockStage& b = stage_[ch];
            b.m_Flags = first_note[ch] == INT64_MAX ? 0u : static_cast<uint32_t>(MSTAGE_USED);
            if (ch == kDrumChannel) b.m_Program = MseqMapWord::builtin().find(MWORD_DRUM_KIT, 0, 0);
            uint32_t bank = 0;
            std::vector<Change>& list = changes_[ch];
            std::stable_sort(list.begin(), list.end(),
                             [](const Change& a, const Change& b) { return a.tick < b.tick; });
            for (const Change& c : list) {
                if (c.tick <= first_note[ch] && into_stage(b, c, &bank)) continue;
                // A channel without a note stays out of use: its changes would never sound.
                if (first_note[ch] == INT64_MAX) {
                    ++r_.dropped;
                    continue;
                }
                part(c.track, ch).later[c.kind].push_back({c.tick, c.value});
            }
        }
        settle_tempo();
    }

    // One tempo a tick (the last one there wins); the first at tick 0 becomes the music's
    // tempo, and changes to the tempo already in force are left out, as a run drops them.
    void settle_tempo() {
        std::stable_sort(tempo_raw_.begin(), tempo_raw_.end(),
                         [](const Timed& a, const Timed& b) { return a.tick < b.tick; });
        std::vector<Timed> last;
        for (const Timed& t : tempo_raw_) {
            if (!last.empty() && last.back().tick == t.tick)
                last.back().value = t.value;
            else
                last.push_back(t);
        }
        int32_t current = 120;
        for (const Timed& t : last) {
            if (t.tick == 0)
                first_tempo = t.value;
            else if (t.value != current)
                tempo_.push_back(t);
            current = t.value;
        }
    }

    CkvString part_name(const Part& p) const {
        CkvString base;
        if (auto n = names_.find(p.track); n != names_.end() && !n->second.empty())
            base = n->second;
        else if (auto i = instruments_.find(p.track); i != instruments_.end() && !i->second.empty())
            base = i->second;
        else
            base = ascii("Track " + std::to_string(p.track + 1));
        uint32_t channels = 0;
        for (const auto& [key, other] : parts_)
            channels += key.first == p.track && !other.notes.empty();
        if (channels > 1) base = CkvString(base.str() + " ch" + std::to_string(p.channel + 1));
        return base;
    }

    template <class T>
    T* add(MseqMusic& music, MSEQ_ID parent, MSEQ_TYPE type, const CkvString& name) {
        MseqObject* node = music.create_track(parent, MPLACE_LAST_CHILD, type, name);
        if (!node) return nullptr;
        ref_ptr<MseqEntity> e = mseq_open(node);
        return e->cast_to<T>(type);
    }

    void build_header(MseqMusic& music) {
        if (!tempo_.empty()) {
            auto* t = add<MseqTrackTempo>(music, MID_TRACK_HEADER, MTYPE_TRACK_TEMPO,
                                          ckv_from_utf8(kv_text(mply_msg::IMPORT_TEMPO_TRACK)));
            std::vector<Timed> values = tempo_;
            if (t) put_values(t, values, &r_.tempo_moved, nullptr);
            r_.tempo_changes = static_cast<uint32_t>(t ? t->block_count() : 0);
        }
        put_labels(music, MTYPE_TRACK_MARKER, kv_text(mply_msg::IMPORT_MARKER_TRACK), markers_);
        put_labels(music, MTYPE_TRACK_LYRIC, kv_text(mply_msg::IMPORT_LYRIC_TRACK), lyrics_);
        put_labels(music, MTYPE_TRACK_MEMO, kv_text(mply_msg::IMPORT_MEMO_TRACK), memos_);
    }

    // Puts values at their ticks on a point grid; a later value at a taken position wins.
    template <class Track>
    void put_values(Track* t, const std::vector<Timed>& values, uint32_t* moved, uint32_t* merged) {
        std::vector<int64_t> ticks;
        for (const Timed& v : values)
            ticks.push_back(v.tick);
        const int32_t beat = point_grid(ticks);
        t->set_grid_when_empty(beat);
        const int64_t unit = kBar / beat;
        for (const Timed& v : values) {
            const int64_t index = round_div(v.tick, unit);
            if (index * unit != v.tick) ++*moved;
            if (merged && t->get_block(beat, static_cast<int32_t>(index))) ++*merged;
            MseqBlockValue block(v.value);
            t->set_block(beat, static_cast<int32_t>(index), &block);
        }
    }

    void put_labels(MseqMusic& music, MSEQ_TYPE type, const char* name,
                    std::vector<TimedText>& texts) {
        if (texts.empty()) return;
        auto* t = add<MseqTrackLabel>(music, MID_TRACK_HEADER, type, ckv_from_utf8(name));
        if (!t) return;
        std::stable_sort(texts.begin(), texts.end(),
                         [](const TimedText& a, const TimedText& b) { return a.tick < b.tick; });
        std::vector<int64_t> ticks;
        for (const TimedText& x : texts)
            ticks.push_back(x.tick);
        const int32_t beat = point_grid(ticks);
        t->set_grid_when_empty(beat);
        const int64_t unit = kBar / beat;
        for (const TimedText& x : texts) {
            const auto index = static_cast<int32_t>(round_div(x.tick, unit));
            if (index * unit != x.tick) ++r_.labels_moved;
            MseqBlockLabel label;
            label.m_Label = x.text;
            if (auto* old = static_cast<MseqBlockLabel*>(t->get_block(beat, index))) {
                label.m_Label = CkvString(old->m_Label.str() + " " + x.text.str());
                ++r_.labels_joined;
            }
            t->set_block(beat, index, &label);
        }
        r_.labels += static_cast<uint32_t>(t->block_count());
    }

    void build_part(MseqMusic& music, Part& part, std::vector<Voice>& voices) {
        MSEQ_ID parent = MID_TRACK_DETAIL;
        if (!part.notes.empty()) {
            auto* group =
                add<MseqTrackGroup>(music, MID_TRACK_DETAIL, MTYPE_TRACK_GROUP, part_name(part));
            if (!group) return;
            group->set_channel(part.channel);
            parent = group->owner->id;
            ++r_.parts;
        }
        for (Voice& v : voices) {
            auto* t = add<MseqTrackNote>(music, parent, MTYPE_TRACK_NOTE, v.name);
            if (!t) continue;
            t->set_grid_when_empty(v.beat);
            t->set_channel(part.channel);
            if (v.drum >= 0) t->m_Rhythm = MseqMapWord::builtin().find(MWORD_DRUM_SOUND, 0, v.drum);
            for (const Placed& p : v.blocks) {
                t->set_block(v.beat, static_cast<int32_t>(p.index), &p.block);
                if (p.block.m_Flags) ++r_.notes_with_lags;
            }
            ++r_.note_tracks;
        }
        for (const auto& [kind, values] : part.later) {
            MseqMsgForm form = form_of(kind);
            CkvString name = form.m_Name.m_Name;
            if (form.m_Name.m_Attrib == MWORD_MSG_FORM)
                name = MseqMapWord::builtin().find(MWORD_MSG_FORM, 0, form.m_Name.m_Index).m_Name;
            if (name.empty()) name = form.m_Name.m_Name;
            auto* t = add<MseqTrackMsg>(music, parent, MTYPE_TRACK_MSG, name);
            if (!t) continue;
            t->set_channel(part.channel);
            t->m_Form = std::move(form);
            put_values(t, values, &r_.messages_moved, &r_.messages_merged);
            r_.messages += static_cast<uint32_t>(t->block_count());
        }
    }

    const MplySmfFile& f_;
    MplyImportReport& r_;
    std::map<PartKey, Part> parts_;
    std::map<PartKey, std::vector<Voice>> voices_;
    std::array<std::vector<Change>, 16> changes_;
    std::array<MseqBlockStage, 16> stage_;
    std::map<uint32_t, CkvString> names_;
    std::map<uint32_t, CkvString> instruments_;
    std::vector<TimedText> markers_, lyrics_, memos_;
    std::vector<Timed> tempo_raw_, tempo_;
    uint32_t setup_ = 0;
};

// The root, header and part of a fresh music are named as the program's template names them, in
// the language shown.
void name_fixed_tracks(MseqMusic& music) {
    const std::pair<MseqObject*, mply_msg> fixed[] = {{music.root(), mply_msg::IMPORT_TRACK_LIST},
                                                      {music.header(), mply_msg::IMPORT_HEADER},
                                                      {music.detail(), mply_msg::IMPORT_PART}};
    for (const auto& [node, name] : fixed) {
        if (node->name.empty()) node->name = ckv_from_utf8(kv_text(name));
    }
}

bool music_is_empty(const MseqMusic& music) {
    return !music.header()->first_child() && !music.detail()->first_child();
}

}  // namespace

bool mply_import_music(const MplySmfFile& file, MseqMusic& music, MseqMapStage& stage,
                       MplyImportReport* report, MplyImportFault* fault, uint32_t* tracks_needed) {
    *report = MplyImportReport{};
    report->repairs = file.repairs;
    *fault = MplyImportFault::none;
    Plan plan(file, *report);
    plan.read();
    plan.make_voices();
    *tracks_needed = plan.tracks_needed();
    if (!music_is_empty(music)) {
        *fault = MplyImportFault::not_empty;
        return false;
    }
    if (*tracks_needed > MseqMusic::kMaxTracks) {
        *fault = MplyImportFault::too_many_tracks;
        return false;
    }
    plan.build(music, stage);
    name_fixed_tracks(music);
    const CkvString title = plan.title();
    if (!title.empty()) music.m_Title = title_text(title);
    if (!plan.copyright.empty()) music.m_Copyright = title_text(plan.copyright);
    music.m_Tempo = plan.first_tempo;
    return true;
}
