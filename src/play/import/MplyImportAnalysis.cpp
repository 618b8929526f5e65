#include "play/import/MplyImportAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "play/MplyTexts.h"
#include "play/engine/MplyContext.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrackChord.h"
#include "play/tracks/MplyTrackNote.h"

const char* mply_analysis_key_name(int32_t tonic, bool minor) {
    // Each key by the name of fewer accidentals in its signature.
    static const char* const kMajor[12] = {"C major",  "Db major", "D major",  "Eb major",
                                           "E major",  "F major",  "F# major", "G major",
                                           "Ab major", "A major",  "Bb major", "B major"};
    static const char* const kMinor[12] = {"C minor",  "C# minor", "D minor",  "Eb minor",
                                           "E minor",  "F minor",  "F# minor", "G minor",
                                           "G# minor", "A minor",  "Bb minor", "B minor"};
    const auto pc = static_cast<size_t>(floor_mod(tonic, 12));
    return minor ? kMinor[pc] : kMajor[pc];
}

namespace {

constexpr int64_t kSpan = MseqTrack::kTicksPerBar / kMplyAnalysisChordBeat;
// The chord types a span may be heard as: the triads, the usual sevenths, sus4 and the
// diminished seventh (numbers of the chord type table).
constexpr std::array<int32_t, 10> kCandidateTypes = {0, 1, 2, 3, 4, 8, 10, 11, 13, 20};
constexpr int32_t kMajorScale[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int32_t kMinorScale[7] = {0, 2, 3, 5, 7, 8, 10};

// A pitched note as the analysis weighs it.
struct Heard {
    int64_t start = 0;
    int64_t end = 0;
    int32_t key = 0;
    size_t track = 0;  // index in the list of pitched note tracks
};

// A chord found: root pitch class and chord type number.
struct Found {
    int32_t root = -1;
    int32_t type = -1;
    bool operator==(const Found&) const = default;
    bool operator<(const Found& o) const { return root != o.root ? root < o.root : type < o.type; }
};

// The note tracks of the music, in pre-order, with their nodes.
struct NoteTrack {
    MseqObject* node = nullptr;
    MseqTrackNote* track = nullptr;
};

template <class T>
T* entity_of(MseqObject* node, MSEQ_TYPE type) {
    ref_ptr<MseqEntity> e = mseq_open(node);
    return e ? e->cast_to<T>(type) : nullptr;
}

std::vector<MseqObject*> all_nodes(const MseqMusic& music) {
    std::vector<MseqObject*> out;
    for (MseqObject* top = music.root(); top; top = top->next()) {
        for (MseqObject* node = top; node; node = node->next_in(top))
            out.push_back(node);
    }
    return out;
}

// True when something already follows chords or a key: the analysis would change its sound.
bool follows_chords(const std::vector<MseqObject*>& nodes) {
    for (MseqObject* node : nodes) {
        if (node->type == MTYPE_TRACK_CHORD || node->type == MTYPE_TRACK_CHORD_MAP ||
            node->type == MTYPE_TRACK_REFER)
            return true;
        if (node->type != MTYPE_TRACK_NOTE) continue;
        auto* notes = entity_of<MseqTrackNote>(node, MTYPE_TRACK_NOTE);
        if (!notes) continue;
        for (const auto& [index, block] : notes->blocks()) {
            if (block.m_Type == MNBT_TONE || block.m_Type == MNBT_SDEG || block.m_Type == MNBT_CDEG)
                return true;
        }
    }
    return false;
}

// The music's player tracks, built and prepared as a run from the start would prepare them, so
// that the player itself says which key each note sounds.
class Resolver {
public:
    explicit Resolver(MseqMusic& music) : music_(music) {}

    bool build() {
        std::shared_ptr<const MplyRunSet> reach = MplyRunSet::collect(&music_);
        if (!reach) return false;
        player_.reset(new (std::nothrow) MplyMusic(&music_, std::move(reach)));
        if (!player_) return false;
        MplyContext& c = player_->context();
        c.queue = &queue_;
        c.music = player_.get();
        c.transpose = music_.m_Transpose;
        player_->BuildAndPrepare(c);
        return player_->tree() != nullptr;
    }

    MplyTrackNote* notes(MSEQ_ID id) const {
        MplyTrack* t = player_ ? player_->FindTrack(id) : nullptr;
        return t && t->IsKindOf(MPLY_TRACK_NOTE) ? static_cast<MplyTrackNote*>(t) : nullptr;
    }

    int64_t transpose() const { return music_.m_Transpose; }

private:
    MseqMusic& music_;
    MplyEventQueue queue_;
    std::unique_ptr<MplyMusic> player_;
};

int64_t unit_of(const MseqTrack& t) {
    return MseqTrack::kTicksPerBar / std::max<int32_t>(1, t.m_Beat);
}

// The pitched notes of every note track, with the keys the player sounds them at.
std::vector<Heard> heard_notes(const std::vector<NoteTrack>& tracks, const Resolver& r) {
    std::vector<Heard> out;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const NoteTrack& nt = tracks[t];
        MplyTrackNote* player = r.notes(nt.node->id);
        if (!player) continue;
        const int64_t unit = unit_of(*nt.track);
        for (const auto& [index, block] : nt.track->blocks()) {
            if (block.m_Type != MNBT_PURE) continue;
            int64_t key = 0;
            const int64_t a = index * unit;
            if (a < 0 || !player->KeyOf(block, a, r.transpose(), 0, &key) || key < 0 || key > 127)
                continue;
            out.push_back(
                {a, a + std::max<int64_t>(1, block.m_Length) * unit, static_cast<int32_t>(key), t});
        }
    }
    return out;
}

// The major and minor key profiles of Krumhansl and Kessler.
constexpr double kMajorProfile[12] = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09,
                                      2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
constexpr double kMinorProfile[12] = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53,
                                      2.54, 4.75, 3.98, 2.69, 3.34, 3.17};
