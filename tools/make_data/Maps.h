#pragma once

// Chord maps, stage maps and the scale map of the data.
#include <cstdint>
#include <string_view>
#include <vector>

#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"

namespace kv_data {

// A major key on `key` (semitones above C): the Ionian scale, a palette of triads on every
// degree in the middle octave and the reset state's low chords.
void major_key(MseqMapChord& map, std::string_view name, int32_t key);

// The chord of palette slot `12 + degree` (the middle octave) as a chord track places it: a
// copy of the palette chord that refers to its slot, so that it follows the map in effect.
MseqBlockChord palette_chord(const MseqMapChord& map, int32_t degree);

// A chord of its own on a chord track: chord type `type` (0 to 20 of the chord table) on the
// root `root` semitones above the key in effect.
MseqBlockChord own_chord(int32_t type, int32_t root);

// The setting of one channel of a stage map.
struct ChannelSetup {
    int32_t channel;
    uint32_t program;  // a program, or the drum kit on the drum channel
    int32_t volume;
    int32_t pan;
    int32_t reverb;
    int32_t chorus;
    bool used = true;
};

// A General MIDI set-up: GM System On first, then the listed channels. A used channel sends
// a controller reset, program, volume, pan, reverb and chorus when a music starts.
void general_midi_stage(MseqMapStage& map, std::string_view name,
                        const std::vector<ChannelSetup>& channels);

// The band of the new-music templates: melody, keyboard, bass, guitar and drums in use, the
// other channels prepared with useful instruments.
void template_band_stage(MseqMapStage& map, std::string_view name);

// The extra scales offered beside the presets.
void fill_scale_map(MseqMapScale& scales);

}  // namespace kv_data
