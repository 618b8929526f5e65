#include "play/export/MplyMusicXml.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <iterator>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "model/core/CkvText.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "play/tracks/MplyTrack.h"
#include "play/tracks/MplyTrackChord.h"

int32_t MplyScoreGrid::Snap(int32_t tick) {
    const int64_t t = tick < 0 ? 0 : tick;
    return static_cast<int32_t>((t + kStep / 2) / kStep * kStep);
}

namespace {

using Grid = MplyScoreGrid;

// A note of a part on the grid.
struct GridNote {
    int32_t on;
    int32_t off;
    int key;
};

// One note of a chord within a bar, and whether it goes on from the bar before or into the
// next.
struct ChordNote {
    int key;
    bool from_before;
    bool into_next;
};

// Notes of one voice sounding together over [start, end) of a bar.
struct Chord {
    int32_t start;
    int32_t end;
    std::vector<ChordNote> notes;
};

// Something the first part shows at a tick: a tempo mark or a rehearsal mark.
struct Direction {
    int32_t tick;
    std::string xml;                            // the direction-type element(s)
    int tempo;                                  // > 0: also a sound element with this tempo
    const MplyScoreHarmony* harmony = nullptr;  // instead a chord symbol
};

// The notatable lengths, longest first: whole, dotted half, half, dotted quarter, quarter, ...
// down to the 32nd of the grid; each with its type name and whether it is dotted.
struct Length {
    int32_t ticks;
    const char* type;
    bool dot;
};
constexpr int32_t kWhole = MplyScoreGrid::kBar;
constexpr Length kLengths[] = {
    {kWhole, "whole", false}, {1440, "half", true},  {960, "half", false},   {720, "quarter", true},
    {480, "quarter", false},  {360, "eighth", true}, {240, "eighth", false}, {180, "16th", true},
    {120, "16th", false},     {60, "32nd", false}};

// `ticks` (a multiple of the grid step) as notatable lengths, longest first.
std::vector<const Length*> split_length(int32_t ticks) {
    std::vector<const Length*> out;
    for (const Length& l : kLengths) {
        while (ticks >= l.ticks) {
            out.push_back(&l);
            ticks -= l.ticks;
        }
    }
    return out;
}

std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        }
    }
    return out;
}

// A CP932 text of the music as escaped UTF-8.
std::string xml_text(std::string_view cp932) {
    return escape(ckv_to_utf8(cp932));
}

// The content of each syllable's <lyric>, in time order. A syllable that ends in '-' goes on
// into the next one (the usual hyphenation of lyrics in MIDI files and in the lyric track),
// and one that starts with '-' goes on from the one before; the hyphens are left out of the
// text. A word of one syllable is "single", its first "begin", its last "end", the others
// "middle".
std::map<int32_t, std::string> lyric_contents(const std::map<int32_t, std::string>& syllables) {
    auto hyphen_first = [](std::string_view s) { return s.size() > 1 && s.front() == '-'; };
    auto hyphen_last = [](std::string_view s) { return s.size() > 1 && s.back() == '-'; };
    std::map<int32_t, std::string> out;
    bool continued = false;
    for (auto it = syllables.begin(); it != syllables.end(); ++it) {
        std::string_view s(it->second);
        const auto next = std::next(it);
        const bool from_before = continued || hyphen_first(s);
        const bool goes_on =
            hyphen_last(s) || (next != syllables.end() && hyphen_first(next->second));
        if (hyphen_first(s)) s.remove_prefix(1);
        if (hyphen_last(s)) s.remove_suffix(1);
        const char* syllabic =
            from_before ? (goes_on ? "middle" : "end") : (goes_on ? "begin" : "single");
        out[it->first] =
            std::string("<syllabic>") + syllabic + "</syllabic><text>" + xml_text(s) + "</text>";
        continued = goes_on;
    }
    return out;
}

// Step, alteration and octave of a MIDI key, spelt with sharps or with flats.
struct Spelling {
    char step;
    int alter;
    int octave;
};

