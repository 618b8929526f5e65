#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/x_thread.h"
#include "play/engine/MplyEventQueue.h"

class MplyEntity;
class MplyOutput;

// Messages the player posts by default: a run has ended, a run has started.
enum : uint32_t {
    MPLY_MSG_STOPPED = 0x8003,
    MPLY_MSG_STARTED = 0x8004,
};

// The player engine: runs one player music against one output at a time. It owns the event
// queue, keeps the musical clock (480 ticks to a quarter note, driven by a millisecond clock),
// asks the music to generate a little ahead of the clock and plays every event whose tick has
// come. A real-time run takes place on the player's worker thread; an offline output (the
// exporter, listings) is run at once in the caller's thread. Start, Stop, the notification
// setters and the destructor belong to the owner's thread; Running and Position may be called
// from any thread.
class MplyPlayer {
public:
    // Ticks generated ahead of the clock.
    static constexpr int32_t kLookAhead = 1396;
    // The longest step of the clock, in milliseconds: time lost beyond it is not made up.
    static constexpr uint32_t kMaxStepMs = 31;
    static constexpr int32_t kStartTempo = 120;

    // A player timed by `clock` (the system clock when null). `time_critical` asks for real-time
    // priority of the worker thread (tests that drive a fake clock leave it off).
    explicit MplyPlayer(KvClock* clock = nullptr, bool time_critical = true);
    // Asks a run to stop and waits for it (up to 5 s, then as the worker thread's end rules
    // say); queued events are discarded.
    ~MplyPlayer();

    // Where stop, start and position notifications go (a null queue turns one off). Refused
    // (false) while a run is active. The stop and start messages carry the source entity and
    // the position; position messages come at most every `interval_ms`.
    bool SetStopNotify(KvMessageQueue* window, uint32_t message);
    bool SetStartNotify(KvMessageQueue* window, uint32_t message);
    bool SetPositionNotify(KvMessageQueue* window, uint32_t message, uint32_t interval_ms = 10);

    // The tick where the next run begins (negative ticks start at 0). Refused while running.
    bool SetStartTick(int32_t tick);
    int32_t start_tick() const { return m_StartTick.load(std::memory_order_relaxed); }

    // Runs `music` against `output`. False when either is missing, a run is active, the output
    // does not open or the worker thread cannot be created: the music then stays with the
    // caller. On success the player has taken the music (`music` is empty): an offline output
    // has been run to the end before Start returns; a real-time run goes on in the worker.
    bool Start(MplyOutput* output, std::unique_ptr<MplyEntity>& music);
    // Asks a run to stop and waits, polling every 1 ms, until it has ended or `timeout_ms` has
    // passed (negative: for ever). True when no run is active any more. The stop message of a
    // real-time run is posted only once the worker is idle: a Start on it is accepted.
    bool Stop(int32_t timeout_ms);
    // True while a real-time run is active. Any thread.
    bool Running() const { return m_Thread.running(); }
    // True when the last real-time run ended because the system took its output away (the
    // output's IsLost); cleared when a run starts. Any thread.
    bool OutputLost() const { return m_OutputLost.load(std::memory_order_relaxed); }
    // The position a listener hears: the start tick when no real-time run is active, else the
    // current tick plus the output's offset but not less than the start tick. Any thread.
    int32_t Position() const;

    // For the music, its tracks and the events, during a run (the engine's thread).
    MplyEventQueue& queue() { return m_Queue; }
    MplyOutput* output() const { return m_Output.load(std::memory_order_relaxed); }
    int32_t tempo() const { return m_Tempo; }
    void set_tempo(int32_t bpm) { m_Tempo = bpm; }
    int32_t previous_window_end() const { return m_PrevWindowEnd; }
    int32_t window_end() const { return m_WindowEnd; }
    int32_t current_tick() const { return m_CurTick.load(std::memory_order_relaxed); }
    // The play mode (MCPM_*) of the configuration when the last run started (before any run:
    // when the player was made): a run keeps the settings it started with, whatever the user
    // changes meanwhile.
    int32_t play_mode() const { return m_PlayMode; }

    // The engine run itself: what the worker thread executes and what Start calls directly
    // for an offline output. Returns 0.
    int Run() { return RunEngine(false); }

private:
    static int ThreadProc(void* user);
    // The run; on the worker, the stop message goes out once the worker is idle.
    int RunEngine(bool on_worker);
    int RunSteps(bool* ended);
    void Advance();
    // When an event of `tick` was due, in the program clock's microseconds
    // (MplyOutput::due_us), from this step's clock and accumulated ticks.
    uint64_t DueUs(int32_t tick) const;
    void Post(KvMessageQueue* window, uint32_t message, int32_t position);

    KvClock* m_Clock;                            // milliseconds of the run
    bool m_TimeCritical;                         // ask for real-time priority
    MplyEventQueue m_Queue;                      // events not yet due, in order
    std::atomic<MplyOutput*> m_Output{nullptr};  // where due events go
    // Destroyed before the queue: the music's tracks are gone before its events.
    std::unique_ptr<MplyEntity> m_Music;
    std::atomic<int32_t> m_StartTick{0};         // tick the next run starts at
    int32_t m_Tempo = kStartTempo;               // beats per minute in effect
    int32_t m_PlayMode;                          // m_PlayMode of the configuration at Start
    uint32_t m_PrevMs = 0;                       // clock at the previous step
    uint32_t m_CurMs = 0;                        // clock at this step
    uint64_t m_Accumulator = 0;                  // ticks × 125
    int32_t m_PrevTick = 0;                      // tick at the previous step
    std::atomic<int32_t> m_CurTick{0};           // tick now; events before it are due
    std::atomic<bool> m_OutputLost{false};       // the last run ended with its output lost
    int32_t m_PrevWindowEnd = 0;                 // generation window of the previous step
    int32_t m_WindowEnd = 0;                     // tracks generate up to here
    KvMessageQueue* m_PositionWindow = nullptr;  // receives position reports
    uint32_t m_PositionMessage = 0;              // their message code
    uint32_t m_PositionInterval = 10;            // ms between reports
    uint32_t m_PositionLast = 0;                 // clock of the last report
    KvMessageQueue* m_StopWindow = nullptr;      // told when a run ends
    uint32_t m_StopMessage = 0;                  // its message code
    KvMessageQueue* m_StartWindow = nullptr;     // told when a run starts
    uint32_t m_StartMessage = 0;                 // its message code
    uintptr_t m_SourceParam = 0;                 // the run's model entity, sent with each report
    // Declared last so that it is destroyed first: its destruction waits for a worker that
    // still runs, before anything the worker uses goes away.
    x_thread m_Thread;
};
