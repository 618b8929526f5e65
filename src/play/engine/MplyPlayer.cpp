#include "play/engine/MplyPlayer.h"

#include <exception>

#include "model/library/MseqConfig.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"

MplyPlayer::MplyPlayer(KvClock* clock, bool time_critical)
    : m_Clock(clock ? clock : &KvClock::system()),
      m_TimeCritical(time_critical),
      m_PlayMode(mseq_config().m_PlayMode),
      m_Thread(m_Clock) {
    m_Thread.set_user_data(this);
}

MplyPlayer::~MplyPlayer() {
    if (!m_Thread.request_stop()) {
        const uint32_t begin = m_Clock->now_ms();
        while (m_Thread.running() && m_Clock->now_ms() - begin < 5000)
            m_Clock->sleep_ms(1);
    }
    // The thread member waits for a worker that is still running; the queue and the music go
    // after it.
}

bool MplyPlayer::SetStopNotify(KvMessageQueue* window, uint32_t message) {
    if (Running()) return false;
    m_StopWindow = window;
    m_StopMessage = message;
    return true;
}

bool MplyPlayer::SetStartNotify(KvMessageQueue* window, uint32_t message) {
    if (Running()) return false;
    m_StartWindow = window;
    m_StartMessage = message;
    return true;
}

bool MplyPlayer::SetPositionNotify(KvMessageQueue* window, uint32_t message, uint32_t interval_ms) {
    if (Running()) return false;
    m_PositionWindow = window;
    m_PositionMessage = message;
    m_PositionInterval = interval_ms;
    return true;
}

bool MplyPlayer::SetStartTick(int32_t tick) {
    if (Running()) return false;
    // The clock counts up from the start; a run cannot begin before the music does.
    m_StartTick.store(tick < 0 ? 0 : tick, std::memory_order_relaxed);
    return true;
}

bool MplyPlayer::Start(MplyOutput* output, std::unique_ptr<MplyEntity>& music) {
    if (!output || !music || m_Thread.running()) return false;
    // The run works with the settings it starts with; the user may change them meanwhile.
    m_PlayMode = mseq_config().m_PlayMode;
    m_OutputLost.store(false, std::memory_order_relaxed);
    m_Output.store(output, std::memory_order_relaxed);
    if (!output->Open()) {
        m_Output.store(nullptr, std::memory_order_relaxed);
        return false;
    }
    m_Music = std::move(music);
    if (output->IsOffline()) {
        Run();
        return true;
    }
    if (!m_Thread.start(&MplyPlayer::ThreadProc)) {
        music = std::move(m_Music);
        m_Output.store(nullptr, std::memory_order_relaxed);
        return false;
    }
    if (m_TimeCritical) m_Thread.raise_priority();
    return true;
}

bool MplyPlayer::Stop(int32_t timeout_ms) {
    if (m_Thread.request_stop()) return true;
    const uint32_t begin = m_Clock->now_ms();
    while (m_Thread.running()) {
        if (timeout_ms >= 0 && m_Clock->now_ms() - begin >= static_cast<uint32_t>(timeout_ms))
            return false;
        m_Clock->sleep_ms(1);
    }
    return true;
}

int32_t MplyPlayer::Position() const {
    const int32_t start = start_tick();
    MplyOutput* out = output();
    if (!m_Thread.running() || !out) return start;
    const int64_t heard = static_cast<int64_t>(current_tick()) + out->GetPositionOffset();
    if (heard < start) return start;
    return heard > INT32_MAX ? INT32_MAX : static_cast<int32_t>(heard);
}

int MplyPlayer::ThreadProc(void* user) {
    return static_cast<MplyPlayer*>(user)->RunEngine(true);
}

void MplyPlayer::Post(KvMessageQueue* window, uint32_t message, int32_t position) {
    if (window) window->post(KvMessage{message, m_SourceParam, position});
}

int MplyPlayer::RunEngine(bool on_worker) {
    MplyOutput* out = output();
    m_SourceParam = reinterpret_cast<uintptr_t>(m_Music ? m_Music->GetSource() : nullptr);
    bool ended = false;
    // The one place where the engine meets what the system throws (memory running out while
    // tracks generate): the run ends as if stopped, with the output stopped and the stop
    // message posted.
    try {
        RunSteps(&ended);
    } catch (const std::exception&) {
        ended = false;
    }
    m_Queue.clear();
    if (out) {
        if (ended) out->Finish();
        out->Stop();
    }
    m_Music.reset();
    const KvMessage stopped{m_StopMessage, m_SourceParam, Position()};
    if (!m_StopWindow) return 0;
    // A front end that starts the next run on this message must find the worker idle.
    if (on_worker) {
        m_Thread.post_when_idle(m_StopWindow, stopped);
    } else {
        m_StopWindow->post(stopped);
    }
    return 0;
}