constexpr int32_t kKeys = 24;  // 0-11 the major keys by tonic, 12-23 the minor ones

using PitchWeights = std::array<double, 12>;

// The correlation of the weights with each key's profile; 0 for every key without weights.
std::array<double, kKeys> key_scores(const PitchWeights& hist) {
    std::array<double, kKeys> out{};
    double mx = 0;
    for (double h : hist)
        mx += h;
    mx /= 12;
    for (int32_t k = 0; k < kKeys; ++k) {
        const double* profile = k < 12 ? kMajorProfile : kMinorProfile;
        const int32_t t = k % 12;
        double my = 0;
        for (int i = 0; i < 12; ++i)
            my += profile[i];
        my /= 12;
        double sxy = 0, sxx = 0, syy = 0;
        for (int i = 0; i < 12; ++i) {
            const double x = hist[static_cast<size_t>((i + t) % 12)] - mx, y = profile[i] - my;
            sxy += x * y;
            sxx += x * x;
            syy += y * y;
        }
        out[static_cast<size_t>(k)] = sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
    }
    return out;
}

// The key whose profile best matches the weights, the first of equals.
int32_t best_key(const PitchWeights& hist) {
    const std::array<double, kKeys> scores = key_scores(hist);
    int32_t best = 0;
    for (int32_t k = 1; k < kKeys; ++k) {
        if (scores[static_cast<size_t>(k)] > scores[static_cast<size_t>(best)] + 1e-9) best = k;
    }
    return best;
}

PitchWeights sum_of(const std::vector<PitchWeights>& bars, size_t from, size_t to) {
    PitchWeights out{};
    for (size_t b = from; b < to && b < bars.size(); ++b) {
        for (size_t pc = 0; pc < 12; ++pc)
            out[pc] += bars[b][pc];
    }
    return out;
}

// Bars either side of a bar that its key is heard over, the price of a change of key in summed
// correlations, and the fewest bars a section of its own holds.
constexpr size_t kKeyWindow = 2;
constexpr double kKeyChangeCost = 2.5;
constexpr size_t kMinSectionBars = 4;

// The key of each bar that best follows the windowed profiles with as few changes as pay: the
// best path through bars and keys, a change costing kKeyChangeCost.
std::vector<int32_t> key_path(const std::vector<PitchWeights>& bars) {
    const size_t n = bars.size();
    std::vector<std::array<double, kKeys>> local(n);
    for (size_t b = 0; b < n; ++b)
        local[b] =
            key_scores(sum_of(bars, b >= kKeyWindow ? b - kKeyWindow : 0, b + kKeyWindow + 1));
    std::vector<std::array<int32_t, kKeys>> from(n);
    std::array<double, kKeys> total = local[0];
    for (size_t b = 1; b < n; ++b) {
        int32_t leader = 0;
        for (int32_t k = 1; k < kKeys; ++k) {
            if (total[static_cast<size_t>(k)] > total[static_cast<size_t>(leader)]) leader = k;
        }
        std::array<double, kKeys> next{};
        for (int32_t k = 0; k < kKeys; ++k) {
            const double stay = total[static_cast<size_t>(k)];
            const double change = total[static_cast<size_t>(leader)] - kKeyChangeCost;
            from[b][static_cast<size_t>(k)] = stay >= change ? k : leader;
            next[static_cast<size_t>(k)] =
                std::max(stay, change) + local[b][static_cast<size_t>(k)];
        }
        total = next;
    }
    std::vector<int32_t> path(n);
    int32_t k = 0;
    for (int32_t j = 1; j < kKeys; ++j) {
        if (total[static_cast<size_t>(j)] > total[static_cast<size_t>(k)]) k = j;
    }
    for (size_t b = n; b-- > 0;) {
        path[b] = k;
        k = from[b][static_cast<size_t>(k)];
    }
    return path;
}

