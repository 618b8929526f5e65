#pragma once

// A library of one music book ("Songs", songs.kvnb) saved in a temporary folder and kept open
// on the desk while this object lives, for bringing music in: the import tests and the import
// benchmark. The folder goes with it.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"

namespace one_book_library {

class OneBookLibrary {
public:
    OneBookLibrary() {
        char tmpl[] = "/tmp/kvimport-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        dir_ = tmpl;
        MseqDesk::instance().set_store(&store_);
        room_node_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString("lib"),
                                                  MseqDescPath(windows("library.kvnr")));
        auto* room = new MseqRoom(room_node_.get());
        room_node_->attach(room);
        room->full_path = windows("library.kvnr");
        MseqObject* book_node =
            room->create_book(room_node_.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                              CkvString("Songs"), MseqDescPath("<room>songs.kvnb"));
        if (!MrecCompiler::save(room)) return;
        mseq_factory(book_node);
        auto* book = book_node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        book->full_path = windows("songs.kvnb");
        if (MrecCompiler::save(book)) book_node_ = book_node;
    }
    ~OneBookLibrary() {
        MseqDesk::instance().cache.clear();
        MseqDesk::instance().modified.clear();
        room_node_.reset();
        MseqDesk::instance().set_store(nullptr);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    OneBookLibrary(const OneBookLibrary&) = delete;
    OneBookLibrary& operator=(const OneBookLibrary&) = delete;

    // The music book; nullptr when the folder could not be made or the library not saved.
    MseqObject* book() const { return book_node_; }
    // The host path of the library's folder.
    const std::string& folder() const { return dir_; }

private:
    MseqFullPath windows(const std::string& rest) const {
        return MseqFullPath(CkvString(kv_fs::from_host(dir_ + "/" + rest)));
    }

    std::string dir_;
    MrecFileStore store_;
    std::unique_ptr<MseqObject> room_node_;
    MseqObject* book_node_ = nullptr;
};

}  // namespace one_book_library
