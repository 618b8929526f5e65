#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "play/engine/MplyOutput.h"
#include "play/export/MplyExportParts.h"
#include "play/export/MplySmfWriter.h"

class MplyEntity;
class MplyPlayer;

// How an exported file is laid out and how its texts are spelt.
struct MplyExportFormat {
    // 0: one track holding everything. 1: a conductor track (tempo, time and key signature,
    // title, copyright, markers, lyrics, system exclusives) and one track per channel that
    // plays, named after its part; merged by time they hold exactly the events of format 0.
    int smf_format = 0;
    // Texts (title, copyright, markers, lyrics, track names) converted from the music's CP932
    // bytes to UTF-8, for importers that read nothing else.
    bool utf8_text = false;
};

// The Standard MIDI File exporter: an offline output that turns every event it receives into a
// track event (480 ticks a quarter note), timed by the event's tick. Its note counter writes a
// second note-on of a sounding key as a note-off followed by the note-on, and writes only the
// note-off that ends the last of the overlapping notes. One thread at a time: the thread running
// the export.
class MplyExport final : public MplyOutput {
public:
    // The layout and texts of the files built from the next run; format 0 in CP932 by default.
    // Set between runs. Never fails.
    void SetFormat(const MplyExportFormat& format) { m_Format = format; }
    const MplyExportFormat& Format() const { return m_Format; }
    // Part names and key signature used by format 1. Set between runs. Never fails.
    void SetParts(const MplyExportParts& parts) { m_Parts = parts; }

    bool IsOffline() const override { return true; }
    // Empties the track data (last tick 0) and the counters. Always 1.
    int Open() override;
    // Writes the end of track (delta 0, FF 2F 00). Always 1.
    int Stop() override;

    // FF 51 03 and the microseconds of a quarter note; 0 (nothing written) for tempo 0.
    int SendTempo(const MplyEventTempo& event) override;
    // 0 (nothing written) when 255 notes of the key already sound on the channel.
    int SendNoteOn(const MplyEventNoteOn& event) override;
    // 0 when no note of the key sounds; written only when it ends the last one.
    int SendNoteOff(const MplyEventNoteOff& event) override;
    int SendControl(const MplyEventControl& event) override;
    // Written at the last tick written (no event carries a pair). Always 1.
    int SendControlPair(int channel, int high_controller, int low_controller, int value) override;
    int SendExclusive(const MplyEventExclusive& event) override;
    // The text bytes unchanged; 1 also when an empty text writes nothing.
    int SendText(const MplyEventString& event) override;
    // Channel messages A0..EF of the right length, or a system exclusive of more than 3 bytes;
    // 0 for anything else (note messages included).
    int SendRawMessage(const MplyEventMsg& event) override;

    // Moves the collected track into a complete file image; false, `file` untouched, when
    // nothing was collected. The exporter is empty afterwards.
    bool BuildFile(std::vector<uint8_t>* file);

    // Events of the last run written at the current position because they were due before
    // the last tick written (a negative lag).
    size_t LateEvents() const;

private:
    // The track an event of `channel` goes to: the only one in format 0, the channel's own in
    // format 1 (named when first used).
    MplySmfWriter& Part(int channel);
    // The latest tick any track has reached.
    int32_t LastTick() const;
    // The text as the file spells it.
    std::string Spelled(std::string_view text) const;

    MplyExportFormat m_Format;
    MplyExportParts m_Parts;
    MplySmfWriter m_Writer;  // format 0: the run as one track; format 1: the conductor track
    std::array<MplySmfWriter, kChannels> m_Channels;  // format 1: one track per channel
};

// How an export ended; the codes name the steps that can fail.
enum class MplyExportResult {
    ok,
    not_started,   // the player would not start (already running, or the music failed)
    timed_out,     // the run was still going after the start returned
    empty,         // nothing to build a file from
    write_failed,  // the file could not be written; an old file of that name is untouched
};

// Exports `music` (taken on success, as MplyPlayer::Start does) through `player` and
// `exporter` from tick 0 into the file image `file`, in the exporter's format (for format 1 the
// parts are described from the music first); with a non-empty `windows_path` the image is also
// written there, crash-safe. The owner's thread, while no run is active.
MplyExportResult MplyExportMusic(MplyPlayer& player, MplyExport& exporter,
                                 std::unique_ptr<MplyEntity>& music, std::string_view windows_path,
                                 std::vector<uint8_t>* file);