Spelling spell(int key, bool flats) {
    static constexpr char kSharpSteps[] = "CCDDEFFGGAAB";
    static constexpr int kSharpAlter[] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    static constexpr char kFlatSteps[] = "CDDEEFGGAABB";
    static constexpr int kFlatAlter[] = {0, -1, 0, -1, 0, 0, -1, 0, -1, 0, -1, 0};
    const int pc = key % 12;
    return {flats ? kFlatSteps[pc] : kSharpSteps[pc], flats ? kFlatAlter[pc] : kSharpAlter[pc],
            key / 12 - 1};
}

// A drum sound is a hit: how long its note lasts means nothing on a percussion staff, and
// notation programs give each drum sound a voice of their own. So every hit lasts until the
// next one starts, which keeps the part in one voice of chords without rests between them.
void one_voice_of_hits(std::vector<GridNote>& notes) {
    for (size_t i = 0; i < notes.size();) {
        size_t j = i;
        int32_t end = notes[i].on + Grid::kStep;
        while (j < notes.size() && notes[j].on == notes[i].on)
            end = std::max(end, notes[j++].off);
        if (j < notes.size()) end = notes[j].on;
        for (; i < j; ++i)
            notes[i].off = end;
    }
}

// The part's notes on the grid, ordered by onset and key; two notes of one key never overlap.
std::vector<GridNote> grid_notes(const std::vector<MplyScoreNote>& notes, int channel) {
    std::map<std::pair<int32_t, int>, int32_t> longest;  // (onset, key) -> end
    for (const MplyScoreNote& n : notes) {
        if (n.channel != channel) continue;
        const int32_t on = Grid::Snap(n.on);
        const int32_t off = std::max(Grid::Snap(n.off), on + Grid::kStep);
        int32_t& end = longest[{on, n.key}];
        end = std::max(end, off);
    }
    std::vector<GridNote> out;
    std::map<int, size_t> last_of_key;
    for (const auto& [at, off] : longest) {
        // A note of the key still sounding ends where this one starts, as in the MIDI file.
        auto it = last_of_key.find(at.second);
        if (it != last_of_key.end() && out[it->second].off > at.first)
            out[it->second].off = at.first;
        last_of_key[at.second] = out.size();
        out.push_back({at.first, off, at.second});
    }
    if (channel == Grid::kDrumChannel) one_voice_of_hits(out);
    return out;
}

// Notes of one voice sounding together over [on, off).
struct Group {
    int32_t on;
    int32_t off;
    std::vector<int> keys;
};

// The part's notes as chords in voices, over the whole part, so that a note keeps its voice
// from bar to bar and its ties join. Notes of equal span are one chord; a note overlapping
// the chords of every voice opens the next voice, up to kVoices; beyond that it joins a chord
// starting with it (taking that chord's end), else it cuts short the voice that ends first.
std::vector<std::vector<Group>> part_voices(const std::vector<GridNote>& notes) {
    std::map<std::pair<int32_t, int32_t>, std::vector<int>> spans;
    for (const GridNote& n : notes)
        spans[{n.on, n.off}].push_back(n.key);
    std::vector<std::vector<Group>> voices;
    for (auto& [span, keys] : spans) {
        Group group{span.first, span.second, std::move(keys)};
        auto free = std::find_if(voices.begin(), voices.end(),
                                 [&](const auto& v) { return v.back().off <= group.on; });
        if (free != voices.end()) {
            free->push_back(std::move(group));
        } else if (static_cast<int32_t>(voices.size()) < Grid::kVoices) {
            voices.push_back({std::move(group)});
        } else if (auto joins =
                       std::find_if(voices.begin(), voices.end(),
                                    [&](const auto& v) { return v.back().on == group.on; });
                   joins != voices.end()) {
            std::vector<int>& into = joins->back().keys;
            for (int key : group.keys) {
                if (std::find(into.begin(), into.end(), key) == into.end()) into.push_back(key);
            }
        } else {
            auto first = std::min_element(
                voices.begin(), voices.end(),
                [](const auto& x, const auto& y) { return x.back().off < y.back().off; });
            first->back().off = group.on;
            first->push_back(std::move(group));
        }
    }
    return voices;
}

