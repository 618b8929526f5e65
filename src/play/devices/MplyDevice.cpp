#include "play/devices/MplyDevice.h"

MplyDevice::MplyDevice(const MseqConfig& config, KvClock* clock)
    : m_Config(config), m_Clock(clock ? clock : &KvClock::system()) {}

void MplyDevice::forget_note(int channel, int key) {
    while (count_note_off(channel, key) == 2) {
    }
}
