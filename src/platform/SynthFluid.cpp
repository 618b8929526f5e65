// The software synthesizer port on FluidSynth, or a port list that stays empty when the program
// was built without it or the library is missing where it runs.
#include "platform/SynthPort.h"

#include <unistd.h>

#include <map>
#include <mutex>

#ifdef KV_HAVE_FLUIDSYNTH
#include <fluidsynth.h>

#include <algorithm>
#include <thread>

#include "platform/SharedLibrary.h"
#endif

#ifndef KV_FLUIDSYNTH_SONAME
#define KV_FLUIDSYNTH_SONAME "libfluidsynth.so.3"
#endif

namespace kv_synth {

namespace {

class synth_port_none final : public synth_port {
public:
    std::vector<port_info> ports() override { return {}; }
    bool open(const port_id&) override { return false; }
    bool is_open() const override { return false; }
    port_id open_port() const override { return {}; }
    bool start_clock() override { return false; }
    bool clock_running() const override { return false; }
    bool music_time(int64_t*) override { return false; }
    bool send(int64_t, const uint8_t*, size_t) override { return false; }
    bool load_instrument(uint8_t) override { return false; }
    bool unload_instrument(uint8_t) override { return false; }
    bool render(float*, size_t) override { return false; }
    void close() override {}
};

}  // namespace

#ifndef KV_HAVE_FLUIDSYNTH

bool synth_available() {
    return false;
}

std::unique_ptr<synth_port> make_fluidsynth_port(const std::string&, bool) {
    return std::make_unique<synth_port_none>();
}

#else

namespace {

// Every FluidSynth function the port calls. The library is opened when a synthesizer is first
// asked for, so that the commands that never sound a note start without it.
#define KV_FLUID_FUNCTIONS(X)               \
    X(new_fluid_settings);                  \
    X(delete_fluid_settings);               \
    X(fluid_settings_setint);               \
    X(fluid_settings_setnum);               \
    X(fluid_settings_setstr);               \
    X(fluid_settings_getstr_default);       \
    X(fluid_settings_foreach_option);       \
    X(fluid_set_log_function);              \
    X(new_fluid_synth);                     \
    X(delete_fluid_synth);                  \
    X(fluid_synth_sfload);                  \
    X(fluid_synth_get_sfont_by_id);         \
    X(fluid_sfont_get_preset);              \
    X(fluid_synth_write_float);             \
    X(fluid_synth_sysex);                   \
    X(fluid_synth_noteoff);                 \
    X(fluid_synth_noteon);                  \
    X(fluid_synth_key_pressure);            \
    X(fluid_synth_cc);                      \
    X(fluid_synth_program_change);          \
    X(fluid_synth_channel_pressure);        \
    X(fluid_synth_pitch_bend);              \
    X(new_fluid_audio_driver);              \
    X(delete_fluid_audio_driver);           \
    X(new_fluid_sequencer2);                \
    X(delete_fluid_sequencer);              \
    X(fluid_sequencer_set_time_scale);      \
    X(fluid_sequencer_register_fluidsynth); \
    X(fluid_sequencer_register_client);     \
    X(fluid_sequencer_get_tick);            \
    X(fluid_sequencer_send_at);             \
    X(new_fluid_event);                     \
    X(delete_fluid_event);                  \
    X(fluid_event_set_source);              \
    X(fluid_event_set_dest);                \
    X(fluid_event_timer);

// The functions as the open library has them, each typed as its header declares it.
namespace fl {
#define KV_FLUID_POINTER(name) decltype(&::name) name = nullptr
KV_FLUID_FUNCTIONS(KV_FLUID_POINTER)
#undef KV_FLUID_POINTER
}  // namespace fl

// Opens FluidSynth and finds every function, once; false when the library or one of them is
// missing. Any thread.
bool load_fluidsynth() {
    static kv_dl::shared_library library({KV_FLUIDSYNTH_SONAME, "libfluidsynth.so"});
    static const bool loaded = [] {
        if (!library.open()) return false;
        bool all = true;
#define KV_FLUID_RESOLVE(name) all = library.resolve(#name, &fl::name) && all
        KV_FLUID_FUNCTIONS(KV_FLUID_RESOLVE)
#undef KV_FLUID_RESOLVE
        return all;
    }();
    return loaded;
}
#undef KV_FLUID_FUNCTIONS

// The threads a render's synthesizer uses: one a core, up to four (beyond that the voices of
// a song are too few to share).
int render_cores() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// FluidSynth logs to the terminal by default; the library stays quiet and reports through its
// results instead.
void quiet_fluidsynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fl::fluid_set_log_function(level, nullptr, nullptr);
    });
}

