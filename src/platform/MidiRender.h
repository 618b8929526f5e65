#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/SynthPort.h"

// Offline rendering of a Standard MIDI File through a synthesizer port into a WAV image.
// Nothing here prints or throws.
namespace kv_synth {

inline constexpr int kRenderRate = 44100;

// One MIDI message of a file, at its time from the start of the file.
struct timed_message {
    double seconds = 0;
    std::vector<uint8_t> bytes;  // a channel message, or a complete system exclusive F0 .. F7
};

// Decodes a Standard MIDI File (format 0 or 1, ticks per quarter note) into its messages in time
// order, following the file's tempo changes; `length` receives the time of the last event (the
// end of track). Meta events other than tempo are left out. False on a malformed or unsupported
// file (time-code division, truncated chunk, a status byte F1-F6 or F8-FE, a data byte of 0x80 or
// more). Any thread.
bool decode_midi_file(std::span<const uint8_t> file, std::vector<timed_message>* out,
                      double* length);

// Renders the messages through a port that can be pulled (one without audio driver): opens it,
// starts its clock, sends each message when the rendered audio reaches its time, and goes on
// for `tail` seconds after `length` so that the last notes fade. Appends 44100 Hz interleaved
// stereo frames (full scale at 1.0, not clipped) to `samples` and closes the port. False when
// the port cannot be opened or pulled. Any thread; the port is the caller's.
bool render_messages(const std::vector<timed_message>& messages, double length, double tail,
                     synth_port& port, std::vector<float>* samples);

// The gain that brings a render's loudest sample to just below full scale when it is louder
// than that, and 1 otherwise: a dense mix at the synthesizer's gain can go over full scale,
// and scaling it keeps the sound undistorted where cutting it off at 16 bits would not. The
// stems of a render take the full render's gain, so that they still add up to it. Any thread.
float clip_free_gain(std::span<const float> samples);

// The samples times `gain` as 16-bit values, rounded to the nearest (no dither: the rounding
// errors of the stems then add up to at most half a step each). Any thread.
std::vector<int16_t> pcm16(std::span<const float> samples, float gain);

// The channels (0-15) that play a note in `messages`, ascending. Any thread.
std::vector<int> sounding_channels(const std::vector<timed_message>& messages);

// The messages one part of a stem render receives: every message of `channel` and every system
// exclusive (so that the synthesizer is reset and set up as in the full render), in order.
// Rendered alone each part sounds exactly as it does in the full render, reverb and chorus
// included, so the stems add up to the full render. Any thread.
std::vector<timed_message> channel_messages(const std::vector<timed_message>& messages,
                                            int channel);

// The bytes of a WAV file holding these interleaved 16-bit stereo frames at 44100 Hz. Any thread.
std::vector<uint8_t> wav_image(std::span<const int16_t> interleaved);

}  // namespace kv_synth