// The chords of one voice in the bar [from, from + kBar). The groups of a voice follow one
// another, so `first` (the first group that may still sound, kept from bar to bar) moves on and
// the bars of a part take linear time.
std::vector<Chord> bar_chords(const std::vector<Group>& voice, int32_t from, size_t& first) {
    const int32_t to = from + Grid::kBar;
    while (first < voice.size() && voice[first].off <= from)
        ++first;
    std::vector<Chord> out;
    for (size_t i = first; i < voice.size() && voice[i].on < to; ++i) {
        const Group& g = voice[i];
        if (g.off <= from) continue;
        Chord c{std::max(g.on, from), std::min(g.off, to), {}};
        for (int key : g.keys)
            c.notes.push_back({key, g.on<from, g.off> to});
        out.push_back(std::move(c));
    }
    return out;
}

// The lowest key of a grand staff's upper staff.
constexpr int kMiddleC = 60;

// A whole number as text that lives until the end of the statement it appears in, for Put.
class Num {
public:
    explicit Num(long value)
        : size_(
              static_cast<size_t>(std::to_chars(text_, text_ + sizeof text_, value).ptr - text_)) {}
    operator std::string_view() const { return {text_, size_}; }

private:
    char text_[24];
    size_t size_;
};

class ScoreWriter {
public:
    ScoreWriter(const MplyScoreEvents& events, const MplyExportParts& parts)
        : events_(events), parts_(parts) {}

    std::string Write();

private:
    struct Part {
        int channel;
        std::vector<GridNote> notes;
        std::set<int> drum_keys;
    };

    void Header();
    void PartList();
    void WritePart(const Part& part, size_t index);
    // One staff's voices of bar `bar`, numbered from `first_voice`: the first fills the bar
    // (with a bar rest when silent), the others only the bars they sound in, each after a
    // backup to the bar's start. `directions` go with the first voice.
    void StaffVoices(const Part& part, const std::vector<std::vector<Group>>& voices,
                     std::vector<size_t>& firsts, int first_voice, int32_t from, bool backup_first,
                     std::vector<Direction>* directions);
    // True for a part written on a grand staff: a piano (General MIDI programs 1-8).
    bool GrandStaff(const Part& part) const;
    void Attributes(const Part& part);
    void Voice(const Part& part, const std::vector<Chord>& chords, int voice, int32_t from,
               std::vector<Direction>* directions);
    void Rest(int32_t ticks, int voice, bool whole_bar);
    void Note(const Part& part, const ChordNote& n, bool in_chord, const Length& l, int voice,
              bool tie_stop, bool tie_start, const std::string* lyric);
    void FlushDirections(std::vector<Direction>* directions, int32_t from, int32_t until);
    void Harmony(const MplyScoreHarmony& h, int32_t offset);
    // Appends the pieces in turn. The notes and rests, the bulk of a score, are written
    // through it: joining their text with + would make a temporary string for every piece.
    void Put(std::initializer_list<std::string_view> pieces) {
        for (std::string_view p : pieces)
            out_.append(p);
    }
    void PutStaff() {
        if (staff_) Put({"<staff>", Num(staff_), "</staff>"});
    }
    std::string PartId(size_t index) const { return "P" + std::to_string(index + 1); }
    std::string PartName(int channel) const { return xml_text(parts_.names[channel & 0x0F]); }
    std::string Title() const;
    // The key signature of bar `bar` (counted from 0): the last change at or before it, else
    // the key the music starts in.
    int FifthsAt(int32_t bar) const;

    const MplyScoreEvents& events_;
    const MplyExportParts& parts_;
    bool flats_ = false;  // the bar being written is in a flat key
    std::vector<Part> parts_list_;
    int32_t bars_ = 1;
    size_t index_ = 0;  // of the part being written
    int lyric_channel_ = -1;
    int staff_ = 0;  // the staff of the notes being written on a grand staff (1 or 2), else 0
    // grid tick -> the lyric's content: its syllabic and its UTF-8 text, escaped
    std::map<int32_t, std::string> lyrics_;
    std::string out_;
};

int ScoreWriter::FifthsAt(int32_t bar) const {
    int fifths = parts_.key_fifths;
    for (const auto& [tick, f] : events_.keys) {
        if (tick > bar * Grid::kBar) break;
        fifths = f;
    }
    return fifths;
}

std::string ScoreWriter::Title() const {
    for (const MplyScoreText& t : events_.texts) {
        if (t.type == MPLY_TEXT_TRACK_NAME && t.tick == 0) return xml_text(t.text);
    }
    return {};
}

