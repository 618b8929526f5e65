#pragma once

// The import tests' common ground: a library of one music book ("Songs", songs.kvnb) saved in
// a temporary folder, kept open while a test runs and removed after it.
#include <gtest/gtest.h>
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

namespace import_book_fixture {

class ImportBook : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvimport-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        MseqDesk::instance().set_store(&store_);
        room_node_ = std::make_unique<MseqObject>(MID_ROOM, MTYPE_ROOM, CkvString("lib"),
                                                  MseqDescPath(windows("library.kvnr")));
        auto* room = new MseqRoom(room_node_.get());
        room_node_->attach(room);
        room->full_path = windows("library.kvnr");
        book_node_ = room->create_book(room_node_.get(), MPLACE_LAST_CHILD, MTYPE_BOOK_MUSIC,
                                       CkvString("Songs"), MseqDescPath("<room>songs.kvnb"));
        ASSERT_TRUE(MrecCompiler::save(room));
        mseq_factory(book_node_);
        auto* book = book_node_->entity()->cast_to<MseqBook>(MTYPE_BOOK);
        book->full_path = windows("songs.kvnb");
        ASSERT_TRUE(MrecCompiler::save(book));
    }
    void TearDown() override {
        MseqDesk::instance().cache.clear();
        MseqDesk::instance().modified.clear();
        room_node_.reset();
        MseqDesk::instance().set_store(nullptr);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    // The Windows-form path of `rest` inside the temporary folder.
    MseqFullPath windows(const std::string& rest) const {
        return MseqFullPath(CkvString(kv_fs::from_host(dir_ + "/" + rest)));
    }

    std::string dir_;
    MrecFileStore store_;
    std::unique_ptr<MseqObject> room_node_;
    MseqObject* book_node_ = nullptr;
};

}  // namespace import_book_fixture
