#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/block/MseqBlockNote.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrack.h"
#include "platform/Clock.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"

namespace kv_test {

// An output that writes every call it receives as one line: "TICK kind fields...", "finish",
// "stop". It answers 1 to everything, like the interface's defaults, unless told to refuse
// note-ons.
class RecordingOutput : public MplyOutput {
public:
    bool offline = true;
    int32_t offset = 0;
    bool open_ok = true;
    MplyPlayer* player = nullptr;  // when set, note-ons also note the player's queue size
    std::vector<std::string> calls;
    std::vector<size_t> queue_sizes;  // queue size at each note-on, when `player` is set

    bool IsOffline() const override { return offline; }
    int32_t GetPositionOffset() const override { return offset; }
    int Open() override { return open_ok ? 1 : 0; }
    int Finish() override;
    int Stop() override;
    int SendTempo(const MplyEventTempo& e) override;
    int SendNoteOn(const MplyEventNoteOn& e) override;
    int SendNoteOff(const MplyEventNoteOff& e) override;
    int SendControl(const MplyEventControl& e) override;
    int SendExclusive(const MplyEventExclusive& e) override;
    int SendText(const MplyEventString& e) override;
    int SendRawMessage(const MplyEventMsg& e) override;

    // The calls whose kind (second word) is `kind`, e.g. "note-on".
    std::vector<std::string> only(const std::string& kind) const;
};

// A clock whose every reading advances by the next of `steps` milliseconds (the last one
// repeating); sleeps only yield. Only the engine's thread may read it during a run, so that the
// readings it sees do not depend on timing.
class StepClock : public KvClock {
public:
    explicit StepClock(std::vector<uint32_t> steps, uint32_t start = 1000)
        : steps_(std::move(steps)), now_(start) {}
    uint32_t now_ms() override;
    void sleep_ms(uint32_t ms) override;

private:
    std::vector<uint32_t> steps_;
    std::atomic<size_t> reads_{0};
    std::atomic<uint32_t> now_;
};

// Keeps the configured play mode for a test and puts the old one back.
class PlayModeScope {
public:
    explicit PlayModeScope(int32_t mode) : saved_(mseq_config().m_PlayMode) {
        mseq_config().m_PlayMode = mode;
    }
    ~PlayModeScope() { mseq_config().m_PlayMode = saved_; }

private:
    int32_t saved_;
};

// A library held in memory: a room with one music book holding a music (and whatever leaves a
// test adds). Everything is "<with>" content, so nothing touches the disk.
class Library {
public:
    Library();
    ~Library();

    // A new leaf of the book; its entity is created on first open.
    MseqObject* add_leaf(MSEQ_TYPE type, const char* name);
    // The entity of a leaf, opened.
    template <class T>
    T* content(MseqObject* leaf, MSEQ_TYPE type) {
        return mseq_open(leaf)->cast_to<T>(type);
    }
    // The identifier by which a music of the book refers to the leaf.
    static MSEQ_ID ref(const MseqObject* leaf) { return mseq_with_file_number(leaf->id, 2); }

    MseqPhrase* add_phrase(const char* name, MseqObject** node = nullptr);
    MseqMapChord* add_chord_map(const char* name, MseqObject** node = nullptr);
    MseqMapStage* add_stage_map(const char* name, MseqObject** node = nullptr);

    MseqObject room_node;
    MseqObject* book_node = nullptr;
    MseqBook* book = nullptr;
    MseqObject* music_node = nullptr;
    MseqMusic* music = nullptr;
};

// Creates a track of `type` as the last child of `parent` (the part of the music by default)
// and returns its entity cast to T.
template <class T>
T* add_track(MseqMusic* music, MSEQ_TYPE type, int32_t beat = 4, MSEQ_ID parent = 0,
             MSEQ_ID id = 0) {
    if (!parent) parent = MID_TRACK_DETAIL;
    MseqObject* node = music->create_track(parent, MPLACE_LAST_CHILD, type, CkvString(), id);
    if (!node) return nullptr;
    T* track = mseq_open(node)->cast_to<T>(type);
    if (track) track->m_Beat = beat;
    return track;
}

// A note of `type` with the given letter or degree, octave and accidental.
MseqBlockNote note(uint32_t type, int whole, int octave = 0, int semi = 0, int length = 1);

// Runs the music (or phrase) offline from `start` and returns the output's lines.
std::vector<std::string> run_offline(MseqMusic* music, int32_t start = 0,
                                     RecordingOutput* output = nullptr);

// The note-on lines of that run.
std::vector<std::string> note_ons(MseqMusic* music, int32_t start = 0);

}  // namespace kv_test
