#include "play/export/MplyExport.h"

#include <string>

#include "platform/FileSystem.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"

int MplyExport::Open() {
    m_Writer.Clear();
    // A run that was cut short may have left notes counted; the new file starts with none.
    clear_counters();
    return 1;
}

int MplyExport::Stop() {
    m_Writer.EndOfTrack();
    return 1;
}

int MplyExport::SendTempo(const MplyEventTempo& e) {
    return m_Writer.Tempo(e.time, static_cast<uint32_t>(e.tempo)) ? 1 : 0;
}

int MplyExport::SendNoteOn(const MplyEventNoteOn& e) {
    const uint8_t n = note_count(e.channel, e.key);
    if (n >= kMaxSounding) return 0;
    // The key already sounds: end it here, so that the new note starts with a fresh attack.
    if (n > 0) m_Writer.NoteOff(e.time, e.channel, e.key);
    m_Writer.NoteOn(e.time, e.channel, e.key, e.velocity);
    count_note_on(e.channel, e.key);
    return 1;
}

int MplyExport::SendNoteOff(const MplyEventNoteOff& e) {
    const int r = count_note_off(e.channel, e.key);
    if (r == 0) return 0;
    if (r == 1) m_Writer.NoteOff(e.time, e.channel, e.key);
    return 1;
}

int MplyExport::SendControl(const MplyEventControl& e) {
    m_Writer.Control(e.time, e.channel, e.controller, e.value);
    return 1;
}

int MplyExport::SendControlPair(int channel, int high, int low, int value) {
    m_Writer.ControlPair(m_Writer.LastTick(), static_cast<uint8_t>(channel),
                         static_cast<uint8_t>(high), static_cast<uint8_t>(low),
                         static_cast<uint32_t>(value));
    return 1;
}

int MplyExport::SendExclusive(const MplyEventExclusive& e) {
    m_Writer.Exclusive(e.time, e.body.data(), e.body.size());
    return 1;
}

int MplyExport::SendText(const MplyEventString& e) {
    if (e.text) m_Writer.Text(e.time, e.text_type, std::string_view(*e.text));
    return 1;
}

int MplyExport::SendRawMessage(const MplyEventMsg& e) {
    return m_Writer.Raw(e.time, e.message.data(), e.message.size()) ? 1 : 0;
}

bool MplyExport::BuildFile(std::vector<uint8_t>* file) {
    return m_Writer.BuildFile(file);
}

MplyExportResult MplyExportMusic(MplyPlayer& player, MplyExport& exporter,
                                 std::unique_ptr<MplyEntity>& music, std::string_view windows_path,
                                 std::vector<uint8_t>* file) {
    if (player.Running()) return MplyExportResult::not_started;
    // Nobody is told of an export's progress or end.
    player.SetStopNotify(nullptr, 0);
    player.SetStartNotify(nullptr, 0);
    player.SetPositionNotify(nullptr, 0);
    player.SetStartTick(0);
    if (!player.Start(&exporter, music)) return MplyExportResult::not_started;
    if (player.Running()) {
        player.Stop(1);
        return MplyExportResult::timed_out;
    }
    std::vector<uint8_t> image;
    if (!exporter.BuildFile(&image)) return MplyExportResult::empty;
    if (!windows_path.empty() &&
        !kv_fs::write_file_atomic(
            windows_path,
            std::string_view(reinterpret_cast<const char*>(image.data()), image.size())))
        return MplyExportResult::write_failed;
    if (file) *file = std::move(image);
    return MplyExportResult::ok;
}
