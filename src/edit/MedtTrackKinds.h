#pragma once

#include <cstdint>
#include <vector>

#include "edit/MedtTrack.h"

class MseqMusic;

// The editor tracks of each track family. Each adds its family's rows to the property list, with
// their texts, choices and set rules. User-interface thread only.

// The top of a music's or phrase's tree: title, copyright, maps, tempo, transposition, blank
// bars (music); test tempo and test sound (phrase).
class MedtTrackRoot final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    void build_properties(std::vector<MedtProperty>& out) const override;
    // The title (16) and copyright (17) of a music.
    bool property_is_text(int32_t number) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
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

// A free text; the text itself is property 6 (edited in the text view, not listed).
class MedtTrackText final : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    bool property_is_text(int32_t number) const override { return number == 1 || number == 6; }
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

// The families with per-channel rows (10-13) share their handling.
class MedtTrackChannel : public MedtTrack {
public:
    using MedtTrack::MedtTrack;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;

protected:
    // True when the track shows rows 10-13 (not inside a phrase).
    bool has_channel_rows() const;
    void add_channel_rows(std::vector<MedtProperty>& out) const;
};

// A group: the channel rows and the chord track of its members.
class MedtTrackGroup final : public MedtTrackChannel {
public:
    using MedtTrackChannel::MedtTrackChannel;
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

// Rows 4 (block count) and 5 (beats) of the block sequences, with the family's texts.
struct MedtSequenceTexts {
    const char* count_name;
    const char* count_help;
    const char* beats_help;
};

// Note tracks.
class MedtTrackNote final : public MedtTrackChannel {
public:
    using MedtTrackChannel::MedtTrackChannel;
    // The name followed by the channel the track plays on (" [奏者N]", its group's inside a
    // group) while the music's view shows track information (MSHOW_TRACK_INFO); the name alone
    // otherwise, inside a phrase (the phrase's user picks the channel) and without a channel.
    CkvString display_name() const override;
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

// Phrase tracks (phrase references).
class MedtTrackRefer final : public MedtTrackChannel {
public:
    using MedtTrackChannel::MedtTrackChannel;
    int drop_marker(int32_t position, const CkvString& name, bool all) override;
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

// Message tracks.
class MedtTrackMsg final : public MedtTrackChannel {
public:
    using MedtTrackChannel::MedtTrackChannel;
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

// The plain block sequences: chord, label (lyric, marker, memo), value (tempo) and link
// (transposition) tracks. Chord tracks add their chord map (16).
class MedtTrackSequence : public MedtTrack {
public:
    MedtTrackSequence(MedtMusic* editor, MseqObject* node, const MedtSequenceTexts& texts)
        : MedtTrack(editor, node), texts_(texts) {}
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                        CkvString* text) const override;

private:
    MedtSequenceTexts texts_;
};

class MedtTrackChord final : public MedtTrackSequence {
public:
    MedtTrackChord(MedtMusic* editor, MseqObject* node);
    void build_properties(std::vector<MedtProperty>& out) const override;
    CkvString property_text(int32_t number, uint32_t* style) const override;
    bool set_property(int32_t number, const MseqBlockWord& value) override;
};

class MedtTrackLabel final : public MedtTrackSequence {
public:
    MedtTrackLabel(MedtMusic* editor, MseqObject* node);
};

class MedtTrackValue final : public MedtTrackSequence {
public:
    MedtTrackValue(MedtMusic* editor, MseqObject* node);
};

class MedtTrackLink final : public MedtTrackSequence {
public:
    MedtTrackLink(MedtMusic* editor, MseqObject* node);
    // "%s(ID:%xh)": the linked leaf's name and identifier; empty without a block there.
    CkvString item_text(int32_t position) const override;
};

// The beats table in choice order.
inline constexpr int32_t kMedtBeatChoices[16] = {1, 2,  4,  8,  16, 32, 64, 3,
                                                 6, 12, 24, 48, 5,  10, 15, 20};
