#include "play/tracks/MplyTrackNote.h"

#include <algorithm>
#include <new>

#include "model/block/MseqBlockRefer.h"
#include "model/theory/MseqMapChord.h"
#include "model/track/MseqTrackRefer.h"
#include "play/engine/MplyEventFactory.h"
#include "play/engine/MplyNoteWatch.h"
#include "play/tracks/MplyTrackChord.h"

MplyTrack* MseqTrackNote::create_player_track(MplyMusic* player) {
    return new (std::nothrow) MplyTrackNote(player, this);
}

namespace {

// Semitones of the letters C, D, E, F, G, A, B above C.
constexpr int64_t kNatural[7] = {0, 2, 4, 5, 7, 9, 11};

int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

MplyTrackNote::MplyTrackNote(MplyMusic* music, MseqTrackNote* source)
    : MplyTrackSeq(music, source) {
    // The built-in key: the Ionian scale and a major triad on the key's tonic.
    m_DefaultScale.select_preset(1);
    m_DefaultChord.set_type(0);
    m_DefaultChord.m_Root = 0;
    m_DefaultChord.m_Octave = 0;
    m_DefaultChord.m_Flags = MCHORD_RELATIVE_ROOT | MCHORD_NO_KEY;
}

bool MplyTrackNote::Prepare(MplyContext& context) {
    m_ChordSource = nullptr;
    m_Sounding = false;
    if (!PrepareCommon(context, true, false, MplyCursorRule::kFirstFrom)) return false;
    const MseqTrackNote& src = *m_Source;
    if (!ChooseChannel(context, src, &m_ChordSource)) {
        m_Cursor = src.blocks().end();
        return false;
    }
    int64_t lag = src.m_STime;
    int64_t velocity_percent = src.m_VRate;
    int64_t octave = src.m_Octave;
    if (const MseqTrackRefer* refer = context.refer_source) {
        lag += refer->m_STime;
        velocity_percent = velocity_percent * refer->m_VRate;
        octave += refer->m_Octave;
    } else {
        velocity_percent *= 100;
    }
    m_StartLag = mply_clamp32(lag);
    m_Octave = mply_clamp32(octave);
    m_LengthFactor = mply_clamp32(mply_ceil_percent(static_cast<int64_t>(src.m_LRate) * 256, 100));
    m_VelocityFactor = mply_clamp32(mply_ceil_percent(velocity_percent * 256, 10000));
    m_Sounding = true;
    return true;
}

bool MplyTrackNote::Generate(MplyContext& context) {
    const int32_t mode = context.refer_mode;
    const int64_t factor = context.stretch_factor;
    const int64_t cut_end = context.cut_end;
    const int64_t etime = m_Source->m_ETime;
    for (; !AtEnd(); ++m_Cursor) {
        const MseqBlockNote& note = m_Cursor->second;
        int64_t a = static_cast<int64_t>(m_Cursor->first) * m_Unit;
        if (mode == MRBM_STRETCH)
            a = context.stretch_origin + mply_stretch(a - context.stretch_origin, factor);
        a += context.time_offset;
        bool more = false;
        if (PastWindow(a, context, &more)) return more;

        int64_t s = (note.m_Flags & MNBF_OWN_STIME) ? note.m_STime : m_StartLag;
        if (mode == MRBM_STRETCH) s = mply_stretch(s, factor);
        int64_t on = a + s;
        int64_t len = static_cast<int64_t>(note.m_Length) * m_Unit;
        if (on < 0) {
            len += on;
            on = 0;
        }
        if (mode == MRBM_BLOCK_CUT && a + len > cut_end) {
            len = cut_end - a;
            if (len < 1) continue;
        }
        if (note.m_Flags & MNBF_OWN_ETIME) {
            len += note.m_ETime;
        } else {
            len = ((len * m_LengthFactor) >> 8) + etime;
        }
        if (mode == MRBM_SOUND_CUT && on + len > cut_end) {
            len = cut_end - on;
            if (len < 1) continue;
        }
        if (mode == MRBM_STRETCH) len = mply_stretch(len, factor);
        if (len < 1) len = 1;
        // A note whose start lag carries it to the open end can never sound.
        if (on >= kMplyOpenEnd) continue;

        int64_t key = 0;
        const bool keyed = KeyOf(note, a, context.transpose, context.degree_shift, &key);
        const bool sounds = keyed && key >= 0 && key <= 127;
        int64_t velocity = (static_cast<int64_t>(note.m_Velocity) * m_VelocityFactor) >> 8;
        velocity = std::clamp<int64_t>(velocity, 0, 127);
        if (context.watch) Tell(context, note, a, on, len, sounds ? key : -1, velocity);
        if (!sounds) continue;
        if (!mply_event::note_on(*context.queue, static_cast<int32_t>(on),
                                 static_cast<uint8_t>(m_Channel), mply_clamp32(len),
                                 static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)))
            return false;
    }
    return false;
}

