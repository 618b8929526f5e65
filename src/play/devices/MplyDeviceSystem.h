#pragma once

#include <cstdint>
#include <vector>

#include "platform/MidiOut.h"
#include "play/devices/MplyDevice.h"

// The system MIDI output device: short and long messages through the system MIDI output
// (kv_midi::midi_out), to the device numbered by the configuration's m_DeviceID (0xFFFFFFFF:
// the mapper's choice, 0xFFFFFFFE: none). Messages of the events the engine plays carry the
// time they were due (short_message_at), so that an output with a timeline of its own places
// them there; what the device sends by itself (at Stop) goes at once. Threads as MplyDevice.
class MplyDeviceSystem final : public MplyDevice {
public:
    // The device identifier while closed.
    static constexpr uint32_t kClosed = 0x80000000u;

    // Uses `midi` (not owned; it must outlive the device) and reads `config`.
    MplyDeviceSystem(const MseqConfig& config, kv_midi::midi_out& midi, KvClock* clock = nullptr);
    // Closes the device.
    ~MplyDeviceSystem() override;

    int Open() override {
        TakeRunSettings();
        return OpenDevice();
    }
    // Waits 100 ms for the last notes to reach the device. Always 1.
    int Finish() override;
    // Releases each sounding key once, resets the device, sends reset-all-controllers on the
    // channels the music set up (when m_StopResetMsg is set), closes the device (when
    // m_StopClose is set) and zeroes counters and flags. 1 only when every step succeeded.
    int Stop() override;

    // Counted note-on and note-off: every note-on is sent (up to 255 of one key on one
    // channel); a note-off only when it ends the last sounding one. 0 when refused or when the
    // device fails, the counter then unchanged.
    int SendNoteOn(const MplyEventNoteOn& event) override;
    int SendNoteOff(const MplyEventNoteOff& event) override;
    int SendControl(const MplyEventControl& event) override;
    // The low controller with value & 7F, then the high one with (value >> 7) & 7F; 1 only when
    // both went out.
    int SendControlPair(int channel, int high_controller, int low_controller, int value) override;
    // F0, the body, F7 as one long message.
    int SendExclusive(const MplyEventExclusive& event) override;
    // A channel message A0..EF of the right length as a short message, or a system exclusive
    // F0 .. F7 longer than 3 bytes as a long message as it stands. 0 for anything else, note
    // messages (80..9F) included: notes go through the counters only.
    int SendRawMessage(const MplyEventMsg& event) override;

    int OpenDevice() override;
    int CloseDevice() override;
    bool IsDeviceOpen() const override;
    // The system took the open connection away (kv_midi::midi_out::lost).
    bool IsLost() const override;

    // The device identifier it is open with, kClosed when closed.
    uint32_t open_id() const { return m_OpenId; }

private:
    bool Short(uint8_t status, uint8_t data1, uint8_t data2);
    bool Long(const uint8_t* head, size_t head_size, const uint8_t* body, size_t body_size,
              bool close_f7);

    kv_midi::midi_out& m_Midi;         // the MIDI output driven
    uint32_t m_OpenId = kClosed;       // device number it is open with
    std::vector<uint8_t> m_LongBlock;  // the long message being sent; kept between messages
};