struct Span {
    size_t from = 0, to = 0;  // bars
    int32_t key = 0;
};

// Sections shorter than kMinSectionBars join the one before them (the first the one after),
// neighbours of one key join, and each takes the key its own bars match best.
void settle_sections(const std::vector<PitchWeights>& bars, std::vector<Span>* spans) {
    for (bool changed = true; changed && spans->size() > 1;) {
        changed = false;
        for (size_t i = 0; i < spans->size(); ++i) {
            Span& s = (*spans)[i];
            s.key = best_key(sum_of(bars, s.from, s.to));
        }
        for (size_t i = 0; i < spans->size() && spans->size() > 1; ++i) {
            Span& s = (*spans)[i];
            const bool short_one = s.to - s.from < kMinSectionBars;
            const bool same_as_before = i > 0 && (*spans)[i - 1].key == s.key;
            if (!short_one && !same_as_before) continue;
            if (i == 0) {
                (*spans)[1].from = s.from;
            } else {
                (*spans)[i - 1].to = s.to;
            }
            spans->erase(spans->begin() + static_cast<ptrdiff_t>(i));
            changed = true;
            break;
        }
    }
    if (spans->size() == 1) (*spans)[0].key = best_key(sum_of(bars, 0, bars.size()));
}

// Moves each change of key to the bar, within the window, after which the bars' own profiles
// favour the new key: the windows blur a change over their width.
void place_changes(const std::vector<PitchWeights>& bars, std::vector<Span>* spans) {
    for (size_t i = 1; i < spans->size(); ++i) {
        Span& a = (*spans)[i - 1];
        Span& b = (*spans)[i];
        const size_t lo = std::max(a.from + 1, b.from > kKeyWindow ? b.from - kKeyWindow : 0);
        const size_t hi = std::min(b.to - 1, b.from + kKeyWindow);
        size_t best = b.from;
        double best_score = -1e18;
        for (size_t at = lo; at <= hi; ++at) {
            double score = 0;
            for (size_t bar = lo; bar <= hi; ++bar) {
                const std::array<double, kKeys> s = key_scores(bars[bar]);
                score += s[static_cast<size_t>(bar < at ? a.key : b.key)];
            }
            if (score > best_score + 1e-9) {
                best_score = score;
                best = at;
            }
        }
        a.to = b.from = best;
    }
}

}  // namespace

std::vector<MplyAnalysisSection> mply_analysis_sections(
    const std::vector<std::array<double, 12>>& bars) {
    std::vector<Span> spans;
    if (!bars.empty()) {
        const std::vector<int32_t> path = key_path(bars);
        for (size_t b = 0; b < path.size(); ++b) {
            if (spans.empty() || spans.back().key != path[b]) spans.push_back({b, b, path[b]});
            spans.back().to = b + 1;
        }
        settle_sections(bars, &spans);
        place_changes(bars, &spans);
        settle_sections(bars, &spans);
    }
    if (spans.empty()) spans.push_back({0, 0, 0});
    std::vector<MplyAnalysisSection> out;
    std::vector<int32_t> keys;
    for (const Span& s : spans) {
        const auto known = std::find(keys.begin(), keys.end(), s.key);
        const size_t map = static_cast<size_t>(known - keys.begin());
        if (known == keys.end()) keys.push_back(s.key);
        out.push_back({static_cast<int32_t>(s.from), s.key % 12, s.key >= 12, map});
    }
    return out;
}

