#pragma once

// The files of the application folder as the source tree keeps them (data/), opened the way the
// program opens them: the desk reads through the record compiler and "<prog>" is data/.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"
#include "tools/FileBytes.h"  // read_bytes, which the users of the data read their files with

namespace kv_test {

// The host path of `relative` inside data/.
std::string app_data(const std::string& relative);

// The files of a folder that the data generator writes (*.kvnr, *.kvnb, *.kvnl, *.def), as
// sorted paths relative to the folder.
std::vector<std::string> generated_files(const std::string& folder);

// The demo library "mymusic/library.kvnr" opened with its books.
class AppData {
public:
    AppData();
    ~AppData();
    AppData(const AppData&) = delete;
    AppData& operator=(const AppData&) = delete;

    MseqObject* room_node() const { return node_.get(); }
    MseqRoom* room() const { return room_; }

    // The node at "book/folder/.../leaf" (UTF-8 names), or nullptr.
    MseqObject* find(const std::string& path);

    // The node's content cast to T (kept open while this object lives), or nullptr.
    template <class T>
    T* open(MseqObject* node, MSEQ_TYPE type) {
        if (!node) return nullptr;
        keep_.push_back(mseq_open(node));
        return keep_.back()->cast_to<T>(type);
    }
    MseqMusic* music(const std::string& path) {
        return open<MseqMusic>(find(path), MTYPE_LEAF_MUSIC);
    }

    // Every node of `type` under `top` in pre-order.
    static std::vector<MseqObject*> nodes_of(MseqObject* top, MSEQ_TYPE type);

private:
    MrecFileStore store_;
    CkvString saved_program_;
    std::unique_ptr<MseqObject> node_;
    MseqRoom* room_ = nullptr;
    std::vector<ref_ptr<MseqEntity>> keep_;
};

// One note-on of a run.
struct Note {
    int32_t tick;
    int channel;
    int key;
    int velocity;
    int32_t duration;
};

// The notes of an offline run of the music (or phrase) from `start`, in the order played.
std::vector<Note> played_notes(MseqMusic* music, int32_t start = 0);

// The notes on one channel whose start lies in [from, to).
std::vector<Note> notes_between(const std::vector<Note>& notes, int channel, int32_t from,
                                int32_t to);

}  // namespace kv_test
