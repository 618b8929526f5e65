// The JACK output's timing against a private JACK server (`jackd -d dummy`, 48 kHz, periods of
// 256 frames, under a server name of its own): the real-time engine plays sixteenth notes
// through the JACK port, jack_midi_dump records the frame of each, and the figure is the 99th
// percentile of |intended time - frame time| (the common latency taken out). Goal: 1 ms.
#include <benchmark/benchmark.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/MidiOut.h"
#include "platform/MidiOutJack.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"
#include "tools/PrivateJackServer.h"

namespace {

constexpr int kNotes = 64;  // sixteenths at 120 bpm: eight seconds
constexpr double kRate = 48000;

ref_ptr<MseqMusic> Sixteenths() {
    auto music = ref_ptr<MseqMusic>::adopt(new MseqMusic(nullptr));
    music->m_Title = "";
    MseqObject* node = music->create_track(music->detail()->id, MPLACE_LAST_CHILD, MTYPE_TRACK_NOTE,
                                           CkvString("notes"));
    mseq_factory(node);
    auto* track = node->entity()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
    track->m_Beat = 16;
    for (int i = 0; i < kNotes; ++i) {
        MseqBlockNote note;
        note.set_type(MNBT_PURE);
        note.m_Whole = static_cast<int8_t>(i % 7);
        track->put_block(i, note);
    }
    return music;
}

// The frames of the note-ons jack_midi_dump wrote.
std::vector<int64_t> NoteOnFrames(const std::string& file) {
    std::ifstream in(file);
    std::vector<int64_t> out;
    for (std::string line; std::getline(in, line);) {
        long frame = 0;
        unsigned status = 0, key = 0, velocity = 0;
        if (std::sscanf(line.c_str(), "%ld: %x %x %x", &frame, &status, &key, &velocity) == 4 &&
            (status & 0xF0) == 0x90 && velocity > 0)
            out.push_back(frame);
    }
    return out;
}

void BM_JackTiming(benchmark::State& state) {
    kv_test::private_jack_server server("korvante-bench");
    const std::string dir = server.folder();
    std::string why;
    if (!server.start(&why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    pid_t dump = kv_test::spawn_program({"jack_midi_dump", "-a", "kvdump"}, dir + "/dump.txt");
    std::vector<double> error_ms;
    // Note-ons the recorder did not report. jack_midi_dump counts frames by adding up its own
    // periods, so when an overloaded server skips its process callback it loses that period's
    // notes and counts every later frame one period short: the figure is then the recorder's,
    // not the output's.
    int64_t missed = 0;
    if (dump <= 0 || !server.wait_for_port("kvdump:input")) {
        state.SkipWithError("jack_midi_dump did not come up");
    } else {
        auto midi = kv_midi::make_jack_midi_out();
        MseqConfig config;
        config.m_DeviceID = kv_midi::kMapper;
        for (uint32_t i = 0; i < midi->device_count(); ++i) {
            kv_midi::midi_out_caps caps;
            if (midi->device_caps(i, &caps) && caps.name == "JACK kvdump:input")
                config.m_DeviceID = i;
        }
        ref_ptr<MseqMusic> music = Sixteenths();
        for (auto _ : state) {
            MplyDeviceSystem device(config, *midi);
            MplyPlayer player;
            std::unique_ptr<MplyEntity> run(music->create_player_model());
            if (!player.Start(&device, run)) {
                state.SkipWithError("the JACK output did not open");
                break;
            }
            while (player.Running())
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        midi->close();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kv_test::end_program(&dump, SIGINT);
        // The i-th note-on of a run is meant for i sixteenths (125 ms) after its first.
        const std::vector<int64_t> frames = NoteOnFrames(dir + "/dump.txt");
        missed =
            static_cast<int64_t>(state.iterations()) * kNotes - static_cast<int64_t>(frames.size());
        std::vector<double> offset;
        for (size_t i = 0; i < frames.size(); ++i) {
            const size_t in_run = i % kNotes;
            const int64_t first = frames[i - in_run];
            offset.push_back(static_cast<double>(frames[i] - first) * 1000.0 / kRate -
                             static_cast<double>(in_run) * 125.0);
        }
        std::vector<double> sorted = offset;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
        for (double o : offset)
            error_ms.push_back(std::fabs(o - median));
        std::sort(error_ms.begin(), error_ms.end());
    }
    kv_test::end_program(&dump, SIGINT);
    server.stop();
    // The periods the server's own driver woke up too late for (it reports each as an xrun).
    std::ifstream log(server.log_path());
    int xruns = 0;
    for (std::string line; std::getline(log, line);)
        xruns += line.find("XRun") != std::string::npos;
    if (error_ms.empty()) return;
    const double p99 =
        error_ms[std::min(error_ms.size() - 1, static_cast<size_t>(0.99 * error_ms.size()))];
    const auto at = [&](double q) {
        return error_ms[std::min(error_ms.size() - 1, static_cast<size_t>(q * error_ms.size()))];
    };
    state.counters["p99_ms"] = p99;
    state.counters["max_ms"] = error_ms.back();
    state.counters["notes"] = static_cast<double>(error_ms.size());
    state.counters["server_xruns"] = xruns;
    state.counters["missed_notes"] = static_cast<double>(missed);
    std::printf(
        "JACK output at 48 kHz, 256-frame periods: 99th percentile of |intended - frame "
        "time| = %.3f ms over %zu notes (goal: at most 1 ms); median %.3f ms, 90th %.3f ms, "
        "max %.3f ms; the server's driver reported %d xruns meanwhile%s\n",
        p99, error_ms.size(), at(0.5), at(0.9), error_ms.back(), xruns,
        missed ? "; the recorder missed notes, so the figure does not hold" : "");
}
BENCHMARK(BM_JackTiming)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
