#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "play/engine/MplyOutput.h"

// One note as the MIDI file of the same run holds it: from its note-on to the note-off that
// ends it. A second note-on of a sounding key ends the earlier note there, as the exporter
// writes it.
struct MplyScoreNote {
    int32_t on = 0;
    int32_t off = 0;
    uint8_t channel = 0;
    uint8_t key = 0;
    uint8_t velocity = 0;
};

// A text of the run (lyric, marker, title, copyright) at its tick, in the music's CP932.
struct MplyScoreText {
    int32_t tick = 0;
    uint8_t type = 0;  // MPLY_TEXT_*
    std::string text;
};

struct MplyScoreTempo {
    int32_t tick = 0;
    int32_t bpm = 0;
};

// Where a channel starts: the program, volume and pan its set-up sent at tick 0 (-1 for what
// was not sent).
struct MplyScoreChannel {
    int program = -1;
    int volume = -1;
    int pan = -1;
};

// A chord of the chord track, from its tick on: root and bass as pitch classes (bass -1 when it
// is the root) and the kind as MusicXML names it ("major", "minor-seventh", ...).
struct MplyScoreHarmony {
    int32_t tick = 0;
    int root = 0;
    int bass = -1;
    std::string kind;
};

// Everything a run played, as a score needs it.
struct MplyScoreEvents {
    std::vector<MplyScoreNote> notes;  // in the order of their note-ons
    std::vector<MplyScoreText> texts;
    std::vector<MplyScoreTempo> tempos;
    std::array<MplyScoreChannel, MplyOutput::kChannels> channels;
    // Where the key of the chord map in effect changes, at bar starts: tick and the key's
    // sharps (positive) or flats (negative). Filled by the score export after the run (the
    // capture itself leaves it empty); empty without a chord track.
    std::vector<std::pair<int32_t, int>> keys;
    // The chords of the music's first chord track where they change; filled, like `keys`, by
    // the score export.
    std::vector<MplyScoreHarmony> harmonies;
    int32_t end = 0;  // the tick of the last event
};

// An offline output that keeps what a run plays for a score (the MusicXML export): the same
// events the MIDI file exporter receives, with its note counting, so that the score and the file
// of one music hold the same notes. One thread at a time: the thread running the export.
class MplyScoreCapture final : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
    // Forgets the previous run. Always 1.
    int Open() override;
    // Ends notes still sounding at the last tick. Always 1.
    int Stop() override;
    int SendTempo(const MplyEventTempo& event) override;
    // 0 when 255 notes of the key already sound on the channel (as the exporter).
    int SendNoteOn(const MplyEventNoteOn& event) override;
    // 0 when no note of the key sounds.
    int SendNoteOff(const MplyEventNoteOff& event) override;
    int SendControl(const MplyEventControl& event) override;
    int SendText(const MplyEventString& event) override;
    // Keeps program changes; 1 for every message the exporter writes, 0 for the others.
    int SendRawMessage(const MplyEventMsg& event) override;

    // What the last run played. Never fails.
    const MplyScoreEvents& Events() const { return m_Events; }

private:
    void Reach(int32_t tick);
    void EndNote(int channel, int key, int32_t tick);

    MplyScoreEvents m_Events;
    // Index into m_Events.notes of the note sounding per channel and key, or -1.
    std::array<int32_t, kChannels * kKeys> m_Sounding{};
};
