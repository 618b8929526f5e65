// The generated files of the application folder: each one is exactly what the program saves,
// and the generator in tools/make_data still writes exactly the committed files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ExternalTools.h"
#include "platform/FileSystem.h"
#include "text/MrecCompiler.h"
#include "text/MrecEntityWriter.h"
#include "text/MrecFileEntity.h"
#include "tools/AppData.h"

namespace data_files_test {

using kv_test::app_data;
using kv_test::generated_files;
using kv_test::read_bytes;

class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/kvdata-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string path;
};

int run_generator(const std::string& folder, std::string* out) {
    return kv_test::run_capture(std::string(KV_MAKE_DATA) + " '" + folder + "' 2>&1", out);
}

TEST(AppDataFiles, EveryFileLoadsValidatesAndWritesBackUnchanged) {
    const std::vector<std::string> files = generated_files(KV_APP_DATA);
    // 26 phrases and their book, 12 templates and their 12 English twins, the scale map, the
    // library, its music book, two musics, two chord maps and a stage map; and the English
    // twins of the pattern book and the library with all their files (27 and 7).
    ASSERT_EQ(files.size(), 93u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string text = read_bytes(app_data(file));
        MrecCompiler header;
        ASSERT_TRUE(header.read_header(MseqFullPath(CkvString(kv_fs::from_host(app_data(file))))));
        MrecFileEntity f;
        ASSERT_TRUE(mrec_make_file_entity(header.result.header.type, f));
        MrecCompiler c;
        ASSERT_TRUE(c.load_text(f.entity.get(), text.c_str(), text.size() + 1))
            << "error " << c.result.error;
        EXPECT_EQ(f.entity->flags & MEF_FUTURE, 0u);
        EXPECT_NE(f.entity->validate(), 0);
        std::string again;
        ASSERT_TRUE(mrec_write_entity(f.entity.get(), &again));
        EXPECT_TRUE(again == text) << "written back differently";
    }
}

TEST(AppDataFiles, GeneratorWritesExactlyTheCommittedFiles) {
    TempFolder out;
    std::string messages;
    ASSERT_EQ(run_generator(out.path, &messages), 0) << messages;
    const std::vector<std::string> made = generated_files(out.path);
    ASSERT_EQ(made, generated_files(KV_APP_DATA)) << "run tools/make_data.sh and commit data/";
    for (const std::string& file : made) {
        EXPECT_TRUE(read_bytes(out.path + "/" + file) == read_bytes(app_data(file)))
            << file << " differs from what tools/make_data writes";
    }
}

TEST(AppDataFiles, GeneratorRefusesAFolderThatAlreadyHoldsTheData) {
    // A second run would otherwise add its tracks to the files the first run left.
    TempFolder out;
    std::string messages;
    ASSERT_EQ(run_generator(out.path, &messages), 0) << messages;
    const std::string book = read_bytes(out.path + "/pattern_v01/pattern.kvnb");
    EXPECT_EQ(run_generator(out.path, &messages), 1);
    EXPECT_NE(messages.find("already exists"), std::string::npos) << messages;
    EXPECT_EQ(read_bytes(out.path + "/pattern_v01/pattern.kvnb"), book);
    EXPECT_EQ(kv_test::run_capture(std::string(KV_MAKE_DATA) + " 2>&1", &messages), 2);
}

}  // namespace data_files_test