constexpr const char* kOfflineName = "FluidSynth (offline)";
constexpr const char* kJackClientName = "korvante-synth";

class fluid_port final : public synth_port {
public:
    fluid_port(std::string soundfont, bool offline)
        : soundfont_(soundfont.empty() ? find_soundfont() : std::move(soundfont)),
          offline_(offline) {
        quiet_fluidsynth();
    }
    ~fluid_port() override { close(); }

    std::vector<port_info> ports() override {
        std::vector<port_info> out;
        if (!have_soundfont()) return out;
        if (offline_) {
            out.push_back({port_id_of(kOfflineName), kOfflineName});
            return out;
        }
        for (const std::string& driver : drivers())
            out.push_back({port_id_of(port_name(driver)), port_name(driver)});
        return out;
    }

    bool open(const port_id& id) override {
        if (synth_) return false;
        // The first port stands for the all-zero identifier, as the default port does.
        std::string driver;
        port_id chosen{};
        bool found = false;
        if (have_soundfont() && offline_) {
            chosen = port_id_of(kOfflineName);
            found = id == port_id{} || id == chosen;
        } else if (have_soundfont()) {
            for (const std::string& d : drivers()) {
                const port_id pid = port_id_of(port_name(d));
                if (pid == id || (id == port_id{} && !found)) {
                    chosen = pid;
                    driver = d;
                    found = true;
                }
                if (pid == id) break;
            }
        }
        if (!found) return false;
        settings_ = fl::new_fluid_settings();
        if (!settings_) return fail();
        fl::fluid_settings_setnum(settings_, "synth.sample-rate", 44100.0);
        fl::fluid_settings_setint(settings_, "synth.lock-memory", 0);
        // A render waits for nothing: its voices are shared out over the processor's cores.
        // FluidSynth sums them in double precision, where the grouping moves a sum by far less
        // than the single-precision samples it hands out can show (the demo song renders the
        // same bytes as on one core).
        if (offline_) fl::fluid_settings_setint(settings_, "synth.cpu-cores", render_cores());
        // FluidSynth's default gain leaves a single GM instrument near silence.
        fl::fluid_settings_setnum(settings_, "synth.gain", 0.8);
        if (!driver.empty()) fl::fluid_settings_setstr(settings_, "audio.driver", driver.c_str());
        if (driver == "jack") {
            // A client of its own beside our MIDI client, its outputs connected to the
            // server's playback ports, so that it is heard without a patch bay.
            fl::fluid_settings_setstr(settings_, "audio.jack.id", kJackClientName);
            fl::fluid_settings_setint(settings_, "audio.jack.autoconnect", 1);
        }
        synth_ = fl::new_fluid_synth(settings_);
        if (!synth_) return fail();
        sfont_ = fl::fluid_synth_sfload(synth_, soundfont_.c_str(), 1);
        if (sfont_ == FLUID_FAILED) return fail();
        seq_ = fl::new_fluid_sequencer2(0);
        if (!seq_) return fail();
        // One clock unit is a 768th of a quarter note at 120 beats a minute.
        fl::fluid_sequencer_set_time_scale(seq_, static_cast<double>(kClockPerSecond));
        synth_dest_ = fl::fluid_sequencer_register_fluidsynth(seq_, synth_);
        timer_client_ = fl::fluid_sequencer_register_client(seq_, "queue", on_timer, this);
        event_ = fl::new_fluid_event();
        if (synth_dest_ < 0 || timer_client_ < 0 || !event_) return fail();
        if (!driver.empty()) {
            driver_ = fl::new_fluid_audio_driver(settings_, synth_);
            if (!driver_) return fail();
        }
        open_id_ = chosen;
        return true;
    }