std::string ScoreWriter::Write() {
    int32_t last = Grid::Snap(events_.end);
    for (int ch = 0; ch < MplyOutput::kChannels; ++ch) {
        Part p{ch, grid_notes(events_.notes, ch), {}};
        if (p.notes.empty()) continue;
        for (const GridNote& n : p.notes) {
            last = std::max(last, n.off);
            if (ch == Grid::kDrumChannel) p.drum_keys.insert(n.key);
        }
        parts_list_.push_back(std::move(p));
    }
    bars_ = std::max<int32_t>(1, (last + Grid::kBar - 1) / Grid::kBar);
    // Lyrics go under the part whose notes start on most of the syllables.
    std::map<int, int> hits;
    std::map<int32_t, std::string> syllables;  // grid tick -> CP932 text
    for (const MplyScoreText& t : events_.texts) {
        if (t.type != MPLY_TEXT_LYRIC) continue;
        const int32_t at = Grid::Snap(t.tick);
        syllables[at] += t.text;
        for (const Part& p : parts_list_) {
            if (p.channel == Grid::kDrumChannel) continue;
            if (std::any_of(p.notes.begin(), p.notes.end(),
                            [&](const GridNote& n) { return n.on == at; }))
                ++hits[p.channel];
        }
    }
    int best = 0;
    for (const auto& [ch, n] : hits) {
        if (n > best) best = n, lyric_channel_ = ch;
    }
    lyrics_ = lyric_contents(syllables);
    // Room for the whole score at once (a note takes some two hundred bytes), so that it is
    // not copied over and over as it grows.
    out_.reserve(4096 + events_.notes.size() * 256);
    Header();
    PartList();
    for (size_t i = 0; i < parts_list_.size(); ++i)
        WritePart(parts_list_[i], i);
    out_ += "</score-partwise>\n";
    return std::move(out_);
}

void ScoreWriter::Header() {
    out_ +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
        "<score-partwise version=\"4.0\">\n";
    const std::string title = Title();
    if (!title.empty()) out_ += "  <work><work-title>" + title + "</work-title></work>\n";
    out_ += "  <identification>\n";
    for (const MplyScoreText& t : events_.texts) {
        if (t.type == MPLY_TEXT_COPYRIGHT && t.tick == 0)
            out_ += "    <rights>" + xml_text(t.text) + "</rights>\n";
    }
    out_ += "    <encoding><software>Korvante</software></encoding>\n  </identification>\n";
}

void ScoreWriter::PartList() {
    out_ += "  <part-list>\n";
    for (size_t i = 0; i < parts_list_.size(); ++i) {
        const Part& p = parts_list_[i];
        const std::string id = PartId(i);
        const MplyScoreChannel& c = events_.channels[p.channel];
        out_ += "    <score-part id=\"" + id + "\">\n      <part-name>" + PartName(p.channel) +
                "</part-name>\n";
        // A percussion part has one instrument per drum sound; the others one.
        std::vector<std::pair<std::string, int>> instruments;  // id, unpitched key or -1
        if (p.channel == Grid::kDrumChannel) {
            for (int key : p.drum_keys)
                instruments.push_back({id + "-I" + std::to_string(key + 1), key});
        } else {
            instruments.push_back({id + "-I1", -1});
        }
        for (const auto& [iid, key] : instruments) {
            const std::string name = key < 0 ? PartName(p.channel) : "Drum " + std::to_string(key);
            out_ += "      <score-instrument id=\"" + iid + "\"><instrument-name>" + name +
                    "</instrument-name></score-instrument>\n";
        }
        for (const auto& [iid, key] : instruments) {
            out_ += "      <midi-instrument id=\"" + iid + "\"><midi-channel>" +
                    std::to_string(p.channel + 1) + "</midi-channel>";
            if (c.program >= 0)
                out_ += "<midi-program>" + std::to_string(c.program + 1) + "</midi-program>";
            if (key >= 0)
                out_ += "<midi-unpitched>" + std::to_string(key + 1) + "</midi-unpitched>";
            // MusicXML counts volume in percent of the loudest and pan in degrees.
            if (c.volume >= 0)
                out_ += "<volume>" + std::to_string(c.volume * 100 / 127) + "</volume>";
            if (c.pan >= 0) out_ += "<pan>" + std::to_string((c.pan - 64) * 90 / 64) + "</pan>";
            out_ += "</midi-instrument>\n";
        }
        out_ += "    </score-part>\n";
    }
    out_ += "  </part-list>\n";
}