namespace {

// The weight of each pitch class in each bar: the notes' durations in it.
std::vector<PitchWeights> bar_weights(const std::vector<Heard>& notes) {
    int64_t end = 0;
    for (const Heard& n : notes)
        end = std::max(end, n.end);
    constexpr int64_t bar = MseqTrack::kTicksPerBar;
    std::vector<PitchWeights> bars(static_cast<size_t>((end + bar - 1) / bar));
    for (const Heard& n : notes) {
        for (int64_t b = n.start / bar; b * bar < n.end; ++b) {
            const int64_t from = std::max(n.start, b * bar), to = std::min(n.end, (b + 1) * bar);
            bars[static_cast<size_t>(b)][static_cast<size_t>(n.key % 12)] +=
                static_cast<double>(to - from);
        }
    }
    return bars;
}

// The weight of each pitch class in one span and its lowest key.
struct SpanWeights {
    std::array<double, 12> w{};
    double total = 0;
    int32_t bass = 128;
};

// Duration in the span, more for a note that starts on the span's first beat or on a beat.
std::vector<SpanWeights> span_weights(const std::vector<Heard>& notes) {
    int64_t end = 0;
    for (const Heard& n : notes)
        end = std::max(end, n.end);
    std::vector<SpanWeights> spans(static_cast<size_t>((end + kSpan - 1) / kSpan));
    for (const Heard& n : notes) {
        for (int64_t s = n.start / kSpan; s * kSpan < n.end; ++s) {
            const int64_t from = std::max(n.start, s * kSpan);
            const int64_t to = std::min(n.end, (s + 1) * kSpan);
            double weight = static_cast<double>(to - from);
            if (n.start == s * kSpan)
                weight *= 1.5;
            else if (from == n.start && n.start % (MseqTrack::kTicksPerBar / 4) == 0)
                weight *= 1.25;
            SpanWeights& sw = spans[static_cast<size_t>(s)];
            sw.w[static_cast<size_t>(n.key % 12)] += weight;
            sw.total += weight;
            sw.bass = std::min(sw.bass, n.key);
        }
    }
    return spans;
}

bool in_scale(int32_t pc, int32_t tonic, bool minor) {
    const int32_t rel = static_cast<int32_t>(floor_mod(pc - tonic, 12));
    const int32_t* scale = minor ? kMinorScale : kMajorScale;
    return std::find(scale, scale + 7, rel) != scale + 7;
}

// How well a chord explains a span: the share of its tones against the share of the others,
// less for tones it lacks and for every tone beyond three, more for a chord of the key, for a
// root in the bass and for the chord heard before.
double chord_score(const SpanWeights& sw, const Found& c, int32_t tonic, bool minor,
                   const Found& previous) {
    const MseqChordType* type = mseq_chord_type(c.type);
    double in = 0, penalty = 0;
    bool diatonic = true;
    for (int32_t i = 0; i < type->count; ++i) {
        const int32_t pc = (c.root + type->offsets[i]) % 12;
        const double share = sw.w[static_cast<size_t>(pc)] / sw.total;
        in += share;
        if (share < 0.03) penalty += type->offsets[i] == 7 ? 0.08 : 0.2;
        diatonic = diatonic && in_scale(pc, tonic, minor);
    }
    double score = in - 0.7 * (1.0 - in) - penalty - 0.04 * (type->count - 3);
    if (diatonic) score += 0.08;
    if (sw.bass % 12 == c.root) score += 0.1;
    if (c == previous) score += 0.03;
    return score;
}

// The section of each span (half bar).
std::vector<size_t> span_sections(const std::vector<MplyAnalysisSection>& sections, size_t spans) {
    std::vector<size_t> out(spans, 0);
    for (size_t i = 1; i < sections.size(); ++i) {
        const size_t first = static_cast<size_t>(sections[i].bar) * kMplyAnalysisChordBeat;
        for (size_t s = first; s < spans; ++s)
            out[s] = i;
    }
    return out;
}

// The chord of each span in the key of its section; a span without notes keeps the chord before
// it within its section.
std::vector<Found> find_chords(const std::vector<SpanWeights>& spans,
                               const std::vector<MplyAnalysisSection>& sections,
                               const std::vector<size_t>& section_of) {
    std::vector<Found> out(spans.size());
    Found previous;
    for (size_t s = 0; s < spans.size(); ++s) {
        const MplyAnalysisSection& key = sections[section_of[s]];
        if (s > 0 && section_of[s] != section_of[s - 1]) previous = Found{};
        if (spans[s].total <= 0) {
            out[s] = previous;
            continue;
        }
        Found best;
        double best_score = -1e9;
        for (int32_t root = 0; root < 12; ++root) {
            for (int32_t type : kCandidateTypes) {
                const Found c{root, type};
                const double score = chord_score(spans[s], c, key.tonic, key.minor, previous);
                if (score > best_score + 1e-9) {
                    best_score = score;
                    best = c;
                }
            }
        }
        out[s] = previous = best;
    }
    return out;
}

// The chord as a relative chord of the map's chord key, sounding in the middle octave.
MseqBlockChord chord_block(const Found& c, int32_t chord_key) {
    MseqBlockChord b;
    b.set_type(c.type);
    b.m_Flags = MCHORD_RELATIVE_ROOT;
    b.m_Octave = 0;
    b.m_Root = static_cast<int32_t>(floor_mod(c.root - chord_key, 12));
    return b;
}

bool same_chord(const MseqBlockChord& slot, const Found& c, int32_t chord_key) {
    if (slot.m_Flags & MCHORD_NO_KEY) return false;
    const MseqChordType* type = mseq_chord_type(c.type);
    if (slot.key_count != type->count || slot.effective_root(chord_key) != c.root) return false;
    for (int32_t i = 0; i < type->count; ++i) {
        if (slot.keys[static_cast<size_t>(i)].m_Key != type->offsets[i] ||
            slot.keys[static_cast<size_t>(i)].m_Flags != 0)
            return false;
    }
    return true;
}

// The map of the key: its scale, its triads in the palette (the middle octave switched on) and
// a slot for every chord found that they lack. `slots` receives each chord's slot, -1 for a
// chord no free slot could take.
void write_map(MseqMapChord& map, int32_t tonic, bool minor, const std::vector<Found>& chords,
               std::map<Found, int32_t>* slots, MplyAnalysisReport* report) {
    map.reset();
    map.set_chord_key(static_cast<int32_t>(wrap_range(tonic, -5, 6)));
    map.select_preset(minor ? 6 : 1);
    map.build_palette(2, 3);
    for (int32_t s = 12; s < 12 + map.m_Scale.key_count && s < MseqMapChord::kSlots; ++s)
        map.m_Blocks[static_cast<size_t>(s)].m_Flags &= ~MCHORD_NO_KEY;
    const int32_t k = map.m_CDegKey;
    // Slots of no scale degree, the middle octave first.
    std::vector<int32_t> free;
    for (int32_t row : {12, 24, 0}) {
        for (int32_t d = map.m_Scale.key_count; d < 12; ++d)
            free.push_back(row + d);
    }
    size_t next_free = 0;
    for (const Found& c : chords) {
        if (c.root < 0 || slots->count(c)) continue;
        int32_t slot = -1;
        for (int32_t s = 12; s < 24 && slot < 0; ++s) {
            if (same_chord(map.m_Blocks[static_cast<size_t>(s)], c, k)) slot = s;
        }
        if (slot < 0 && next_free < free.size()) {
            slot = free[next_free++];
            map.set_palette_slot(slot, chord_block(c, k));
            ++report->chords_added;
        }
        (*slots)[c] = slot;
    }
    map.validate();
}

// Writes the chord blocks on the half-bar grid, one where the chord changes and one at the start
// of every section, each a palette chord of its section's map.
void write_chords(MseqTrackChord& track, const std::vector<MseqMapChord*>& maps,
                  const std::vector<MplyAnalysisSection>& sections,
                  const std::vector<size_t>& section_of, const std::vector<Found>& chords,
                  const std::vector<std::map<Found, int32_t>>& slots, MplyAnalysisReport* report) {
    track.set_grid_when_empty(kMplyAnalysisChordBeat);
    Found previous;
    for (size_t s = 0; s < chords.size(); ++s) {
        const Found& c = chords[s];
        if (s > 0 && section_of[s] != section_of[s - 1]) previous = Found{};
        if (c.root < 0 || c == previous) continue;
        previous = c;
        const size_t m = sections[section_of[s]].map;
        const MseqMapChord& map = *maps[m];
        const int32_t slot = slots[m].at(c);
        MseqBlockChord block;
        if (slot >= 0) {
            // A copy of the palette chord that selects it, as the chord editor writes one.
            block = map.m_Blocks[static_cast<size_t>(slot)];
            block.m_Flags &= ~MCHORD_NO_KEY;
        } else {
            block = chord_block(c, map.m_CDegKey);
            block.m_Flags |= MCHORD_NO_KEY;
            ++report->chords_own;
        }
        block.lookup_type();
        track.set_block(kMplyAnalysisChordBeat, static_cast<int32_t>(s), &block);
        ++report->chords;
    }
}

// Each note track's octave in the middle of its notes, so that its notes reach as far as the
// note types' octaves allow.
void centre_octaves(const std::vector<NoteTrack>& tracks, const std::vector<Heard>& heard,
                    int64_t transpose) {
    std::vector<std::vector<int64_t>> keys(tracks.size());
    for (const Heard& h : heard)
        keys[h.track].push_back(h.key);
    for (size_t t = 0; t < tracks.size(); ++t) {
        std::vector<int64_t>& k = keys[t];
        if (k.empty()) continue;
        const auto middle = k.begin() + static_cast<ptrdiff_t>(k.size() / 2);
        std::nth_element(k.begin(), middle, k.end());
        tracks[t].track->m_Octave =
            MseqTrackNote::kOctaveRange.clamp(floor_div(*middle - transpose, 12));
    }
}

// The new pitch fields of a note, as candidates the player then checks.
class Converter {
public:
    Converter(MplyTrackNote& player, int64_t transpose)
        : player_(player), transpose_(transpose), octave_(player.octave()) {}