    bool is_open() const override { return synth_ != nullptr; }
    port_id open_port() const override { return synth_ ? open_id_ : port_id{}; }

    bool start_clock() override {
        if (!synth_) return false;
        clock_base_ = fl::fluid_sequencer_get_tick(seq_);
        clock_ = true;
        return true;
    }

    bool clock_running() const override { return synth_ && clock_; }

    bool music_time(int64_t* now) override {
        if (!synth_ || !clock_) return false;
        // The sequencer's tick is unsigned and wraps; the distance from the base does not.
        const uint32_t t = fl::fluid_sequencer_get_tick(seq_) - clock_base_;
        if (now) *now = t;
        return true;
    }

    bool send(int64_t at, const uint8_t* m, size_t size) override {
        if (!synth_ || !clock_ || !m || size == 0 || !well_formed(m, size)) return false;
        int64_t now = 0;
        music_time(&now);
        if (at < now) at = now;
        // Every message waits in one queue ordered by time and then by arrival, and a timer
        // of our own applies what is due. FluidSynth's sequencer orders events of one instant
        // by their kind (program changes before timers), which would let a GM reset sent
        // first at tick 0 arrive after the stage set-up and wipe it.
        {
            std::lock_guard<std::mutex> g(pending_lock_);
            pending_.emplace(at, std::vector<uint8_t>(m, m + size));
        }
        fl::fluid_event_set_source(event_, -1);
        fl::fluid_event_set_dest(event_, timer_client_);
        fl::fluid_event_timer(event_, nullptr);
        return schedule(at);
    }

    bool load_instrument(uint8_t program) override {
        if (!synth_) return false;
        // The whole sound font is in memory once loaded; an instrument is ready when the font
        // has it in the melodic bank.
        fluid_sfont_t* font = fl::fluid_synth_get_sfont_by_id(synth_, sfont_);
        return font && fl::fluid_sfont_get_preset(font, 0, program & 0x7F) != nullptr;
    }

    bool unload_instrument(uint8_t) override { return synth_ != nullptr; }

    bool render(float* out, size_t frames) override {
        if (!synth_ || driver_ || !out) return false;
        while (frames > 0) {
            const int n = static_cast<int>(frames > 4096 ? 4096 : frames);
            if (fl::fluid_synth_write_float(synth_, n, out, 0, 2, out, 1, 2) != FLUID_OK)
                return false;
            out += 2 * static_cast<size_t>(n);
            frames -= static_cast<size_t>(n);
        }
        return true;
    }

    void close() override {
        // The audio thread goes first so that nothing plays while the rest is taken apart.
        if (driver_) fl::delete_fluid_audio_driver(driver_);
        if (seq_) fl::delete_fluid_sequencer(seq_);
        if (event_) fl::delete_fluid_event(event_);
        if (synth_) fl::delete_fluid_synth(synth_);
        if (settings_) fl::delete_fluid_settings(settings_);
        driver_ = nullptr;
        seq_ = nullptr;
        event_ = nullptr;
        synth_ = nullptr;
        settings_ = nullptr;
        sfont_ = -1;
        clock_ = false;
        std::lock_guard<std::mutex> g(pending_lock_);
        pending_.clear();
    }

private:
    bool have_soundfont() const {
        return !soundfont_.empty() && ::access(soundfont_.c_str(), R_OK) == 0;
    }

    static std::string port_name(const std::string& driver) {
        return "FluidSynth (" + driver + ")";
    }

