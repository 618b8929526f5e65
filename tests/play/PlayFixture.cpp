#include "play/PlayFixture.h"
#include "model/core/MseqFactory.h"

#include <thread>

namespace kv_test {

namespace play_fixture_test {

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string line(int32_t tick, const std::string& rest) {
    return std::to_string(tick) + " " + rest;
}

}  // namespace play_fixture_test

using play_fixture_test::hex;
using play_fixture_test::line;

int RecordingOutput::Finish() {
    calls.push_back("finish");
    return 1;
}

int RecordingOutput::Stop() {
    calls.push_back("stop");
    return 1;
}

int RecordingOutput::SendTempo(const MplyEventTempo& e) {
    calls.push_back(line(e.time, "tempo " + std::to_string(e.tempo)));
    return 1;
}

int RecordingOutput::SendNoteOn(const MplyEventNoteOn& e) {
    if (player) queue_sizes.push_back(player->queue().size());
    calls.push_back(line(e.time, "note-on " + std::to_string(e.channel) + " " +
                                     std::to_string(e.key) + " " + std::to_string(e.velocity) +
                                     " " + std::to_string(e.duration)));
    return 1;
}

int RecordingOutput::SendNoteOff(const MplyEventNoteOff& e) {
    calls.push_back(
        line(e.time, "note-off " + std::to_string(e.channel) + " " + std::to_string(e.key)));
    return 1;
}

int RecordingOutput::SendControl(const MplyEventControl& e) {
    calls.push_back(line(e.time, "control " + std::to_string(e.channel) + " " +
                                     std::to_string(e.controller) + " " + std::to_string(e.value)));
    return 1;
}

int RecordingOutput::SendExclusive(const MplyEventExclusive& e) {
    calls.push_back(line(e.time, "exclusive " + hex(e.body)));
    return 1;
}

int RecordingOutput::SendText(const MplyEventString& e) {
    calls.push_back(line(e.time, "text " + std::to_string(e.text_type) + " \"" + *e.text + "\""));
    return 1;
}

int RecordingOutput::SendRawMessage(const MplyEventMsg& e) {
    calls.push_back(line(e.time, "message " + hex(e.message)));
    return 1;
}

std::vector<std::string> RecordingOutput::only(const std::string& kind) const {
    std::vector<std::string> out;
    for (const std::string& c : calls) {
        const size_t space = c.find(' ');
        if (space == std::string::npos) continue;
        if (c.compare(space + 1, kind.size() + 1, kind + " ") == 0) out.push_back(c);
    }
    return out;
}

uint32_t StepClock::now_ms() {
    const size_t i = reads_.fetch_add(1);
    const uint32_t step = steps_.empty() ? 0 : steps_[i < steps_.size() ? i : steps_.size() - 1];
    return now_.fetch_add(step) + step;
}

void StepClock::sleep_ms(uint32_t) {
    std::this_thread::yield();
}

Library::Library() : room_node(MID_ROOM, MTYPE_ROOM, CkvString("lib"), MseqDescPath(kPathWith)) {
    auto* room = new MseqRoom(&room_node);
    room_node.attach(room);
    book_node = room->create_book(&room_node, MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                  CkvString("book"), MseqDescPath(kPathWith));
    mseq_factory(book_node);
    book = book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
    music_node = add_leaf(MTYPE_LEAF_MUSIC, "song");
    music = content<MseqMusic>(music_node, MTYPE_LEAF_MUSIC);
}

Library::~Library() = default;

MseqObject* Library::add_leaf(MSEQ_TYPE type, const char* name) {
    return book->create_leaf(book_node, MPLACE_LAST_CHILD, type, CkvString(name),
                             MseqDescPath(kPathWith));
}

MseqPhrase* Library::add_phrase(const char* name, MseqObject** node) {
    MseqObject* leaf = add_leaf(MTYPE_LEAF_PHRASE, name);
    if (node) *node = leaf;
    return static_cast<MseqPhrase*>(content<MseqMusic>(leaf, MTYPE_LEAF_PHRASE));
}

MseqMapChord* Library::add_chord_map(const char* name, MseqObject** node) {
    MseqObject* leaf = add_leaf(MTYPE_LEAF_CHORD, name);
    if (node) *node = leaf;
    return content<MseqMapChord>(leaf, MTYPE_LEAF_CHORD);
}

MseqMapStage* Library::add_stage_map(const char* name, MseqObject** node) {
    MseqObject* leaf = add_leaf(MTYPE_LEAF_STAGE, name);
    if (node) *node = leaf;
    return content<MseqMapStage>(leaf, MTYPE_LEAF_STAGE);
}

MseqBlockNote note(uint32_t type, int whole, int octave, int semi, int length) {
    MseqBlockNote n;
    n.m_Type = type;
    n.m_Whole = static_cast<int8_t>(whole);
    n.m_Octave = static_cast<int8_t>(octave);
    n.m_Semi = static_cast<int8_t>(semi);
    n.m_Length = length;
    return n;
}

std::vector<std::string> run_offline(MseqMusic* music, int32_t start, RecordingOutput* output) {
    RecordingOutput own;
    RecordingOutput& out = output ? *output : own;
    MplyPlayer player;
    player.SetStartTick(start);
    std::unique_ptr<MplyEntity> compiled(music->create_player_model());
    if (!player.Start(&out, compiled)) return {"start failed"};
    return out.calls;
}

std::vector<std::string> note_ons(MseqMusic* music, int32_t start) {
    RecordingOutput out;
    run_offline(music, start, &out);
    return out.only("note-on");
}

}  // namespace kv_test
