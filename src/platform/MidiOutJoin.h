#pragma once

#include <memory>
#include <vector>

#include "platform/MidiOut.h"

namespace kv_midi {

// Several MIDI outputs shown as one: the devices of the first, then those of the next, and so
// on, numbered on; the mapper's choice is the first output's that has one. Opening a device
// opens it on its own output, and every message goes there until close. So outputs added
// later (JACK after the ALSA sequencer) leave the numbers of the earlier ones as they were.
// One thread at a time.
class midi_out_join final : public midi_out {
public:
    explicit midi_out_join(std::vector<std::unique_ptr<midi_out>> parts);

    uint32_t device_count() override;
    bool device_caps(uint32_t id, midi_out_caps* caps) override;
    bool open(uint32_t id) override;
    bool is_open() const override;
    bool short_message(uint32_t packed) override;
    bool long_message(const uint8_t* data, size_t size) override;
    bool short_message_at(uint32_t packed, uint64_t due_us) override;
    bool long_message_at(const uint8_t* data, size_t size, uint64_t due_us) override;
    bool reset() override;
    bool close() override;
    std::string last_error() const override;
    bool lost() const override;

private:
    // The output holding device `id` and its number there (kMapper stays kMapper); null when
    // there is no such device.
    midi_out* locate(uint32_t id, uint32_t* local);

    std::vector<std::unique_ptr<midi_out>> parts_;
    midi_out* open_ = nullptr;  // the output a connection is open on
    std::string error_;         // why the last open failed, when no output said
};

}  // namespace kv_midi
