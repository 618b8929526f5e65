#pragma once

// A fixture for the tools that read a library from disk: a fresh temporary folder, the desk's
// file store while the test runs, and a build() hook that writes the library into the folder
// through the program's own writer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/core/MseqDesk.h"
#include "model/core/MseqPath.h"
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
    }
    void TearDown() override {
        MseqDesk::instance().cache.clear();
        MseqDesk::instance().modified.clear();
        MseqDesk::instance().set_store(nullptr);
        std::filesystem::remove_all(dir_);
    }

    // Writes the test's library into the folder.
    virtual void build() = 0;

    std::string host(const std::string& rest) const { return dir_ + "/" + rest; }
    MseqFullPath windows(const std::string& rest) const {
        return MseqFullPath(CkvString(kv_fs::from_host(host(rest))));
    }

    std::string dir_;
    MrecFileStore store_;
};
