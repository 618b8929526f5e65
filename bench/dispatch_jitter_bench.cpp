// The real-time engine against a recording MIDI output with the real clock: how far each note's
// dispatch lies from its ideal time, and how much processor time the run takes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackNote.h"
#include "platform/MidiOut.h"
#include "play/devices/MplyDeviceSystem.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"

namespace {

constexpr int kNotes = 32;  // sixteenths at 120 bpm: four seconds

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_DispatchJitter(benchmark::State& state) {
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
    MseqConfig config;
    config.m_DeviceID = 0;
    std::vector<double> late_ms;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        kv_midi::midi_out_recorder midi;
        MplyDeviceSystem device(config, midi);
        MplyPlayer player;  // the system clock, time-critical when the system allows it
        std::unique_ptr<MplyEntity> run(music->create_player_model());
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        if (!player.Start(&device, run)) {
            state.SkipWithError("the run did not start");
            return;
        }
        while (player.Running())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += CpuSeconds() - cpu0;
        // Note-ons in order: the i-th is due i sixteenths (125 ms) after the first. The first
        // one's lateness is unknown (the engine's clock starts inside the run), so lateness is
        // measured against the earliest any note came.
        std::vector<double> offset;
        std::chrono::steady_clock::time_point first{};
        int i = 0;
        for (const auto& r : midi.log()) {
            if (r.what != kv_midi::midi_out_recorder::kind::short_message || r.bytes[0] != 0x90)
                continue;
            if (i == 0) first = r.at;
            offset.push_back(std::chrono::duration<double, std::milli>(r.at - first).count() -
                             i * 125.0);
            ++i;
        }
        if (offset.empty()) continue;
        const double base = *std::min_element(offset.begin(), offset.end());
        for (double o : offset)
            late_ms.push_back(o - base);
    }
    std::sort(late_ms.begin(), late_ms.end());
    if (late_ms.empty()) {
        state.SkipWithError("no notes were dispatched");
        return;
    }
    auto at = [&](double q) {
        return late_ms[std::min(late_ms.size() - 1, static_cast<size_t>(q * late_ms.size()))];
    };
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = late_ms.back();
    state.counters["within_1.5ms_pct"] =
        100.0 *
        static_cast<double>(
            std::count_if(late_ms.begin(), late_ms.end(), [](double v) { return v <= 1.5; })) /
        static_cast<double>(late_ms.size());
    state.counters["cpu_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
    state.counters["notes"] = static_cast<double>(late_ms.size());
}
BENCHMARK(BM_DispatchJitter)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