int MplyPlayer::RunSteps(bool* ended) {
    MplyOutput* out = output();
    const int32_t start = start_tick();
    m_Tempo = kStartTempo;
    m_PrevMs = m_CurMs = m_Clock->now_ms();
    m_PrevTick = start;
    m_CurTick.store(start, std::memory_order_relaxed);
    m_PrevWindowEnd = start;
    m_Accumulator = static_cast<uint64_t>(start) * 125;
    m_WindowEnd = start > kMplyOpenEnd - kLookAhead ? kMplyOpenEnd : start + kLookAhead;
    m_Queue.clear();
    m_Queue.reset_peak();

    if (!m_Thread.is_stop_requested() && (!m_Music || !m_Music->Start(this)))
        m_Thread.request_stop();
    Post(m_StartWindow, m_StartMessage, current_tick());

    m_PrevMs = m_CurMs = m_Clock->now_ms();
    m_PositionLast = m_CurMs;
    if (out && out->IsOffline()) {
        m_CurTick.store(kMplyOpenEnd, std::memory_order_relaxed);
        m_WindowEnd = kMplyOpenEnd;
        m_CurMs = UINT32_MAX;
    }
    if (m_PlayMode == MCPM_BUILD) m_WindowEnd = kMplyOpenEnd;

    while (!m_Thread.is_stop_requested()) {
        if (m_Music && !m_Music->Generate(this)) m_Music.reset();

        const int32_t now = current_tick();
        const bool timed = out && !out->IsOffline();
        while (MplyEvent* first = m_Queue.front()) {
            if (first->time >= now) break;
            m_Queue.pop();
            if (timed) out->set_due_us(DueUs(first->time));
            first->Play(*this);
            if (timed) out->clear_due();
            m_Queue.destroy(first);
        }
        if (timed && out->IsLost()) {
            m_OutputLost.store(true, std::memory_order_relaxed);
            break;
        }
        if (m_Queue.empty() && !m_Music) {
            *ended = true;
            break;
        }
        Advance();
    }
    return 0;
}

uint64_t MplyPlayer::DueUs(int32_t tick) const {
    // The clock of this step stands for the accumulated ticks; the tick was crossed as long
    // before it as the ticks between take at the tempo in effect.
    constexpr uint64_t kWrapUs = (uint64_t{1} << 32) * 1000;
    const uint64_t at = static_cast<uint64_t>(tick < 0 ? 0 : tick) * 125;
    const uint64_t tempo = m_Tempo > 0 ? static_cast<uint64_t>(m_Tempo) : 1;
    const uint64_t late = m_Accumulator > at ? (m_Accumulator - at) * 1000 / tempo : 0;
    return (static_cast<uint64_t>(m_CurMs) * 1000 + kWrapUs - late % kWrapUs) % kWrapUs;
}

void MplyPlayer::Advance() {
    m_PrevMs = m_CurMs;
    m_PrevTick = current_tick();
    m_CurMs = m_Clock->now_ms();
    uint32_t elapsed = m_CurMs - m_PrevMs;
    if (elapsed > kMaxStepMs) elapsed = kMaxStepMs;
    m_Accumulator += static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(m_Tempo);
    const uint64_t ticks = m_Accumulator / 125;
    const int32_t now =
        ticks >= static_cast<uint64_t>(kMplyOpenEnd) ? kMplyOpenEnd : static_cast<int32_t>(ticks);
    m_CurTick.store(now, std::memory_order_relaxed);
    if (now <= m_PrevTick) m_Clock->sleep_ms(1);
    m_PrevWindowEnd = m_WindowEnd;
    m_WindowEnd = now > kMplyOpenEnd - kLookAhead ? kMplyOpenEnd : now + kLookAhead;
    if (m_PositionWindow && m_CurMs - m_PositionLast >= m_PositionInterval) {
        Post(m_PositionWindow, m_PositionMessage, Position());
        m_PositionLast = m_CurMs;
    }
}