void ScoreWriter::Attributes(const Part& part) {
    const bool drums = part.channel == Grid::kDrumChannel;
    int sum = 0;
    for (const GridNote& n : part.notes)
        sum += n.key;
    const bool low = !part.notes.empty() && sum / static_cast<int>(part.notes.size()) < 57;
    out_ += "      <attributes>\n        <divisions>480</divisions>\n        <key><fifths>" +
            std::to_string(drums ? 0 : FifthsAt(0)) +
            "</fifths></key>\n        <time><beats>4</beats><beat-type>4</beat-type></time>\n";
    if (GrandStaff(part))
        out_ +=
            "        <staves>2</staves>\n        <clef number=\"1\"><sign>G</sign><line>2</line>"
            "</clef>\n        <clef number=\"2\"><sign>F</sign><line>4</line></clef>\n";
    else if (drums)
        out_ += "        <clef><sign>percussion</sign></clef>\n";
    else if (low)
        out_ += "        <clef><sign>F</sign><line>4</line></clef>\n";
    else
        out_ += "        <clef><sign>G</sign><line>2</line></clef>\n";
    out_ += "      </attributes>\n";
}

void ScoreWriter::FlushDirections(std::vector<Direction>* directions, int32_t from, int32_t until) {
    while (!directions->empty() && directions->front().tick < until) {
        const Direction& d = directions->front();
        if (d.harmony) {
            Harmony(*d.harmony, d.tick > from ? d.tick - from : 0);
            directions->erase(directions->begin());
            continue;
        }
        out_ += "      <direction placement=\"above\">" + d.xml;
        if (d.tick > from) out_ += "<offset>" + std::to_string(d.tick - from) + "</offset>";
        if (d.tempo > 0) out_ += "<sound tempo=\"" + std::to_string(d.tempo) + "\"/>";
        out_ += "</direction>\n";
        directions->erase(directions->begin());
    }
}

void ScoreWriter::Harmony(const MplyScoreHarmony& h, int32_t offset) {
    const Spelling root = spell(h.root, flats_);
    out_ += "      <harmony><root><root-step>" + std::string(1, root.step) + "</root-step>";
    if (root.alter) out_ += "<root-alter>" + std::to_string(root.alter) + "</root-alter>";
    out_ += "</root><kind>" + h.kind + "</kind>";
    if (h.bass >= 0) {
        const Spelling bass = spell(h.bass, flats_);
        out_ += "<bass><bass-step>" + std::string(1, bass.step) + "</bass-step>";
        if (bass.alter) out_ += "<bass-alter>" + std::to_string(bass.alter) + "</bass-alter>";
        out_ += "</bass>";
    }
    if (offset) out_ += "<offset>" + std::to_string(offset) + "</offset>";
    out_ += "</harmony>\n";
}

void ScoreWriter::Rest(int32_t ticks, int voice, bool whole_bar) {
    if (whole_bar) {
        Put({"      <note><rest measure=\"yes\"/><duration>", Num(ticks), "</duration><voice>",
             Num(voice), "</voice>"});
        PutStaff();
        Put({"</note>\n"});
        return;
    }
    for (const Length* l : split_length(ticks)) {
        Put({"      <note><rest/><duration>", Num(l->ticks), "</duration><voice>", Num(voice),
             "</voice><type>", l->type, "</type>", l->dot ? "<dot/>" : ""});
        PutStaff();
        Put({"</note>\n"});
    }
}

