#pragma once

#include <cstdint>

#include "model/core/MseqId.h"
#include "model/core/MseqType.h"
#include "model/core/dir_unit.h"
#include "model/core/ref_ptr.h"
#include "play/engine/MplyContext.h"

class MplyMusic;
class MplyTrackChord;
class MseqTrack;

// Class type codes of the player tracks. Every player track answers its own code and the code
// of the plain track.
enum : MSEQ_TYPE {
    MPLY_TRACK = 0x31000,  // plain tracks and groups
    MPLY_TRACK_REFER = 0x31081,
    MPLY_TRACK_NOTE = 0x31082,
    MPLY_TRACK_CHORD = 0x31041,
    MPLY_TRACK_CHORD_MAP = 0x31300,
    MPLY_TRACK_LABEL = 0x31180,
    MPLY_TRACK_MSG = 0x31252,
    MPLY_TRACK_TEMPO = 0x31251,
};

// One track of a player music, made from one stored track by its create-player-track operation.
// The player tracks form a tree that mirrors the stored track tree; the tree owns its nodes.
// Every track follows one protocol: Prepare once per run (or per referenced block), then
// Generate for each window until it reports that its blocks are exhausted. The plain track
// (root, header, part, text, link and value tracks) produces nothing. The engine's thread only.
class MplyTrack : public dir_unit<MplyTrack> {
public:
    // A plain track of the player music `music`.
    explicit MplyTrack(MplyMusic* music) : m_Music(music) {}
    ~MplyTrack() override = default;

    MplyTrack* self() override { return this; }
    // The stored track it plays, or nullptr (plain tracks and groups).
    virtual MseqTrack* GetSource() const { return nullptr; }
    // The class type code.
    virtual MSEQ_TYPE GetType() const { return MPLY_TRACK; }
    // True for the class's own code and for the plain track's code.
    virtual bool IsKindOf(MSEQ_TYPE code) const { return code == MPLY_TRACK || code == GetType(); }
    // Gets ready to generate from the context's seek position; true when the track will
    // generate events. The plain track answers false.
    virtual bool Prepare(MplyContext& context);
    // Inserts the events of its blocks that start before the context's window end; true when
    // it stopped at the window end with blocks left, false when its blocks are exhausted.
    virtual bool Generate(MplyContext& context);

    MplyMusic* music() const { return m_Music; }
    int32_t channel() const { return m_Channel; }
    int32_t unit() const { return m_Unit; }

protected:
    // The channel (and, when `chord` is given, the chord track) of a note or message track:
    // taken from the context inside a phrase (the phrase reference's), from the stored tree
    // otherwise (a group's for its members, the track's own settings for the others). False
    // when the track must stay silent: its channel lies outside 0-15 or its stage part is not
    // in use.
    bool ChooseChannel(const MplyContext& context, const MseqTrack& source, MplyTrackChord** chord);

    MplyMusic* m_Music;     // the player music holding this track
    int32_t m_Channel = 0;  // the low byte is the channel of the events
    int32_t m_Unit = 0;     // ticks per grid step
};

// The chord track registered under `id` in the music's track map, or nullptr when there is none
// or it is another kind of track.
MplyTrackChord* mply_chord_track(const MplyMusic* music, MSEQ_ID id);

// v × factor / 30720, truncated toward zero: a time or length scaled by a stretch factor. The
// inputs are block times (well within 45 bits) and 32-bit factors, so the result fits.
int64_t mply_stretch(int64_t v, int64_t factor);

// Ceiling percentage: x / d truncated toward zero, plus 1 when x is not a multiple of d.
int64_t mply_ceil_percent(int64_t x, int64_t d);

// v kept within 32-bit ticks.
int32_t mply_clamp32(int64_t v);
