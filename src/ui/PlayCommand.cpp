#include "ui/PlayCommand.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "model/core/parse_int.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqBarBeat.h"
#include "platform/MidiOut.h"
#include "platform/SynthPort.h"
#include "play/devices/MplyDeviceDMusic.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "ui/LibraryLeaf.h"
#include "ui/ToolPrologue.h"

namespace kv_ui {

namespace {

std::atomic<bool> g_interrupted{false};

void on_interrupt(int) {
    g_interrupted.store(true);
}

// "bar:beat:tick" of a position, counting bars and beats from 1 (4/4, 480 ticks a beat).
std::string bar_beat_tick(int32_t tick) {
    const MseqBarBeat p = mseq_bar_beat(tick);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%4d:%d:%03d", p.bar, p.beat, p.tick);
    return buf;
}

}  // namespace

int run_play_command(const std::vector<std::string>& args) {
    std::vector<std::string> plain;
    int64_t from = 0, device = -1;
    bool synth = false, bad = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size()) {
            bad |= parse_int(args[++i], 0, INT32_MAX - 1, &from) != parse_int_error::none;
        } else if (args[i] == "--device" && i + 1 < args.size()) {
            bad |= parse_int(args[++i], 0, 0xFFFFFFFF, &device) != parse_int_error::none;
        } else if (args[i] == "--synth") {
            synth = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            bad = true;
        } else {
            plain.push_back(args[i]);
        }
    }
    if (bad || plain.size() != 2 || (synth && device >= 0))
        return tool_usage(
            "usage: korvante play LIBRARY LEAF [--from TICK] [--device N | --synth]\n");
    LibraryLeaf lib;
    MseqMusic* music = open_tool_music(lib, plain[0], &plain[1]);
    if (!music) return 1;
    ref_ptr<MseqConfig> config = load_program_config();
    if (device >= 0) {
        config->m_DeviceID = static_cast<uint32_t>(device);
        config->m_DirectMusic = 0;
    }
    if (synth) config->m_DirectMusic = 1;

    auto midi = kv_midi::make_system_midi_out();
    auto port = kv_synth::make_fluidsynth_port("", false);
    MplyDeviceSystem system(*config, *midi);
    MplyDeviceDMusic dmusic(*config, *port);
    MplyDevice* out = config->m_DirectMusic ? static_cast<MplyDevice*>(&dmusic) : &system;

    MplyPlayer player;
    player.SetStartTick(static_cast<int32_t>(from));
    std::unique_ptr<MplyEntity> run(music->create_player_model());
    g_interrupted.store(false);
    auto previous = std::signal(SIGINT, on_interrupt);
    if (!player.Start(out, run)) {
        std::signal(SIGINT, previous);
        if (config->m_DirectMusic) {
            std::fprintf(stderr, "korvante: the software synthesizer cannot be opened%s\n",
                         !kv_synth::synth_available() ? " (built without FluidSynth)"
                         : kv_synth::find_soundfont().empty()
                             ? " (no General MIDI sound font; install timgm6mb-soundfont)"
                             : " (no audio output?)");
        } else {
            std::fprintf(stderr,
                         "korvante: the MIDI output device cannot be opened (see korvante "
                         "devices; --synth plays through the software synthesizer)\n");
        }
        return 1;
    }
    const bool tty = ::isatty(STDOUT_FILENO);
    std::string last;
    while (player.Running()) {
        if (g_interrupted.load()) {
            player.Stop(3000);
            break;
        }
        const std::string now = bar_beat_tick(player.Position());
        if (tty && now != last) {
            std::printf("\r%s", now.c_str());
            std::fflush(stdout);
            last = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    player.Stop(3000);
    std::signal(SIGINT, previous);
    print_warnings(lib);
    if (player.OutputLost()) {
        std::printf("%s", tty ? "\n" : "");
        std::fprintf(stderr, "korvante: the MIDI output went away (%s); the run stopped\n",
                     midi->last_error().c_str());
        return 1;
    }
    std::printf("%s%s %s\n", tty ? "\r" : "", bar_beat_tick(player.Position()).c_str(),
                g_interrupted.load() ? "stopped" : "end");
    return 0;
}

}  // namespace kv_ui