    // The chord degree that names `key` at tick `a`; false when the key is no chord tone.
    bool chord_degree(int64_t key, int64_t a, MseqBlockNote* out) const {
        MplyTrackChord* chords = player_.chord_source();
        const MseqBlockChord* chord = chords ? chords->ChordAt(a) : nullptr;
        if (!chord) return false;
        const MseqMapChord* map = chords->ChordMapAt(a);
        const int64_t n = std::min<int64_t>(chord->key_count, MseqBlockChord::kMaxKeys);
        if (n < 1) return false;
        const int32_t k = map ? map->m_CDegKey : 0;
        const int64_t span =
            (int64_t{chord->keys[static_cast<size_t>(n - 1)].m_Key} - chord->keys[0].m_Key + 12) /
            12;
        if (span < 1) return false;
        const int64_t base = key - transpose_ - chord->effective_root(k) -
                             12 * (int64_t{chord->effective_octave(k)} + octave_);
        bool found = false;
        int64_t best_oct = 0, best_whole = 0;
        for (int64_t r = 0; r < n; ++r) {
            const MseqChordKey& ck = chord->keys[static_cast<size_t>(r)];
            if (ck.m_Flags & 0x1) continue;
            const int64_t d = base - ck.m_Key;
            if (floor_mod(d, 12) != 0) continue;
            // d / 12 is the degree's octave times the span plus the block octave: the degree
            // carries what it can, the block octave the rest, as little as possible.
            const int64_t m = d / 12;
            for (int64_t j = floor_div(m, span) - 2; j <= floor_div(m, span) + 2; ++j) {
                const int64_t oct = m - j * span, whole = r + n * j;
                if (oct < -2 || oct > 2 || whole < -12 || whole > 12) continue;
                if (!found || std::abs(oct) < std::abs(best_oct)) {
                    found = true;
                    best_oct = oct;
                    best_whole = whole;
                }
            }
            if (found) return set(out, MNBT_CDEG, best_oct, best_whole, 0);
        }
        return false;
    }

