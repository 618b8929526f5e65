// The manual pages beside the program: real HTML in UTF-8 that covers what the program offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "platform/TextCodec.h"
#include "tools/AppData.h"
#include "ui/RunProgram.h"

namespace manual_test {

using kv_test::app_data;
using kv_test::read_bytes;

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool valid_utf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        uint32_t code = 0, least = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;
        for (size_t k = 1; k <= more; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            code = code << 6 | (t & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

TEST(ManualPages, AreUtf8HtmlWithAJapaneseAndAnEnglishPart) {
    for (const char* page : {"manual/index.html", "notice.html"}) {
        SCOPED_TRACE(page);
        const std::string html = read_bytes(app_data(page));
        ASSERT_FALSE(html.empty());
        EXPECT_TRUE(valid_utf8(html));
        EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(html.find("<html lang=\"ja\">"), std::string::npos);
        EXPECT_TRUE(html.find("id=\"english\"") != std::string::npos ||
                    html.find("lang=\"en\"") != std::string::npos);
        EXPECT_NE(html.find("</html>"), std::string::npos);
        // Japanese that the program's own code page can carry, as every text of the program.
        const std::string cp932 = kv_codec::cp932_from_utf8(html);
        EXPECT_EQ(std::count(cp932.begin(), cp932.end(), '?'),
                  std::count(html.begin(), html.end(), '?'));
    }
    EXPECT_TRUE(valid_utf8("\xE3\x81\x82"));
    EXPECT_FALSE(valid_utf8("\xE3\x81"));
    EXPECT_FALSE(valid_utf8("\xC0\xAF"));
    EXPECT_FALSE(valid_utf8("\xED\xA0\x80"));
}

TEST(ManualPages, ManualCoversConceptsToolsAndFiles) {
    const std::string html = read_bytes(app_data("manual/index.html"));
    const char* const topics[] = {
        "ライブラリ",
        "ブック",
        "リーフ",
        "フォルダ",
        "ノートトラック",
        "フレーズトラック",
        "コードトラック",
        "転調トラック",
        "ピュア",
        "トーン",
        "スケール度数",
        "コード度数",
        "リズム",
        "コードマップ",
        "パレット",
        "スケールマップ",
        "ステージマップ",
        "開始マーカー",
        "度数シフト",
        "ブロックキープ",
        "ブロックカット",
        "サウンドカット",
        "ストレッチ",
        "&lt;prog&gt;",
        "&lt;room&gt;",
        "&lt;book&gt;",
        "&lt;with&gt;",
        "define\\korvante.cfg",
        "define\\mapscale.def",
        "mymusic\\library.kvnr",
        "pattern_v01\\pattern.kvnb",
        "template\\music01\\music.kvnl",
        "manual\\index.html",
        "notice.html",
        "bash tools/demo.sh",
        "bash tools/test.sh",
    };
    for (const char* topic : topics)
        EXPECT_NE(html.find(topic), std::string::npos) << topic;
}

TEST(ManualPages, ManualShowsEveryCommandOfTheProgram) {
    const ProgramRun help = run_program("--help");
    ASSERT_EQ(help.status, 0);
    const std::string html = read_bytes(app_data("manual/index.html"));
    std::istringstream in(help.out);
    int commands = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  ", 0) != 0) continue;
        std::istringstream words(line);
        std::string name;
        words >> name;
        ++commands;
        EXPECT_NE(html.find("<code>korvante " + name), std::string::npos) << name;
    }
    EXPECT_GE(commands, 12);
}

TEST(ManualPages, ManualListsEveryPhraseOfThePatternBook) {
    const std::string html = read_bytes(app_data("manual/index.html"));
    kv_test::AppData data;
    MseqObject* book = data.find("パターンブック_標準");
    ASSERT_NE(book, nullptr);
    size_t phrases = 0;
    for (MseqObject* n : kv_test::AppData::nodes_of(book, MTYPE_LEAF_PHRASE)) {
        ++phrases;
        const std::string name = kv_codec::utf8_from_cp932(n->name.str());
        EXPECT_NE(html.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(phrases, 26u);
}

}  // namespace manual_test
