#pragma once

#include <cstdint>

#include "platform/Clock.h"
#include "play/engine/MplyOutput.h"

class MseqConfig;

// A MIDI output device the player plays through in real time. Devices open lazily: Open (at the
// start of every run) opens the device named by the configuration, closing it first when the
// configuration names another one since it was opened; the device stays open between runs
// unless the configuration asks for it to be closed at every stop. Devices read the
// configuration at Open, where they also take the stop settings of the run (a run keeps the
// settings it started with), so it must outlive them. The engine's thread during a run, the
// owner's thread otherwise.
class MplyDevice : public MplyOutput {
public:
    // `clock` times the sleeps of Finish (the system clock when null).
    MplyDevice(const MseqConfig& config, KvClock* clock);

    bool IsOffline() const override { return false; }

    // Opens the configured device (closing a different one first); 0 when it cannot be opened.
    virtual int OpenDevice() = 0;
    // Closes the device and zeroes the counters and flags; 0 when the system refuses to close.
    virtual int CloseDevice() = 0;
    // True while the device is open.
    virtual bool IsDeviceOpen() const = 0;

protected:
    // Clears the counter of (channel, key) whatever it holds: for Stop, when a note-off could
    // not be sent and the key is given up.
    void forget_note(int channel, int key);
    // Takes the stop settings of the run that is starting from the configuration. At Open.
    void TakeRunSettings();

    const MseqConfig& m_Config;     // the settings the device was made with
    KvClock* m_Clock;               // stamps messages and times waits
    int32_t m_RunStopClose = 0;     // m_StopClose of the configuration when the run started
    int32_t m_RunStopResetMsg = 1;  // m_StopResetMsg likewise
};
