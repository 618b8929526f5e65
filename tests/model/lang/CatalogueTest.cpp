#include <gtest/gtest.h>

#include <string>

#include "model/core/MseqType.h"
#include "model/lang/KvCatalogue.h"
#include "model/lang/MseqTexts.h"
#include "platform/TextCodec.h"

namespace catalogue_test {

// Sets a language for one test and puts Japanese back after it.
class LanguageScope {
public:
    explicit LanguageScope(kv_language language) { kv_set_language(language); }
    ~LanguageScope() { kv_set_language(kv_language::japanese); }
};

TEST(LanguageChoice, TheMessagesLocaleChoosesJapaneseForJapaneseAndForABareSystem) {
    for (const char* locale :
         {"", "C", "POSIX", "C.UTF-8", "ja", "ja_JP", "ja_JP.UTF-8", "ja_JP.eucJP@x"})
        EXPECT_EQ(kv_language_of_locale(locale), kv_language::japanese) << locale;
    for (const char* locale : {"en_US.UTF-8", "de_DE", "fr", "jam", "Ca_XX", "pt_BR.UTF-8"})
        EXPECT_EQ(kv_language_of_locale(locale), kv_language::english) << locale;
}

TEST(LanguageChoice, CodesReadBackAndAnythingElseIsRefused) {
    kv_language language = kv_language::english;
    ASSERT_TRUE(kv_parse_language(kv_language_code(kv_language::japanese), &language));
    EXPECT_EQ(language, kv_language::japanese);
    ASSERT_TRUE(kv_parse_language(kv_language_code(kv_language::english), &language));
    EXPECT_EQ(language, kv_language::english);
    for (const char* code : {"", "EN", "english", "ja_JP", "e"})
        EXPECT_FALSE(kv_parse_language(code, &language)) << code;
    EXPECT_EQ(language, kv_language::english);
}

TEST(CatalogueCheck, FindsEveryKindOfFault) {
    const kv_entry entries[] = {
        {"SOUND", "%d 小節", "%d bars"},
        {"TWICE", "a", "a"},
        {"TWICE", "b", "b"},
        {"NO_ENGLISH", "保存", ""},
        {"NO_JAPANESE", nullptr, "Save"},
        {"NOT_CP932", "保存", "Save \xF0\x9F\x8E\xB5"},
        {"SWAPPED", "%s の %d", "%d of %s"},
        {"DROPPED", "%s を保存", "Save"},
        {"PERCENT", "100%% %d", "%d at 100%%"},
    };
    const std::vector<std::string> problems = kv_catalogue_problems(entries);
    const std::string all = [&] {
        std::string s;
        for (const std::string& p : problems)
            s += p + "\n";
        return s;
    }();
    EXPECT_EQ(problems.size(), 6u) << all;
    for (const char* expected :
         {"TWICE: given twice", "NO_ENGLISH (en): no text", "NO_JAPANESE (ja): no text",
          "NOT_CP932 (en): CP932 cannot", "SWAPPED: the two texts", "DROPPED: the two texts"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
}

TEST(CatalogueCheck, ReadsFormatConversionsAsPrintfDoes) {
    EXPECT_EQ(kv_format_conversions("%-3d%%|%5.2f %lld %s%"),
              (std::vector<std::string>{"%-3d", "%5.2f", "%lld", "%s", "%"}));
    EXPECT_TRUE(kv_format_conversions("100%% sure").empty());
}

TEST(Catalogue, TextsFollowTheLanguageChosen) {
    const kv_entry& music = mseq_text_entries()[static_cast<size_t>(mseq_msg::TYPE_LEAF_MUSIC)];
    EXPECT_STREQ(music.key, "TYPE_LEAF_MUSIC");
    EXPECT_EQ(mseq_type_name(MTYPE_LEAF_MUSIC), kv_codec::cp932_from_utf8("ミュージック"));
    EXPECT_EQ(mseq_type_name(0x7F7F7F), kv_codec::cp932_from_utf8("タイプ不明"));
    LanguageScope english(kv_language::english);
    EXPECT_STREQ(kv_text(mseq_msg::TYPE_LEAF_MUSIC), "Music");
    EXPECT_EQ(mseq_type_name(MTYPE_TRACK_CHORD_MAP).str(), "Transposition track");
    EXPECT_EQ(mseq_type_name(0x7F7F7F).str(), "Unknown type");
}

}  // namespace catalogue_test
