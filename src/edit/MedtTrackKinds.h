#pragma once

#include <cstdint>

#include "edit/MedtPropertyRow.h"
#include "edit/MedtTrack.h"

// The editor tracks of each track family. Each declares the table of its family's property rows
// (MedtPropertyRow: numbers, styles, texts, ranges, and how each value is read, chosen and set);
// MedtTrack lists, reads and sets them from the table. User-interface thread only.

// The top of a music's or phrase's tree: title, copyright, maps, tempo, transposition, blank
// bars (music); test tempo and test sound (phrase).
class MedtTrackRoot final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

// Header and part: the common rows only.
class MedtTrackHeader final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
};
class MedtTrackDetail final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
};

// A free text; the text itself is row MROW_TEXT (edited in the text view, not listed).
class MedtTrackText final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

// A group: the channel rows and the chord track of its members.
class MedtTrackGroup final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

// Note tracks.
class MedtTrackNote final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    // The name followed by the channel the track plays on (" [奏者N]", its group's inside a
    // group) while the music's view shows track information (MSHOW_TRACK_INFO); the name alone
    // otherwise, inside a phrase (the phrase's user picks the channel) and without a channel.
    CkvString display_name() const override;
    MedtPropertyTable property_rows() const override;
};

// Phrase tracks (phrase references).
class MedtTrackRefer final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    int drop_marker(int32_t position, const CkvString& name, bool all) override;
    MedtPropertyTable property_rows() const override;
};

// Message tracks.
class MedtTrackMsg final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

// The plain block sequences: chord (with its chord map), label (lyric, marker, memo), value
// (tempo) and link (transposition) tracks.
class MedtTrackChord final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

class MedtTrackLabel final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

class MedtTrackValue final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    MedtPropertyTable property_rows() const override;
};

class MedtTrackLink final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    // "%s(ID:%xh)": the linked leaf's name and identifier; empty without a block there.
    CkvString item_text(int32_t position) const override;
    MedtPropertyTable property_rows() const override;
};

// The channel the per-channel rows of `track` show: its group's inside a group, its own
// otherwise; -1 without a stored track.
int32_t medt_shown_channel(const MedtTrack& track);

// The beats table in choice order.
inline constexpr int32_t kMedtBeatChoices[16] = {1, 2,  4,  8,  16, 32, 64, 3,
                                                 6, 12, 24, 48, 5,  10, 15, 20};
