#include "play/devices/MplyDevice.h"

#include "model/library/MseqConfig.h"

MplyDevice::MplyDevice(const MseqConfig& config, KvClock* clock)
    : m_Config(config), m_Clock(clock ? clock : &KvClock::system()) {}

void MplyDevice::TakeRunSettings() {
    m_RunStopClose = m_Config.m_StopClose;
    m_RunStopResetMsg = m_Config.m_StopResetMsg;
}

void MplyDevice::forget_note(int channel, int key) {
    while (count_note_off(channel, key) == 2) {
    }
}
