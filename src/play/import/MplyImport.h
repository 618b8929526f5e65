#pragma once

#include <cstdint>

#include "play/import/MplySmfReader.h"

class MseqMapStage;
class MseqMusic;

// What an import carried and what it had to change, for the report the user reads. Every
// count is of things in the file; nothing here is an error.
struct MplyImportReport {
    uint32_t parts = 0;             // (file track, channel) pairs with notes: one group each
    uint32_t note_tracks = 0;       // note tracks made (voices and drum sounds)
    uint32_t notes = 0;             // notes carried
    uint32_t notes_with_lags = 0;   // notes off their track's grid, carried by their own lags
    uint32_t notes_scaled = 0;      // notes whose ticks did not scale evenly to 480 a quarter
    uint32_t notes_lengthened = 0;  // notes of no length, given one tick
    uint32_t hanging_notes = 0;     // notes never switched off, ended at their track's end
    uint32_t stray_offs = 0;        // note-offs of keys not sounding, ignored
    uint32_t tempo_changes = 0;     // tempo blocks written (the first tempo is the music's)
    uint32_t tempo_rounded = 0;     // tempi that were not whole beats a minute
    uint32_t tempo_clamped = 0;     // tempi outside 4-1024 beats a minute
    uint32_t tempo_moved = 0;       // tempo changes off every grid, moved to the nearest 64th
    uint32_t labels = 0;            // marker, lyric and memo blocks written
    uint32_t labels_moved = 0;      // texts moved to the nearest 64th
    uint32_t labels_joined = 0;     // texts that met another at one position and were joined
    uint32_t chars_replaced = 0;    // characters of UTF-8 texts that CP932 cannot hold
    uint32_t messages = 0;          // message blocks (later programs, controllers, bends)
    uint32_t messages_moved = 0;    // message blocks moved to the nearest 64th
    uint32_t messages_merged = 0;   // messages that met another of their kind at one position
    uint32_t signatures = 0;        // time and key signatures kept on the memo track
    uint32_t dropped =
        0;  // events no track can hold (key pressure, exclusives, metas, channels without notes)
    MplySmfRepairs repairs;  // what the reader mended
};

// Why a conversion was refused.
enum class MplyImportFault : uint8_t {
    none,
    too_many_tracks,  // the music would need more tracks than it can hold
    not_empty,        // the music already has tracks below its header or part
};

// Turns the file into the tracks of `music` (a fresh music) and the channel set-up of
// `stage`: the tempo, marker, lyric and memo tracks in the header, and in the part one group a
// (file track, channel) holding its voices as note tracks (drums as rhythm tracks, one a drum
// sound) and its later program and controller changes as message tracks. Every note sounds at
// its own tick, scaled to 480 a quarter, and for its own length. The stage map gets the
// programs, banks and controllers in force at each channel's first note. The music's tempo,
// title and copyright come from the file. `tracks_needed` receives the number of tracks the
// music needs (also when refused). False with the reason in `fault`, `music` and `stage` then
// unchanged. User-interface thread (it builds model objects).
bool mply_import_music(const MplySmfFile& file, MseqMusic& music, MseqMapStage& stage,
                       MplyImportReport* report, MplyImportFault* fault, uint32_t* tracks_needed);

// The music's tick (480 a quarter) of a file tick, to the nearest, halves up. Any thread.
int64_t mply_import_tick(uint64_t tick, uint16_t division);
