#include "play/import/MplyImportAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "model/block/MseqBlockChord.h"
#include "model/block/MseqBlockNote.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/floor_math.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackNote.h"
#include "play/engine/MplyContext.h"
#include "play/engine/MplyEventQueue.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrackChord.h"
#include "play/tracks/MplyTrackNote.h"

const char* mply_analysis_key_name(int32_t tonic, bool minor) {
    static const char* const kMajor[12] = {"C major",  "C# major", "D major",  "D# major",
                                           "E major",  "F major",  "F# major", "G major",
                                           "G# major", "A major",  "A# major", "B major"};
    static const char* const kMinor[12] = {"C minor",  "C# minor", "D minor",  "D# minor",
                                           "E minor",  "F minor",  "F# minor", "G minor",
                                           "G# minor", "A minor",  "A# minor", "B minor"};
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

// The key whose profile best matches the notes' durations by pitch class (the major and minor
// key profiles of Krumhansl and Kessler, by correlation).
void find_key(const std::vector<Heard>& notes, int32_t* tonic, bool* minor) {
    static constexpr double kMajor[12] = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09,
                                          2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
    static constexpr double kMinor[12] = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53,
                                          2.54, 4.75, 3.98, 2.69, 3.34, 3.17};
    std::array<double, 12> hist{};
    for (const Heard& n : notes)
        hist[static_cast<size_t>(n.key % 12)] += static_cast<double>(n.end - n.start);
    auto correlation = [&](const double* profile, int32_t t) {
        double mx = 0, my = 0;
        for (int i = 0; i < 12; ++i) {
            mx += hist[static_cast<size_t>((i + t) % 12)];
            my += profile[i];
        }
        mx /= 12;
        my /= 12;
        double sxy = 0, sxx = 0, syy = 0;
        for (int i = 0; i < 12; ++i) {
            const double x = hist[static_cast<size_t>((i + t) % 12)] - mx, y = profile[i] - my;
            sxy += x * y;
            sxx += x * x;
            syy += y * y;
        }
        return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
    };
    double best = -2;
    *tonic = 0;
    *minor = false;
    for (int32_t t = 0; t < 12; ++t) {
        for (bool m : {false, true}) {
            const double c = correlation(m ? kMinor : kMajor, t);
            if (c > best + 1e-9) {
                best = c;
                *tonic = t;
                *minor = m;
            }
        }
    }
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

// The chord of each span; a span without notes keeps the chord before it.
std::vector<Found> find_chords(const std::vector<SpanWeights>& spans, int32_t tonic, bool minor) {
    std::vector<Found> out(spans.size());
    Found previous;
    for (size_t s = 0; s < spans.size(); ++s) {
        if (spans[s].total <= 0) {
            out[s] = previous;
            continue;
        }
        Found best;
        double best_score = -1e9;
        for (int32_t root = 0; root < 12; ++root) {
            for (int32_t type : kCandidateTypes) {
                const Found c{root, type};
                const double score = chord_score(spans[s], c, tonic, minor, previous);
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

// Writes the chord blocks on the half-bar grid, one where the chord changes.
void write_chords(MseqTrackChord& track, const MseqMapChord& map, const std::vector<Found>& chords,
                  const std::map<Found, int32_t>& slots, MplyAnalysisReport* report) {
    track.set_grid_when_empty(kMplyAnalysisChordBeat);
    Found previous;
    for (size_t s = 0; s < chords.size(); ++s) {
        const Found& c = chords[s];
        if (c.root < 0 || c == previous) continue;
        previous = c;
        const int32_t slot = slots.at(c);
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

// The music, its groups and its note tracks follow the chord track `chords` and the map.
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

}  // namespace

bool mply_analyse_music(MseqMusic& music, MseqMapChord& map, MSEQ_ID map_ref,
                        MplyAnalysisTarget target, MplyAnalysisReport* report,
                        MplyAnalysisFault* fault) {
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
    MseqObject* node = music.create_track(MID_TRACK_HEADER, MPLACE_LAST_CHILD, MTYPE_TRACK_CHORD,
                                          ckv_from_utf8("コード"));
    auto* chord_track = node ? entity_of<MseqTrackChord>(node, MTYPE_TRACK_CHORD) : nullptr;
    if (!chord_track) {
        if (node) music.remove_track(node->id);
        *fault = MplyAnalysisFault::music_full;
        return false;
    }
    find_key(heard, &report->tonic, &report->minor);
    const std::vector<Found> chords =
        find_chords(span_weights(heard), report->tonic, report->minor);
    std::map<Found, int32_t> slots;
    write_map(map, report->tonic, report->minor, chords, &slots, report);
    chord_track->m_MapID = map_ref;
    write_chords(*chord_track, map, chords, slots, report);
    link(music, nodes, node->id, map_ref);
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