    // The scale degree that names `key` at tick `a`; false when the key is no scale tone.
    bool scale_degree(int64_t key, int64_t a, MseqBlockNote* out) const {
        MplyTrackChord* chords = player_.chord_source();
        const MseqMapChord* map = chords ? chords->ChordMapAt(a) : nullptr;
        if (!map) return false;
        const MseqBlockScale& scale = map->m_Scale;
        const int64_t n = std::min<int64_t>(scale.key_count, MseqBlockScale::kMaxKeys);
        const int64_t p = key - transpose_ - map->m_SDegKey;
        for (int64_t r = 0; r < n; ++r) {
            const int64_t d = p - scale.keys[static_cast<size_t>(r)].m_Key;
            if (floor_mod(d, 12) != 0) continue;
            for (int64_t j = 0; r + n * j <= 11; ++j) {
                const int64_t oct = d / 12 - octave_ - j;
                if (oct >= -2 && oct <= 2) return set(out, MNBT_SDEG, oct, r + n * j, 0);
            }
        }
        return false;
    }

    // The tone in the key that names `key` at tick `a`; false when it lies beyond the octaves a
    // tone reaches from the track's octave.
    bool tone(int64_t key, int64_t a, MseqBlockNote* out) const {
        MplyTrackChord* chords = player_.chord_source();
        const MseqMapChord* map = chords ? chords->ChordMapAt(a) : nullptr;
        const int64_t p = key - transpose_ - (map ? map->m_ToneKey : 0);
        const int64_t oct = floor_div(p, 12) - octave_;
        if (oct < -2 || oct > 2) return false;
        const MseqPitchName name = mseq_pitch_name(static_cast<int32_t>(floor_mod(p, 12)));
        return set(out, MNBT_TONE, oct, name.letter, name.sharp);
    }

private:
    static bool set(MseqBlockNote* out, uint32_t type, int64_t oct, int64_t whole, int64_t semi) {
        out->m_Type = type;
        out->m_Octave = static_cast<int8_t>(oct);
        out->m_Whole = static_cast<int8_t>(whole);
        out->m_Semi = static_cast<int8_t>(semi);
        mseq_note_normalize(*out, 0);
        return true;
    }