void ScoreWriter::Note(const Part& part, const ChordNote& n, bool in_chord, const Length& l,
                       int voice, bool tie_stop, bool tie_start, const std::string* lyric) {
    const bool drums = part.channel == Grid::kDrumChannel;
    const Spelling s = spell(n.key, flats_ && !drums);
    const std::string_view step(&s.step, 1);
    Put({"      <note>", in_chord ? "<chord/>" : ""});
    if (drums) {
        Put({"<unpitched><display-step>", step, "</display-step><display-octave>", Num(s.octave),
             "</display-octave></unpitched>"});
    } else {
        Put({"<pitch><step>", step, "</step>"});
        if (s.alter) Put({"<alter>", Num(s.alter), "</alter>"});
        Put({"<octave>", Num(s.octave), "</octave></pitch>"});
    }
    Put({"<duration>", Num(l.ticks), "</duration>", tie_stop ? "<tie type=\"stop\"/>" : "",
         tie_start ? "<tie type=\"start\"/>" : ""});
    if (drums) Put({"<instrument id=\"", PartId(index_), "-I", Num(n.key + 1), "\"/>"});
    Put({"<voice>", Num(voice), "</voice><type>", l.type, "</type>", l.dot ? "<dot/>" : ""});
    PutStaff();
    if (tie_stop || tie_start) {
        Put({"<notations>", tie_stop ? "<tied type=\"stop\"/>" : "",
             tie_start ? "<tied type=\"start\"/>" : "", "</notations>"});
    }
    if (lyric) Put({"<lyric number=\"1\">", *lyric, "</lyric>"});
    Put({"</note>\n"});
}

void ScoreWriter::Voice(const Part& part, const std::vector<Chord>& chords, int voice, int32_t from,
                        std::vector<Direction>* directions) {
    const int32_t to = from + Grid::kBar;
    if (chords.empty()) {
        if (directions) FlushDirections(directions, from, to);
        Rest(Grid::kBar, voice, true);
        return;
    }
    const bool sings = part.channel == lyric_channel_ && staff_ != 2;
    int32_t at = from;
    for (const Chord& c : chords) {
        if (c.start > at) {
            if (directions) FlushDirections(directions, at, c.start);
            Rest(c.start - at, voice, false);
        }
        int32_t piece_at = c.start;
        const std::vector<const Length*> pieces = split_length(c.end - c.start);
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (directions) FlushDirections(directions, piece_at, piece_at + pieces[i]->ticks);
            for (size_t k = 0; k < c.notes.size(); ++k) {
                const ChordNote& n = c.notes[k];
                const bool stop = i > 0 || n.from_before;
                const bool start = i + 1 < pieces.size() || n.into_next;
                const std::string* lyric = nullptr;
                if (sings && k == 0 && !stop) {
                    auto it = lyrics_.find(piece_at);
                    if (it != lyrics_.end()) lyric = &it->second;
                }
                Note(part, n, k > 0, *pieces[i], voice, stop, start, lyric);
            }
            piece_at += pieces[i]->ticks;
        }
        at = c.end;
    }
    if (directions) FlushDirections(directions, at, to);
    if (at < to) Rest(to - at, voice, false);
}

bool ScoreWriter::GrandStaff(const Part& part) const {
    const int program = events_.channels[part.channel].program;
    return part.channel != Grid::kDrumChannel && program >= 0 && program <= 7;
}

void ScoreWriter::StaffVoices(const Part& part, const std::vector<std::vector<Group>>& voices,
                              std::vector<size_t>& firsts, int first_voice, int32_t from,
                              bool backup_first, std::vector<Direction>* directions) {
    for (size_t v = 0; v < std::max<size_t>(1, voices.size()); ++v) {
        const std::vector<Chord> chords =
            v < voices.size() ? bar_chords(voices[v], from, firsts[v]) : std::vector<Chord>{};
        if (v > 0 && chords.empty()) continue;
        if (v > 0 || backup_first)
            out_ += "      <backup><duration>" + std::to_string(MplyScoreGrid::kBar) +
                    "</duration></backup>\n";
        Voice(part, chords, first_voice + static_cast<int>(v), from, v == 0 ? directions : nullptr);
    }
}

