#pragma once

// A fixture for the tools that read a library from disk: a fresh temporary folder, the desk's
// file store while the test runs, and a build() hook that writes the library into the folder
// through the program's own writer (write_room() and open_music() do the common first steps).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqFactory.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPath.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecFileStore.h"

class DiskLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvlib-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        MseqDesk::instance().set_store(&store_);
        build();
        room_.reset();
    }
    void TearDown() override {
        MseqDesk::instance().cache.clear();
        MseqDesk::instance().modified.clear();
        MseqDesk::instance().set_store(nullptr);
        std::filesystem::remove_all(dir_);
    }

    // Writes the test's library into the folder.
    virtual void build() = 0;

    // The one book of a library written by write_room(), and the room's node that lists it.
    struct RoomBook {
        MseqObject* node = nullptr;
        MseqBook* book = nullptr;
    };

    // Writes library.kvnr: a room named `room_name` listing one music book `book_name` kept in
    // `book_file` beside it. Returns the book with its content open, for the caller to add
    // leaves to and save; the room stays in memory until build() returns. Both pointers null,
    // and the test failed, when the room cannot be written. Test thread only.
    RoomBook write_room(const char* room_name, const CkvString& book_name,
                        const std::string& book_file) {
        room_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString(room_name),
                                             MseqDescPath(windows("library.kvnr")));
        auto* room = new MseqRoom(room_.get());
        room_->attach(room);
        room->name = room_->name;
        room->full_path = windows("library.kvnr");
        MseqObject* node =
            room->create_book(room_.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC, book_name,
                              MseqDescPath(CkvString("<room>" + book_file)));
        if (!MrecCompiler::save(room)) {
            ADD_FAILURE() << "the room could not be written";
            return {};
        }
        mseq_factory(node);
        auto* book = node->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        book->name = node->name;
        book->full_path = windows(book_file);
        return {node, book};
    }

    // Gives a music leaf of the book its content, to be saved as `file` beside the library.
    // Test thread only.
    MseqMusic* open_music(MseqObject* leaf, const std::string& file) {
        mseq_factory(leaf);
        auto* music = leaf->entity()->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
        music->full_path = windows(file);
        return music;
    }

    std::string host(const std::string& rest) const { return dir_ + "/" + rest; }
    MseqFullPath windows(const std::string& rest) const {
        return MseqFullPath(CkvString(kv_fs::from_host(host(rest))));
    }

    std::string dir_;
    MrecFileStore store_;

private:
    std::unique_ptr<MseqObject> room_;  // the tree write_room() builds, while build() runs
};