    MplyTrackNote& player_;
    int64_t transpose_;
    int64_t octave_;
};

struct Conversion {
    MseqTrackNote* track = nullptr;
    int32_t index = 0;
    MseqBlockNote block;
};

// The first candidate of the preferred types that the player sounds at the pure note's key.
bool convert(const Converter& conv, MplyTrackNote& player, const MseqBlockNote& pure, int64_t a,
             int64_t transpose, MplyAnalysisTarget target, MseqBlockNote* out) {
    int64_t key = 0;
    if (!player.KeyOf(pure, a, transpose, 0, &key)) return false;
    using Make = bool (Converter::*)(int64_t, int64_t, MseqBlockNote*) const;
    std::vector<Make> order;
    if (target == MplyAnalysisTarget::chord_degrees) order.push_back(&Converter::chord_degree);
    if (target != MplyAnalysisTarget::tones) order.push_back(&Converter::scale_degree);
    order.push_back(&Converter::tone);
    for (Make make : order) {
        MseqBlockNote candidate = pure;
        int64_t sounds = 0;
        if ((conv.*make)(key, a, &candidate) && player.KeyOf(candidate, a, transpose, 0, &sounds) &&
            sounds == key) {
            *out = candidate;
            return true;
        }
    }
    return false;
}

// Every pure note that another type sounds at its key, checked by the player over the music as
// it now stands (chord track and map in place).
std::vector<Conversion> conversions(const std::vector<NoteTrack>& tracks, const Resolver& r,
                                    MplyAnalysisTarget target, MplyAnalysisReport* report) {
    std::vector<Conversion> out;
    for (const NoteTrack& nt : tracks) {
        MplyTrackNote* player = r.notes(nt.node->id);
        const int64_t unit = unit_of(*nt.track);
        for (const auto& [index, block] : nt.track->blocks()) {
            if (block.m_Type != MNBT_PURE) continue;
            Conversion c{nt.track, index, block};
            if (!player || !player->chord_source() ||
                !convert(Converter(*player, r.transpose()), *player, block, index * unit,
                         r.transpose(), target, &c.block)) {
                ++report->kept_pure;
                continue;
            }
            uint32_t& count = c.block.m_Type == MNBT_CDEG   ? report->chord_degrees
                              : c.block.m_Type == MNBT_SDEG ? report->scale_degrees
                                                            : report->tones;
            ++count;
            out.push_back(c);
        }
    }
    return out;
}

std::vector<NoteTrack> pitched_tracks(const std::vector<MseqObject*>& nodes) {
    std::vector<NoteTrack> out;
    for (MseqObject* node : nodes) {
        if (node->type != MTYPE_TRACK_NOTE) continue;
        auto* t = entity_of<MseqTrackNote>(node, MTYPE_TRACK_NOTE);
        if (!t) continue;
        const bool pitched = std::any_of(t->blocks().begin(), t->blocks().end(), [](const auto& b) {
            return b.second.m_Type == MNBT_PURE;
        });
        if (pitched) out.push_back({node, t});
    }
    return out;
}

// The music, its groups and its note tracks follow the chord track `chords`; the music's
// standard chord map is `map_ref`.
void link(MseqMusic& music, const std::vector<MseqObject*>& nodes, MSEQ_ID chords,
          MSEQ_ID map_ref) {
    music.m_MapChordID = map_ref;
    music.m_TrackChordID = chords;
    for (MseqObject* node : nodes) {
        if (node->type == MTYPE_TRACK_GROUP) {
            if (auto* g = entity_of<MseqTrackGroup>(node, MTYPE_TRACK_GROUP))
                g->m_TrackChordID = chords;
        } else if (node->type == MTYPE_TRACK_NOTE) {
            if (auto* n = entity_of<MseqTrackNote>(node, MTYPE_TRACK_NOTE))
                n->m_TrackChordID = chords;
        }
    }
}

// One chord map for each distinct key of the sections, each in its reset state.
bool take_maps(MplyAnalysisMaps& maps, const std::vector<MplyAnalysisSection>& sections,
               std::vector<MseqMapChord*>* out, std::vector<MSEQ_ID>* refs) {
    for (const MplyAnalysisSection& s : sections) {
        if (s.map < out->size()) continue;
        MSEQ_ID ref = 0;
        MseqMapChord* map = maps.add_map(out->size(), &ref);
        if (!map) return false;
        out->push_back(map);
        refs->push_back(ref);
    }
    return true;
}

// The transposition track that puts each section's map in effect from its first bar.
void write_sections(MseqTrackChordMap& track, const std::vector<MplyAnalysisSection>& sections,
                    const std::vector<MSEQ_ID>& refs) {
    track.set_grid_when_empty(1);
    for (const MplyAnalysisSection& s : sections) {
        const MseqBlockLink block(refs[s.map]);
        track.set_block(1, s.bar, &block);
    }
}

// The new tracks of the analysis: the chord track, with more than one key the transposition
// track before it. False, with neither left in the music, when the music cannot hold them.
bool add_tracks(MseqMusic& music, bool sections, MseqObject** chord_node,
                MseqObject** sections_node) {
    *chord_node = *sections_node = nullptr;
    if (sections) {
        *sections_node =
            music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD_MAP,
                               ckv_from_utf8(kv_text(mply_msg::ANALYSIS_SECTIONS_TRACK)));
        if (!*sections_node ||
            !entity_of<MseqTrackChordMap>(*sections_node, MTYPE_TRACK_CHORD_MAP)) {
            if (*sections_node) music.remove_track((*sections_node)->id);
            *sections_node = nullptr;
            return false;
        }
    }
    *chord_node = music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD,
                                     ckv_from_utf8(kv_text(mply_msg::ANALYSIS_CHORD_TRACK)));
    if (*chord_node && entity_of<MseqTrackChord>(*chord_node, MTYPE_TRACK_CHORD)) return true;
    if (*chord_node) music.remove_track((*chord_node)->id);
    if (*sections_node) music.remove_track((*sections_node)->id);
    *chord_node = *sections_node = nullptr;
    return false;
}

}  // namespace

