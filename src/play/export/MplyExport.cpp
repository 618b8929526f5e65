#include "play/export/MplyExport.h"

#include <string>

#include "model/core/CkvText.h"
#include "platform/FileSystem.h"
#include "play/engine/MplyEvent.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyPlayer.h"

namespace {

// Meta event types of the conductor track.
constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr uint8_t kMetaKeySignature = 0x59;

}  // namespace

int MplyExport::Open() {
    m_Writer.Clear();
    for (MplySmfWriter& w : m_Channels)
        w.Clear();
    // A run that was cut short may have left notes counted; the new file starts with none.
    clear_counters();
    if (m_Format.smf_format == 1) {
        // Bars of four quarters (a click every quarter, eight 32nds a quarter), and the key
        // the music starts in.
        m_Writer.Meta(0, kMetaTimeSignature, {4, 2, 24, 8});
        m_Writer.Meta(0, kMetaKeySignature, {static_cast<uint8_t>(m_Parts.key_fifths), 0});
    }
    return 1;
}

int MplyExport::Stop() {
    if (m_Format.smf_format != 1) {
        m_Writer.EndOfTrack();
        return 1;
    }
    // Every track ends where the music does, as the single track of format 0 would.
    const int32_t end = LastTick();
    m_Writer.EndOfTrackAt(end);
    for (MplySmfWriter& w : m_Channels) {
        if (w.TrackSize()) w.EndOfTrackAt(end);
    }
    return 1;
}

MplySmfWriter& MplyExport::Part(int channel) {
    if (m_Format.smf_format != 1) return m_Writer;
    MplySmfWriter& w = m_Channels[static_cast<size_t>(channel & 0x0F)];
    if (w.TrackSize() == 0) {
        const std::string name = Spelled(m_Parts.names[static_cast<size_t>(channel & 0x0F)]);
        w.Text(0, kMetaTrackName, name);
    }
    return w;
}

int32_t MplyExport::LastTick() const {
    int32_t last = m_Writer.LastTick();
    for (const MplySmfWriter& w : m_Channels)
        last = w.LastTick() > last ? w.LastTick() : last;
    return last;
}

size_t MplyExport::LateEvents() const {
    size_t late = m_Writer.LateEvents();
    for (const MplySmfWriter& w : m_Channels)
        late += w.LateEvents();
    return late;
}

std::string MplyExport::Spelled(std::string_view text) const {
    return m_Format.utf8_text ? ckv_to_utf8(text) : std::string(text);
}

int MplyExport::SendTempo(const MplyEventTempo& e) {
    return m_Writer.Tempo(e.time, static_cast<uint32_t>(e.tempo)) ? 1 : 0;
}

int MplyExport::SendNoteOn(const MplyEventNoteOn& e) {
    const uint8_t n = note_count(e.channel, e.key);
    if (n >= kMaxSounding) return 0;
    // The key already sounds: end it here, so that the new note starts with a fresh attack.
    MplySmfWriter& w = Part(e.channel);
    if (n > 0) w.NoteOff(e.time, e.channel, e.key);
    w.NoteOn(e.time, e.channel, e.key, e.velocity);
    count_note_on(e.channel, e.key);
    return 1;
}

int MplyExport::SendNoteOff(const MplyEventNoteOff& e) {
    const int r = count_note_off(e.channel, e.key);
    if (r == 0) return 0;
    if (r == 1) Part(e.channel).NoteOff(e.time, e.channel, e.key);
    return 1;
}

int MplyExport::SendControl(const MplyEventControl& e) {
    Part(e.channel).Control(e.time, e.channel, e.controller, e.value);
    return 1;
}

int MplyExport::SendControlPair(int channel, int high, int low, int value) {
    const int32_t at = LastTick();
    Part(channel).ControlPair(at, static_cast<uint8_t>(channel), static_cast<uint8_t>(high),
                              static_cast<uint8_t>(low), static_cast<uint32_t>(value));
    return 1;
}

int MplyExport::SendExclusive(const MplyEventExclusive& e) {
    m_Writer.Exclusive(e.time, e.body.data(), e.body.size());
    return 1;
}

int MplyExport::SendText(const MplyEventString& e) {
    if (e.text) m_Writer.Text(e.time, e.text_type, Spelled(std::string_view(*e.text)));
    return 1;
}

int MplyExport::SendRawMessage(const MplyEventMsg& e) {
    const uint8_t status = e.message.empty() ? 0 : e.message[0];
    // Channel messages go to their channel's track; system exclusives to the conductor.
    MplySmfWriter& w = status >= 0xA0 && status <= 0xEF ? Part(status & 0x0F) : m_Writer;
    return w.Raw(e.time, e.message.data(), e.message.size()) ? 1 : 0;
}

bool MplyExport::BuildFile(std::vector<uint8_t>* file) {
    if (m_Format.smf_format != 1) return m_Writer.BuildFile(file);
    if (!file || m_Writer.TrackSize() == 0) return false;
    uint16_t tracks = 1;
    for (const MplySmfWriter& w : m_Channels)
        tracks = static_cast<uint16_t>(tracks + (w.TrackSize() ? 1 : 0));
    std::vector<uint8_t> image;
    MplySmfWriter::AppendHeader(image, 1, tracks);
    m_Writer.AppendTrackChunk(image);
    for (MplySmfWriter& w : m_Channels)
        w.AppendTrackChunk(image);
    *file = std::move(image);
    return true;
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
    if (exporter.Format().smf_format == 1 && music) exporter.SetParts(mply_describe_parts(*music));
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
