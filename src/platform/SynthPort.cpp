#include "platform/SynthPort.h"

#include <unistd.h>

#include <utility>

namespace kv_synth {

const std::vector<std::string>& soundfont_search_path() {
    // The Debian GM sound fonts: the alternative that the packages maintain first, then the
    // large FluidR3 set, then the small TimGM6mb set, then the folders other packagers use.
    static const std::vector<std::string> paths = {
        "/usr/share/sounds/sf2/default-GM.sf2",        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",          "/usr/share/soundfonts/default.sf2",
        "/usr/share/soundfonts/FluidR3_GM.sf2",        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf3/MuseScore_General.sf3",
    };
    return paths;
}

std::string find_soundfont() {
    for (const std::string& p : soundfont_search_path()) {
        if (::access(p.c_str(), R_OK) == 0) return p;
    }
    return {};
}

port_id port_id_of(const std::string& name) {
    // Four FNV-1a hashes with different offsets: the same name gives the same identifier on
    // every machine and in every run.
    static const uint32_t offsets[4] = {2166136261u, 0x9E3779B9u, 0x85EBCA6Bu, 0xC2B2AE35u};
    port_id id{};
    for (int w = 0; w < 4; ++w) {
        uint32_t h = offsets[w];
        for (unsigned char c : name) {
            h ^= c;
            h *= 16777619u;
        }
        id[static_cast<size_t>(w)] = h;
    }
    if (id == port_id{}) id[0] = 1;
    return id;
}

synth_port_recorder::synth_port_recorder() {
    for (const char* n : {"Recording Synth A", "Recording Synth B"})
        ports_.push_back({port_id_of(n), n});
}

void synth_port_recorder::add(record r) {
    r.when = std::chrono::steady_clock::now();
    log_.push_back(std::move(r));
}

std::vector<port_info> synth_port_recorder::ports() {
    std::lock_guard<std::mutex> g(lock_);
    return ports_;
}

bool synth_port_recorder::open(const port_id& id) {
    std::lock_guard<std::mutex> g(lock_);
    if (open_ || fail_open_ || ports_.empty()) return false;
    const port_info* found = nullptr;
    for (const port_info& p : ports_) {
        if (p.id == id || (id == port_id{} && !found)) found = &p;
        if (p.id == id) break;
    }
    if (!found) return false;
    open_ = true;
    open_id_ = found->id;
    add({kind::open, 0, {}, found->id, {}});
    return true;
}

bool synth_port_recorder::is_open() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_;
}

port_id synth_port_recorder::open_port() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ ? open_id_ : port_id{};
}

bool synth_port_recorder::start_clock() {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_) return false;
    clock_ = true;
    add({kind::start_clock, 0, {}, {}, {}});
    return true;
}

bool synth_port_recorder::clock_running() const {
    std::lock_guard<std::mutex> g(lock_);
    return open_ && clock_;
}

bool synth_port_recorder::music_time(int64_t* now) {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_ || !clock_ || fail_clock_) return false;
    if (now) *now = now_;
    return true;
}

bool synth_port_recorder::send(int64_t at, const uint8_t* message, size_t size) {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_ || fail_send_ || !message || size == 0) return false;
    add({kind::send, at, std::vector<uint8_t>(message, message + size), {}, {}});
    return true;
}

bool synth_port_recorder::load_instrument(uint8_t program) {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_) return false;
    add({kind::load, 0, {program}, {}, {}});
    return true;
}

bool synth_port_recorder::unload_instrument(uint8_t program) {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_) return false;
    add({kind::unload, 0, {program}, {}, {}});
    return true;
}

bool synth_port_recorder::render(float*, size_t) {
    return false;
}

void synth_port_recorder::close() {
    std::lock_guard<std::mutex> g(lock_);
    if (!open_) return;
    open_ = false;
    clock_ = false;
    add({kind::close, 0, {}, {}, {}});
}

void synth_port_recorder::set_time(int64_t now) {
    std::lock_guard<std::mutex> g(lock_);
    now_ = now;
}

void synth_port_recorder::fail_open(bool on) {
    std::lock_guard<std::mutex> g(lock_);
    fail_open_ = on;
}

void synth_port_recorder::fail_clock(bool on) {
    std::lock_guard<std::mutex> g(lock_);
    fail_clock_ = on;
}

void synth_port_recorder::fail_send(bool on) {
    std::lock_guard<std::mutex> g(lock_);
    fail_send_ = on;
}

std::vector<synth_port_recorder::record> synth_port_recorder::log() const {
    std::lock_guard<std::mutex> g(lock_);
    return log_;
}

void synth_port_recorder::clear_log() {
    std::lock_guard<std::mutex> g(lock_);
    log_.clear();
}

}  // namespace kv_synth