bool mply_analyse_music(MseqMusic& music, MplyAnalysisMaps& maps, MplyAnalysisTarget target,
                        MplyAnalysisReport* report, MplyAnalysisFault* fault) {
    *report = MplyAnalysisReport{};
    *fault = MplyAnalysisFault::none;
    const std::vector<MseqObject*> nodes = all_nodes(music);
    if (follows_chords(nodes)) {
        *fault = MplyAnalysisFault::follows_chords;
        return false;
    }
    if (!music.check_create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD, 0)) {
        *fault = MplyAnalysisFault::music_full;
        return false;
    }
    const std::vector<NoteTrack> tracks = pitched_tracks(nodes);
    std::vector<Heard> heard;
    {
        Resolver before(music);
        if (!before.build()) {
            *fault = MplyAnalysisFault::cannot_play;
            return false;
        }
        heard = heard_notes(tracks, before);
    }
    report->sections = mply_analysis_sections(bar_weights(heard));
    report->tonic = report->sections[0].tonic;
    report->minor = report->sections[0].minor;
    std::vector<MseqMapChord*> map_list;
    std::vector<MSEQ_ID> refs;
    if (!take_maps(maps, report->sections, &map_list, &refs)) {
        *fault = MplyAnalysisFault::no_map;
        return false;
    }
    report->maps = static_cast<uint32_t>(map_list.size());
    MseqObject* chord_node = nullptr;
    MseqObject* sections_node = nullptr;
    if (!add_tracks(music, map_list.size() > 1, &chord_node, &sections_node)) {
        *fault = MplyAnalysisFault::music_full;
        return false;
    }
    auto* chord_track = entity_of<MseqTrackChord>(chord_node, MTYPE_TRACK_CHORD);
    const std::vector<SpanWeights> spans = span_weights(heard);
    const std::vector<size_t> section_of = span_sections(report->sections, spans.size());
    const std::vector<Found> chords = find_chords(spans, report->sections, section_of);
    std::vector<std::map<Found, int32_t>> slots(map_list.size());
    for (size_t m = 0; m < map_list.size(); ++m) {
        std::vector<Found> heard_here;
        const MplyAnalysisSection* key = nullptr;
        for (size_t s = 0; s < chords.size(); ++s) {
            if (report->sections[section_of[s]].map != m) continue;
            key = &report->sections[section_of[s]];
            heard_here.push_back(chords[s]);
        }
        if (!key)
            key = &*std::find_if(report->sections.begin(), report->sections.end(),
                                 [m](const MplyAnalysisSection& s) { return s.map == m; });
        write_map(*map_list[m], key->tonic, key->minor, heard_here, &slots[m], report);
    }
    if (sections_node) {
        write_sections(*entity_of<MseqTrackChordMap>(sections_node, MTYPE_TRACK_CHORD_MAP),
                       report->sections, refs);
        chord_track->m_MapID = mseq_own_track_id(sections_node->id);
    } else {
        chord_track->m_MapID = refs[0];
    }
    write_chords(*chord_track, map_list, report->sections, section_of, chords, slots, report);
    link(music, nodes, chord_node->id, refs[0]);
    centre_octaves(tracks, heard, music.m_Transpose);

    // The player is gone before the notes change: its tracks hold cursors into the blocks.
    std::vector<Conversion> changes;
    bool checked = false;
    {
        Resolver after(music);
        checked = after.build();
        if (checked) changes = conversions(tracks, after, target, report);
    }
    if (!checked) {
        for (const NoteTrack& nt : tracks) {
            for (const auto& [index, block] : nt.track->blocks())
                report->kept_pure += block.m_Type == MNBT_PURE;
        }
    }
    for (const Conversion& c : changes)
        c.track->set_block(c.track->m_Beat, c.index, &c.block);
    return true;
}