    // The audio drivers FluidSynth offers, its default first; the file writer is not a port.
    static std::vector<std::string> drivers() {
        std::vector<std::string> out;
        fluid_settings_t* s = fl::new_fluid_settings();
        if (!s) return out;
        char* def = nullptr;
        if (fl::fluid_settings_getstr_default(s, "audio.driver", &def) == FLUID_OK && def && *def &&
            std::string(def) != "file")
            out.push_back(def);
        fl::fluid_settings_foreach_option(
            s, "audio.driver", &out, [](void* data, const char*, const char* option) {
                auto* list = static_cast<std::vector<std::string>*>(data);
                const std::string name = option;
                if (name.empty() || name == "file") return;
                for (const std::string& have : *list) {
                    if (have == name) return;
                }
                list->push_back(name);
            });
        fl::delete_fluid_settings(s);
        return out;
    }

    bool schedule(int64_t at) {
        const uint32_t when = clock_base_ + static_cast<uint32_t>(at);
        return fl::fluid_sequencer_send_at(seq_, event_, when, 1) == FLUID_OK;
    }

    // A channel message of its proper length, or a whole system exclusive.
    static bool well_formed(const uint8_t* m, size_t size) {
        const uint8_t status = m[0];
        if (status == 0xF0) return size >= 3 && m[size - 1] == 0xF7;
        if (status < 0x80 || status >= 0xF0) return false;
        const size_t need = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
        return size == need;
    }

    // Plays one queued message on the synthesizer at once.
    void apply(const std::vector<uint8_t>& m) {
        const uint8_t status = m[0];
        if (status == 0xF0) {
            fl::fluid_synth_sysex(synth_, reinterpret_cast<const char*>(m.data() + 1),
                                  static_cast<int>(m.size() - 2), nullptr, nullptr, nullptr, 0);
            return;
        }
        const int ch = status & 0x0F;
        const int d1 = m[1] & 0x7F, d2 = m.size() > 2 ? m[2] & 0x7F : 0;
        switch (status & 0xF0) {
            case 0x80:
                fl::fluid_synth_noteoff(synth_, ch, d1);
                break;
            case 0x90:
                fl::fluid_synth_noteon(synth_, ch, d1, d2);
                break;
            case 0xA0:
                fl::fluid_synth_key_pressure(synth_, ch, d1, d2);
                break;
            case 0xB0:
                fl::fluid_synth_cc(synth_, ch, d1, d2);
                break;
            case 0xC0:
                fl::fluid_synth_program_change(synth_, ch, d1);
                break;
            case 0xD0:
                fl::fluid_synth_channel_pressure(synth_, ch, d1);
                break;
            default:
                fl::fluid_synth_pitch_bend(synth_, ch, (d2 << 7) | d1);
                break;
        }
    }

    // Runs on the thread that renders audio when a queued message falls due: applies, in
    // order, everything due by then.
    static void on_timer(unsigned int time, fluid_event_t*, fluid_sequencer_t*, void* data) {
        auto* self = static_cast<fluid_port*>(data);
        const int64_t due = static_cast<uint32_t>(time - self->clock_base_);
        std::lock_guard<std::mutex> g(self->pending_lock_);
        auto it = self->pending_.begin();
        for (; it != self->pending_.end() && it->first <= due; ++it)
            self->apply(it->second);
        self->pending_.erase(self->pending_.begin(), it);
    }

    std::string soundfont_;
    bool offline_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    fluid_sequencer_t* seq_ = nullptr;
    fluid_event_t* event_ = nullptr;
    fluid_seq_id_t synth_dest_ = -1;
    fluid_seq_id_t timer_client_ = -1;
    int sfont_ = -1;
    bool clock_ = false;
    uint32_t clock_base_ = 0;
    port_id open_id_{};
    std::mutex pending_lock_;
    // Messages not yet played, by music time; equal times keep the order they were sent in.
    std::multimap<int64_t, std::vector<uint8_t> > pending_;

    bool fail() {
        close();
        return false;
    }
};

}  // namespace

bool synth_available() {
    return load_fluidsynth();
}

std::unique_ptr<synth_port> make_fluidsynth_port(const std::string& soundfont, bool offline) {
    if (!load_fluidsynth()) return std::make_unique<synth_port_none>();
    return std::make_unique<fluid_port>(soundfont, offline);
}

#endif

}  // namespace kv_synth