void ScoreWriter::WritePart(const Part& part, size_t index) {
    index_ = index;
    // The first part carries the marks of the whole score.
    std::vector<Direction> directions;
    if (index == 0) {
        for (const MplyScoreTempo& t : events_.tempos) {
            directions.push_back({Grid::Snap(t.tick),
                                  "<direction-type><metronome><beat-unit>quarter</beat-unit>"
                                  "<per-minute>" +
                                      std::to_string(t.bpm) +
                                      "</per-minute></metronome></direction-type>",
                                  t.bpm});
        }
        for (const MplyScoreText& t : events_.texts) {
            if (t.type != MPLY_TEXT_MARKER) continue;
            directions.push_back(
                {Grid::Snap(t.tick),
                 "<direction-type><rehearsal>" + xml_text(t.text) + "</rehearsal></direction-type>",
                 0});
        }
        for (const MplyScoreHarmony& h : events_.harmonies)
            directions.push_back({Grid::Snap(h.tick), {}, 0, &h});
        std::stable_sort(directions.begin(), directions.end(),
                         [](const Direction& a, const Direction& b) { return a.tick < b.tick; });
    }
    // A piano's notes from middle C up go on the upper staff, the others on the lower one,
    // each with voices of its own.
    const bool grand = GrandStaff(part);
    std::vector<GridNote> upper, lower;
    for (const GridNote& n : part.notes)
        (!grand || n.key >= kMiddleC ? upper : lower).push_back(n);
    const std::vector<std::vector<Group>> voices = part_voices(upper);
    const std::vector<std::vector<Group>> lower_voices = part_voices(lower);
    std::vector<size_t> firsts(voices.size(), 0), lower_firsts(lower_voices.size(), 0);
    out_ += "  <part id=\"" + PartId(index) + "\">\n";
    for (int32_t bar = 0; bar < bars_; ++bar) {
        const int32_t from = bar * Grid::kBar;
        out_ += "    <measure number=\"" + std::to_string(bar + 1) + "\">\n";
        const int fifths = FifthsAt(bar);
        flats_ = fifths < 0;
        if (bar == 0) {
            Attributes(part);
        } else if (part.channel != Grid::kDrumChannel && fifths != FifthsAt(bar - 1)) {
            out_ += "      <attributes><key><fifths>" + std::to_string(fifths) +
                    "</fifths></key></attributes>\n";
        }
        std::vector<Direction> here;
        while (!directions.empty() && directions.front().tick < from + Grid::kBar) {
            here.push_back(std::move(directions.front()));
            directions.erase(directions.begin());
        }
        staff_ = grand ? 1 : 0;
        StaffVoices(part, voices, firsts, 1, from, false, &here);
        if (grand) {
            staff_ = 2;
            StaffVoices(part, lower_voices, lower_firsts, Grid::kVoices + 1, from, true, nullptr);
            staff_ = 0;
        }
        out_ += "    </measure>\n";
    }
    out_ += "  </part>\n";
}

// The key of the chord map in effect at each bar start up to `end`, and in `harmonies` the
// chords where they change (every 16th), from the first chord track of the music as the player
// builds it. The run itself cannot be asked: an offline run has
// generated everything, and let its tracks go, before its first event plays. So a second
// player music of the source is built (not run) and its chord track answers.
// The MusicXML kind of a chord by the pitch classes of its keys above the root; "none" when
// no kind fits (the root and bass still show).
std::string chord_kind(const std::set<int>& pcs) {
    static const std::pair<std::set<int>, const char*> kKinds[] = {
        {{0, 4, 7}, "major"},
        {{0, 3, 7}, "minor"},
        {{0, 3, 6}, "diminished"},
        {{0, 4, 8}, "augmented"},
        {{0, 4, 7, 10}, "dominant"},
        {{0, 4, 7, 11}, "major-seventh"},
        {{0, 3, 7, 10}, "minor-seventh"},
        {{0, 3, 6, 9}, "diminished-seventh"},
        {{0, 3, 6, 10}, "half-diminished"},
        {{0, 4, 8, 10}, "augmented-seventh"},
        {{0, 3, 7, 11}, "major-minor"},
        {{0, 4, 7, 9}, "major-sixth"},
        {{0, 3, 7, 9}, "minor-sixth"},
        {{0, 5, 7}, "suspended-fourth"},
        {{0, 2, 7}, "suspended-second"},
        {{0, 7}, "power"},
        {{0, 2, 4, 7, 10}, "dominant-ninth"},
        {{0, 2, 4, 7, 11}, "major-ninth"},
        {{0, 2, 3, 7, 10}, "minor-ninth"},
    };
    for (const auto& [set, kind] : kKinds) {
        if (set == pcs) return kind;
    }
    if (pcs.count(4)) return "major";
    if (pcs.count(3)) return "minor";
    return "none";
}

