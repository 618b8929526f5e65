#include "platform/AudioFile.h"

#include <algorithm>
#include <cstring>

#include "platform/MidiRender.h"

#ifdef KV_HAVE_SNDFILE
#include <sndfile.h>

#include "platform/SharedLibrary.h"
#endif

#ifndef KV_SNDFILE_SONAME
#define KV_SNDFILE_SONAME "libsndfile.so.1"
#endif

namespace kv_synth {

namespace {

bool ends_with_nocase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = s[s.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != tail[i]) return false;
    }
    return true;
}

#ifdef KV_HAVE_SNDFILE
// A file in memory for libsndfile's virtual I/O.
struct memory_file {
    std::vector<uint8_t> bytes;
    sf_count_t at = 0;
};

sf_count_t mem_length(void* user) {
    return static_cast<sf_count_t>(static_cast<memory_file*>(user)->bytes.size());
}

sf_count_t mem_seek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<memory_file*>(user);
    const sf_count_t size = static_cast<sf_count_t>(f->bytes.size());
    sf_count_t to = whence == SEEK_SET   ? offset
                    : whence == SEEK_CUR ? f->at + offset
                                         : size + offset;
    f->at = std::max<sf_count_t>(0, to);
    return f->at;
}

sf_count_t mem_read(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<memory_file*>(user);
    const sf_count_t size = static_cast<sf_count_t>(f->bytes.size());
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - f->at));
    if (n) std::memcpy(ptr, f->bytes.data() + f->at, static_cast<size_t>(n));
    f->at += n;
    return n;
}

sf_count_t mem_write(const void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<memory_file*>(user);
    const auto end = static_cast<size_t>(f->at + count);
    if (f->bytes.size() < end) f->bytes.resize(end);
    std::memcpy(f->bytes.data() + f->at, ptr, static_cast<size_t>(count));
    f->at += count;
    return count;
}

sf_count_t mem_tell(void* user) {
    return static_cast<memory_file*>(user)->at;
}

SF_VIRTUAL_IO memory_io() {
    return SF_VIRTUAL_IO{mem_length, mem_seek, mem_read, mem_write, mem_tell};
}

// The libsndfile functions the encoder and decoder call. The library (and the codecs it brings)
// is opened when a sound file is first made or read, not when the program starts.
namespace sndfile {
decltype(&::sf_open_virtual) open_virtual = nullptr;
decltype(&::sf_writef_short) writef_short = nullptr;
decltype(&::sf_readf_short) readf_short = nullptr;
decltype(&::sf_close) close = nullptr;
}  // namespace sndfile

// Opens libsndfile and finds its functions, once; false when any is missing. Any thread.
bool load_sndfile() {
    static kv_dl::shared_library library({KV_SNDFILE_SONAME, "libsndfile.so"});
    static const bool loaded = library.open() &&
                               library.resolve("sf_open_virtual", &sndfile::open_virtual) &&
                               library.resolve("sf_writef_short", &sndfile::writef_short) &&
                               library.resolve("sf_readf_short", &sndfile::readf_short) &&
                               library.resolve("sf_close", &sndfile::close);
    return loaded;
}
#endif

}  // namespace

bool audio_format_of(std::string_view name, audio_format* format) {
    audio_format f;
    if (ends_with_nocase(name, ".wav"))
        f = audio_format::wav;
    else if (ends_with_nocase(name, ".flac"))
        f = audio_format::flac;
    else if (ends_with_nocase(name, ".ogg"))
        f = audio_format::ogg;
    else
        return false;
    if (format) *format = f;
    return true;
}

const char* audio_extension(audio_format format) {
    switch (format) {
        case audio_format::flac:
            return ".flac";
        case audio_format::ogg:
            return ".ogg";
        case audio_format::wav:
            break;
    }
    return ".wav";
}

std::string stem_file_name(int channel, std::string_view part, audio_format format) {
    std::string name(part);
    for (char& c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    const int n = (channel & 0x0F) + 1;
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10) + " " +
           name + audio_extension(format);
}

bool audio_format_available(audio_format format) {
#ifdef KV_HAVE_SNDFILE
    return format == audio_format::wav || load_sndfile();
#else
    return format == audio_format::wav;
#endif
}

bool encode_audio(std::span<const int16_t> s, audio_format format, std::vector<uint8_t>* out) {
    if (!out) return false;
    if (format == audio_format::wav) {
        *out = wav_image(s);
        return true;
    }
#ifdef KV_HAVE_SNDFILE
    SF_INFO info{};
    info.samplerate = kRenderRate;
    info.channels = 2;
    info.format = format == audio_format::flac ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_16)
                                               : (SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    if (!load_sndfile()) return false;
    memory_file file;
    SF_VIRTUAL_IO io = memory_io();
    SNDFILE* handle = sndfile::open_virtual(&io, SFM_WRITE, &info, &file);
    if (!handle) return false;
    const auto frames = static_cast<sf_count_t>(s.size() / 2);
    const bool ok = sndfile::writef_short(handle, s.data(), frames) == frames;
    if (sndfile::close(handle) != 0 || !ok) return false;
    *out = std::move(file.bytes);
    return true;
#else
    return false;
#endif
}

bool decode_audio(std::span<const uint8_t> bytes, std::vector<int16_t>* out) {
    if (!out) return false;
#ifdef KV_HAVE_SNDFILE
    if (!load_sndfile()) return false;
    memory_file file;
    file.bytes.assign(bytes.begin(), bytes.end());
    SF_VIRTUAL_IO io = memory_io();
    SF_INFO info{};
    SNDFILE* handle = sndfile::open_virtual(&io, SFM_READ, &info, &file);
    if (!handle) return false;
    std::vector<int16_t> frames(static_cast<size_t>(info.frames) * 2);
    const bool ok = info.channels == 2 &&
                    sndfile::readf_short(handle, frames.data(), info.frames) == info.frames;
    sndfile::close(handle);
    if (!ok) return false;
    *out = std::move(frames);
    return true;
#else
    // Without libsndfile only our own WAV layout is read: a 44-byte header, then the frames.
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
    out->assign((bytes.size() - 44) / 2, 0);
    std::memcpy(out->data(), bytes.data() + 44, out->size() * 2);
    return true;
#endif
}

}  // namespace kv_synth
