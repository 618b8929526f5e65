#pragma once

#include <cstdint>
#include <vector>

#include "platform/SynthPort.h"
#include "play/devices/MplyDevice.h"

// The software-synthesizer device: every message is stamped half a beat of the performance
// clock ahead (kLead units) and scheduled on the synthesizer port named by the configuration's
// m_DmPortGUID (all zero: the first port). The position a listener hears lags the engine by
// 180 ticks. Threads as MplyDevice.
class MplyDeviceDMusic final : public MplyDevice {
public:
    // Performance-clock units each message is stamped ahead of the clock.
    static constexpr int64_t kLead = 384;
    // Ticks added to the engine's tick for the position the listener hears.
    static constexpr int32_t kPositionOffset = -180;

    // Uses `port` (not owned; it must outlive the device) and reads `config`.
    MplyDeviceDMusic(const MseqConfig& config, kv_synth::synth_port& port,
                     KvClock* clock = nullptr);
    // Closes the device.
    ~MplyDeviceDMusic() override;

    int32_t GetPositionOffset() const override { return kPositionOffset; }
    // OpenDevice, then starts the performance clock if it is not running; 0 on failure.
    int Open() override;
    // Waits 300 ms: the last messages are still stamped ahead of the clock. Always 1.
    int Finish() override;
    // Releases each sounding key once, gives back the instruments loaded for program changes,
    // closes the device when m_StopClose is set, and zeroes counters and flags. 1 when every
    // note-off went out.
    int Stop() override;

    // Counted note-on and note-off as on the system device; 0 when refused, when the clock
    // cannot be read or the port refuses (the counter then unchanged).
    int SendNoteOn(const MplyEventNoteOn& event) override;
    int SendNoteOff(const MplyEventNoteOff& event) override;
    int SendControl(const MplyEventControl& event) override;
    // The low controller with value & 7F first, then the high one; 1 only when both went out.
    int SendControlPair(int channel, int high_controller, int low_controller, int value) override;
    // F0, the body, F7.
    int SendExclusive(const MplyEventExclusive& event) override;
    // Channel messages A0..EF only (C0 and D0 of 2 bytes, the others of 3), sent on the event's
    // channel; a program change also loads its instrument. 0 for note messages, system
    // messages and wrong lengths.
    int SendRawMessage(const MplyEventMsg& event) override;

    // Opens the configured port (closing another one first); 0 when it cannot be opened.
    int OpenDevice() override;
    // Gives back the instruments, zeroes counters and flags and closes the port. Always 1.
    int CloseDevice() override;
    bool IsDeviceOpen() const override;

    // The ports the configuration can choose from (for the settings and `korvante devices`).
    std::vector<kv_synth::port_info> Ports() { return m_Port.ports(); }
    // The programs whose instruments are loaded, in the order they were loaded.
    const std::vector<uint8_t>& loaded_instruments() const { return m_Instruments; }

private:
    // Sends a message stamped kLead ahead of the clock; false when the clock cannot be read or
    // the port refuses.
    bool Send(std::initializer_list<uint8_t> message);
    bool Send(const uint8_t* message, size_t size);
    void UnloadInstruments();
    // The counted note-off of SendNoteOff.
    int Release(int channel, int key);

    kv_synth::synth_port& m_Port;        // the synthesizer port driven
    kv_synth::port_id m_OpenGuid{};      // the configured identifier the port was opened for
    std::vector<uint8_t> m_Instruments;  // programs loaded into the port, to unload on close
};
