#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Sound files of a render: 16-bit stereo at 44100 Hz as WAV, FLAC or Ogg Vorbis. WAV needs
// nothing; FLAC and Ogg are encoded by libsndfile when the program was built with it. Nothing
// here prints or throws.
namespace kv_synth {

enum class audio_format { wav, flac, ogg };

// The format a file name asks for by its extension (.wav, .flac, .ogg, any case); false for
// any other name. Any thread.
bool audio_format_of(std::string_view file_name, audio_format* format);

// The extension of `format`'s files with its dot (".wav", ".flac", ".ogg"). Any thread.
const char* audio_extension(audio_format format);

// The file name of one part's stem: its channel (0-15, written as two digits counted from 1),
// a space, the part's UTF-8 name with what a file name cannot hold replaced by '_', and the
// format's extension ("03 Piano.flac"). Any thread.
std::string stem_file_name(int channel, std::string_view part, audio_format format);

// True when files of `format` can be written here: WAV always, FLAC and Ogg when the program
// was built with libsndfile and finds it where it runs. Any thread.
bool audio_format_available(audio_format format);

// The bytes of a file of `format` holding these interleaved stereo frames at 44100 Hz. False,
// `out` untouched, when the format is not available or the encoder fails. Any thread.
bool encode_audio(std::span<const int16_t> interleaved, audio_format format,
                  std::vector<uint8_t>* out);

// Decodes a sound file made by encode_audio (any of the formats, when available) back into
// interleaved stereo frames. False on anything else. Any thread.
bool decode_audio(std::span<const uint8_t> file, std::vector<int16_t>* interleaved);

}  // namespace kv_synth