// The chord symbol of a chord heard in a music whose relative roots count from `key`.
MplyScoreHarmony harmony_of(const MseqBlockChord& chord, int32_t key, int32_t tick) {
    MplyScoreHarmony h;
    h.tick = tick;
    h.root = chord.effective_root(key);
    std::set<int> pcs;
    int lowest = 0;
    for (int32_t i = 0; i < chord.key_count && i < MseqBlockChord::kMaxKeys; ++i) {
        pcs.insert(((chord.keys[i].m_Key % 12) + 12) % 12);
        lowest = std::min(lowest, chord.keys[i].m_Key);
        if (i == 0) lowest = chord.keys[i].m_Key;
    }
    h.kind = chord_kind(pcs);
    const int bass = ((h.root + lowest) % 12 + 12) % 12;
    if (bass != h.root) h.bass = bass;
    return h;
}

bool same_symbol(const MplyScoreHarmony& a, const MplyScoreHarmony& b) {
    return a.root == b.root && a.bass == b.bass && a.kind == b.kind;
}

std::vector<std::pair<int32_t, int>> chord_map_keys(MseqMusic& source, int32_t end,
                                                    std::vector<MplyScoreHarmony>* harmonies) {
    std::vector<std::pair<int32_t, int>> keys;
    MplyPlayer probe_player(nullptr, false);
    std::unique_ptr<MplyMusic> probe(source.create_player_model());
    if (!probe || !probe->Start(&probe_player)) return keys;
    MplyTrackChord* chords = nullptr;
    for (MplyTrack* top = probe->tree(); top && !chords; top = top->next()) {
        for (MplyTrack* t = top; t && !chords; t = t->next_in(top)) {
            if (t->GetType() == MPLY_TRACK_CHORD) chords = static_cast<MplyTrackChord*>(t);
        }
    }
    if (!chords) return keys;
    // Chords change on a grid step at the finest; each is asked for where the step starts.
    for (int64_t at = 0; at <= end; at += 2 * Grid::kStep) {
        const MseqBlockChord* chord = chords->ChordAt(at);
        const MseqMapChord* map = chords->ChordMapAt(at);
        if (!chord || !map || chord->key_count <= 0) continue;
        const MplyScoreHarmony h = harmony_of(*chord, map->m_CDegKey, static_cast<int32_t>(at));
        if (harmonies->empty() || !same_symbol(harmonies->back(), h)) harmonies->push_back(h);
    }
    for (int64_t bar = 0; bar <= end; bar += Grid::kBar) {
        const MseqMapChord* map = chords->ChordMapAt(bar);
        if (!map) continue;
        const int fifths = mply_key_fifths(map->m_ToneKey);
        if (keys.empty() || keys.back().second != fifths)
            keys.push_back({static_cast<int32_t>(bar), fifths});
    }
    return keys;
}

}  // namespace

std::string mply_musicxml(const MplyScoreEvents& events, const MplyExportParts& parts) {
    return ScoreWriter(events, parts).Write();
}

MplyExportResult MplyExportScore(MplyPlayer& player, MplyScoreCapture& capture,
                                 std::unique_ptr<MplyEntity>& music, std::string* xml) {
    if (player.Running() || !music) return MplyExportResult::not_started;
    player.SetStopNotify(nullptr, 0);
    player.SetStartNotify(nullptr, 0);
    player.SetPositionNotify(nullptr, 0);
    player.SetStartTick(0);
    const MplyExportParts parts = mply_describe_parts(*music);
    auto* played = static_cast<MplyMusic*>(music->IsKindOf(MPLY_MUSIC));
    ref_ptr<MseqMusic> source(played ? played->source() : nullptr);
    if (!player.Start(&capture, music)) return MplyExportResult::not_started;
    if (player.Running()) {
        player.Stop(1);
        return MplyExportResult::timed_out;
    }
    if (capture.Events().notes.empty() && capture.Events().texts.empty())
        return MplyExportResult::empty;
    if (!xml) return MplyExportResult::ok;
    MplyScoreEvents events = capture.Events();
    if (source) events.keys = chord_map_keys(*source, events.end, &events.harmonies);
    *xml = mply_musicxml(events, parts);
    return MplyExportResult::ok;
}