void MplyTrackNote::Tell(const MplyContext& context, const MseqBlockNote& note, int64_t a,
                         int64_t on, int64_t len, int64_t key, int64_t velocity) {
    MplyNoteSeen seen;
    seen.tick = mply_clamp32(on);
    seen.length = mply_clamp32(len);
    seen.sounded = key >= 0;
    seen.key = static_cast<uint8_t>(seen.sounded ? key : 0);
    seen.velocity = static_cast<uint8_t>(velocity);
    seen.block_type = static_cast<uint8_t>(note.m_Type);
    seen.map_missing = m_ChordSource && !m_ChordSource->ChordMapAt(a);
    seen.chord_tone = seen.sounded && IsChordTone(a, key - context.transpose);
    context.watch->Seen(seen);
}

const MseqBlockChord* MplyTrackNote::ChordFor(int64_t a) {
    return m_ChordSource ? m_ChordSource->ChordAt(a) : &m_DefaultChord;
}

int64_t MplyTrackNote::ChordRoot(const MseqBlockChord& chord, int64_t k, int64_t* root_octave) {
    int64_t root = chord.m_Root;
    *root_octave = chord.m_Octave;
    if (chord.m_Flags & MCHORD_RELATIVE_ROOT) {
        root = chord.m_Root + k;
        *root_octave = chord.m_Octave + floor_div(root, 12);
        root -= floor_div(root, 12) * 12;
    }
    return root;
}

bool MplyTrackNote::IsChordTone(int64_t a, int64_t untransposed) {
    const MseqBlockChord* chord = ChordFor(a);
    if (!chord) return false;
    const MseqMapChord* map = m_ChordSource ? m_ChordSource->ChordMapAt(a) : nullptr;
    int64_t root_octave = 0;
    const int64_t root = ChordRoot(*chord, map ? map->m_CDegKey : 0, &root_octave);
    const int64_t n = std::min<int64_t>(chord->key_count, MseqBlockChord::kMaxKeys);
    for (int64_t i = 0; i < n; ++i) {
        if (chord->keys[i].m_Flags & 0x1) continue;  // left out: not sounded by the chord
        const int64_t d = untransposed - root - chord->keys[i].m_Key;
        if (d - floor_div(d, 12) * 12 == 0) return true;
    }
    return false;
}

bool MplyTrackNote::KeyOf(const MseqBlockNote& note, int64_t a, int64_t transpose, int64_t shift,
                          int64_t* key) {
    const int64_t oct = note.m_Octave;
    const int64_t whole = note.m_Whole;
    const int64_t semi = note.m_Semi;
    const int64_t o = m_Octave;
    const MseqMapChord* map = m_ChordSource ? m_ChordSource->ChordMapAt(a) : nullptr;
    switch (note.m_Type) {
        case MNBT_PURE:
        case MNBT_TONE: {
            // Letters are kept within C to B by the model; anything else names no pitch.
            if (whole < 0 || whole > 6) return false;
            if (note.m_Type == MNBT_PURE) {
                *key = kNatural[whole] + 12 * oct + semi + transpose;
            } else {
                *key = kNatural[whole] + 12 * (oct + o) + semi + transpose +
                       (map ? map->m_ToneKey : 0);
            }
            return true;
        }
        case MNBT_SDEG: {
            const MseqBlockScale* scale = &m_DefaultScale;
            if (m_ChordSource) {
                if (!map) return false;
                scale = &map->m_Scale;
            }
            const int64_t n = std::min<int64_t>(scale->key_count, MseqBlockScale::kMaxKeys);
            if (n < 1) return false;
            // Floor division equals the biased truncating division for every degree the bias
            // covers, and keeps the remainder a valid degree below that.
            const int64_t g = whole + shift + 16 * n;
            const int64_t q = floor_div(g, n);
            const int64_t r = g - q * n;
            *key = scale->keys[r].m_Key + 12 * (oct + o + q - 16) + semi + transpose +
                   (map ? map->m_SDegKey : 0);
            return true;
        }
        case MNBT_CDEG: {
            const MseqBlockChord* chord = ChordFor(a);
            if (!chord) return false;
            return mply_chord_degree_key(*chord, map, whole + shift, oct + o, semi + transpose,
                                         key);
        }
        case MNBT_RHYTHM:
            *key = m_Source->m_Rhythm.m_Index & 0xFF;
            return true;
        default:
            return false;
    }
}

bool mply_chord_degree_key(const MseqBlockChord& chord, const MseqMapChord* map, int64_t degree,
                           int64_t octave, int64_t semitones, int64_t* key) {
    const int64_t n = std::min<int64_t>(chord.key_count, MseqBlockChord::kMaxKeys);
    if (n < 1) return false;
    const int64_t idx = degree + 16 * n;
    const int64_t q = floor_div(idx, n);
    const int64_t r = idx - q * n;
    if (chord.keys[r].m_Flags & 0x1) return false;
    const int64_t k = map ? map->m_CDegKey : 0;
    const int64_t span =
        (static_cast<int64_t>(chord.keys[n - 1].m_Key) - chord.keys[0].m_Key + 12) / 12;
    int64_t root_octave = 0;
    const int64_t root = MplyTrackNote::ChordRoot(chord, k, &root_octave);
    *key = root + 12 * (root_octave + (q - 16) * span + octave) + chord.keys[r].m_Key + semitones;
    return true;
}
