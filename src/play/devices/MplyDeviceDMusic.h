#pragma once

#include <cstdint>
#include <vector>

#include "platform/SynthPort.h"
#include "play/devices/MplyDevice.h"

// The software-synthesizer device: every message is stamped a short lead of the performance
// clock ahead (kLead units) and scheduled on the synthesizer port named by the configuration's
// m_DmPortGUID (all zero: the first port). A message of an event the engine plays is stamped as
// if it had been sent when the event was due (MplyOutput::due_us): the engine's late wake-ups
// are taken off the lead, so they neither move the notes nor call for a longer lead. The lead
// only covers a wake-up later than that and the steps the port's clock moves in, and it is what
// a play waits before its first note sounds. The position a listener hears lags the engine by
// the lead and the audio driver's buffer. Threads as MplyDevice.
class MplyDeviceDMusic final : public MplyDevice {
public:
    // Performance-clock units each message is stamped ahead of the clock: 15.6 ms.
    static constexpr int64_t kLead = 24;
    // Ticks added to the engine's tick for the position the listener hears: the lead (15 ticks
    // at 120 beats a minute) and about 10 ms of the audio driver's buffer.
    static constexpr int32_t kPositionOffset = -24;

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
    // Opens the port `wanted` (closing another one first) without reading the configuration, so
    // that another thread may open it ahead of the first play (the owner's thread waits for
    // it before it uses the device again); 0 when it cannot be opened.
    int OpenPort(const kv_synth::port_id& wanted);
    // Gives back the instruments, zeroes counters and flags and closes the port. Always 1.
    int CloseDevice() override;
    bool IsDeviceOpen() const override;

    // The ports the configuration can choose from (for the settings and `korvante devices`).
    std::vector<kv_synth::port_info> Ports() { return m_Port.ports(); }
    // The programs whose instruments are loaded, in the order they were loaded.
    const std::vector<uint8_t>& loaded_instruments() const { return m_Instruments; }

private:
    // Sends a message stamped kLead ahead of the clock, less how late the engine delivers it;
    // false when the clock cannot be read or the port refuses.
    bool Send(std::initializer_list<uint8_t> message);
    bool Send(const uint8_t* message, size_t size);
    void UnloadInstruments();
    // How late the event being delivered is, in clock units (0 .. kLead).
    int64_t LateUnits() const;
    // The counted note-off of SendNoteOff.
    int Release(int channel, int key);

    kv_synth::synth_port& m_Port;        // the synthesizer port driven
    kv_synth::port_id m_OpenGuid{};      // the configured identifier the port was opened for
    std::vector<uint8_t> m_Instruments;  // programs loaded into the port, to unload on close
};
