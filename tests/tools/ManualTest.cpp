// The manual pages beside the program: real HTML in UTF-8 that covers what the program offers,
// in Japanese and in English, the two manuals with the same sections and pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

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

// The Japanese manual and the English one, as the program opens them from its folder.
constexpr const char* kManuals[] = {"manual/index.html", "manual/en/index.html"};

// The code point of well-formed UTF-8 at `i`, moving `i` past it.
uint32_t next_code_point(const std::string& text, size_t& i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t more = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t code = more == 0 ? c : c & (0x3Fu >> more);
    for (size_t k = 1; k <= more && i + k < text.size(); ++k)
        code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += more + 1;
    return code;
}

// Kana, ideographs, Japanese punctuation and full-width forms: what marks a text as Japanese.
bool japanese(uint32_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// The first Japanese left in `html` once each of `allowed` is taken out, with the text around
// it; empty when there is none. Longer names go first, so that a short one inside a long one
// does not leave the rest of the long one behind.
std::string japanese_left(std::string html, std::vector<std::string> allowed) {
    std::sort(allowed.begin(), allowed.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& name : allowed)
        for (size_t at; (at = html.find(name)) != std::string::npos;)
            html.replace(at, name.size(), " ");
    for (size_t i = 0; i < html.size();) {
        const size_t at = i;
        if (japanese(next_code_point(html, i))) return html.substr(at < 40 ? 0 : at - 40, 100);
    }
    return {};
}

// The value of attribute `name` in the tag text `tag` ("<img src=\"a.png\" ..."), or empty.
std::string attribute(const std::string& tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return {};
    const size_t from = at + key.size();
    return tag.substr(from, tag.find('"', from) - from);
}

// The tags of `html` in order, as "<name attributes" without the closing '>'.
std::vector<std::string> tags(const std::string& html) {
    std::vector<std::string> out;
    for (size_t i = html.find('<'); i != std::string::npos; i = html.find('<', i + 1)) {
        const size_t end = html.find('>', i);
        if (end == std::string::npos) break;
        out.push_back(html.substr(i, end - i));
    }
    return out;
}

// The element name of a tag text ("<h2 id=\"x\"" -> "h2"); empty for end tags and declarations.
std::string tag_name(const std::string& tag) {
    size_t end = 1;
    while (end < tag.size() && std::isalnum(static_cast<unsigned char>(tag[end])))
        ++end;
    return tag.substr(1, end - 1);
}

// What makes `html` not well formed, or empty when it is: every element but the void ones is
// closed, in order; '<' and '&' in the text are written as references.
std::string html_problem(const std::string& html) {
    static const std::set<std::string> kVoid = {"meta", "img", "br", "hr", "link", "input", "wbr"};
    const auto at_line = [&](size_t at) {
        return " at line " + std::to_string(1 + std::count(html.begin(), html.begin() + at, '\n'));
    };
    std::vector<std::string> open;
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '&') {
            const size_t end = html.find(';', i);
            const std::string ref =
                end == std::string::npos ? std::string() : html.substr(i + 1, end - i - 1);
            const bool named = !ref.empty() && std::all_of(ref.begin(), ref.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c));
            });
            const bool numeric =
                ref.size() > 1 && ref[0] == '#' &&
                std::all_of(ref.begin() + 1, ref.end(), [](char c) {
                    return std::isxdigit(static_cast<unsigned char>(c)) || c == 'x';
                });
            if (ref.size() > 8 || (!named && !numeric)) return "a bare '&'" + at_line(i);
            i = end + 1;
            continue;
        }
        if (html[i] != '<') {
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0 || html.compare(i, 2, "<!") == 0) {
            const bool comment = html.compare(i, 4, "<!--") == 0;
            const size_t end = html.find(comment ? "-->" : ">", i);
            if (end == std::string::npos) return "an unclosed declaration" + at_line(i);
            i = end + (comment ? 3 : 1);
            continue;
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        size_t k = i + (closing ? 2 : 1);
        const size_t name_from = k;
        while (k < html.size() && std::isalnum(static_cast<unsigned char>(html[k])))
            ++k;
        const std::string name = html.substr(name_from, k - name_from);
        if (name.empty()) return "a bare '<'" + at_line(i);
        for (; k < html.size() && html[k] != '>'; ++k) {
            if (html[k] == '"') {
                k = html.find('"', k + 1);
                if (k == std::string::npos) return "an unclosed attribute value" + at_line(i);
            } else if (html[k] == '<') {
                return "a '<' inside a tag" + at_line(i);
            }
        }
        if (k >= html.size()) return "an unclosed tag" + at_line(i);
        if (closing) {
            if (open.empty() || open.back() != name)
                return "</" + name + ">" + at_line(i) + " while <" +
                       (open.empty() ? std::string("nothing") : open.back()) + "> is open";
            open.pop_back();
        } else if (!kVoid.count(name)) {
            open.push_back(name);
        }
        i = k + 1;
        // A style sheet is not markup: go on at its end tag.
        if (!closing && name == "style") {
            i = html.find("</style", i);
            if (i == std::string::npos) return "an unclosed style sheet";
        }
    }
    if (!open.empty()) return "<" + open.back() + "> is never closed";
    return {};
}

// The outline of a page: its headings, tables and rows, lists and items, preformatted blocks
// and pictures in order, each with its id or its picture, to compare a page with its
// translation.
std::vector<std::string> outline(const std::string& html) {
    static const std::set<std::string> kStructure = {"h1", "h2", "h3", "h4", "nav", "table",
                                                     "tr", "ul", "ol", "li", "pre", "img"};
    std::vector<std::string> out;
    for (const std::string& tag : tags(html)) {
        const std::string name = tag_name(tag);
        if (!kStructure.count(name)) continue;
        std::string item = name;
        if (const std::string id = attribute(tag, "id"); !id.empty()) item += "#" + id;
        if (name == "img") item += " " + attribute(tag, "src");
        out.push_back(item);
    }
    return out;
}

// The values of attribute `name` over every tag of `html`.
std::vector<std::string> attributes(const std::string& html, const std::string& name) {
    std::vector<std::string> out;
    for (const std::string& tag : tags(html))
        if (std::string value = attribute(tag, name); !value.empty()) out.push_back(value);
    return out;
}

// The Japanese the English manual may hold: names stored in the files beside the program (the
// demo library's books, songs and maps, the pattern book's folders, phrases and section
// markers, the demo song's tracks, the scale map's scales), which every interface language
// shows as written.
const std::vector<std::string> kStoredNames = {
    // The demo library.
    "デモソング", "はじまりの朝", "パターン見本", "標準パターン", "ハ長調", "ニ長調", "バンド",
    "パート", "メロディ",
    // The standard pattern book, its folders and the sections of its phrases.
    "パターンブック_標準", "ピアノ・キーボード", "ベース", "ギター", "ドラム", "イントロ", "メイン",
    "フィル", "エンディング", "バリエーション", "ブレイク",
    // Its phrases.
    "ピアノ 8ビート 刻み", "ピアノ 16ビート コンピング", "ピアノ アルペジオ 8分",
    "ピアノ アルペジオ 16分", "ピアノ バラード", "エレピ シャッフル", "オルガン パッド",
    "ベース ルート 8分", "ベース ルート＆5度", "ベース オクターブ 16ビート", "ウォーキングベース",
    "ベース 16ビート フィンガー", "4弦ベース スラップ", "4弦ベース ロック 8分",
    "ギター 8ビート ストローク", "ギター 16ビート カッティング", "ギター アルペジオ",
    "ギター バラード 3連アルペジオ", "ギター パワーコード 8分", "ドラム 8ビート", "ドラム 16ビート",
    "ドラム シャッフル", "ドラム ハーフタイム", "ドラム バラード", "ドラム フィル集",
    "ドラム 4つ打ち",
    // The scale map.
    "ブルース", "メジャーブルース", "ホールトーン", "ハーモニックメジャー", "ヨナ抜き短音階",
    "民謡音階", "律音階", "都節音階", "陰音階", "琉球音階", "ハンガリアンマイナー",
    "フリジアン ドミナント", "ダブルハーモニック", "ビバップ ドミナント", "ビバップ メジャー",
    "クロマチック"};

// The bytes of every file the data generator wrote under the application folder's `folders`.
std::string stored_bytes(std::initializer_list<const char*> folders) {
    std::string out;
    for (const char* folder : folders)
        for (const std::string& file : kv_test::generated_files(app_data(folder)))
            out += read_bytes(app_data(std::string(folder) + "/" + file)) + '\n';
    return out;
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
    for (const char* page : kManuals) {
        SCOPED_TRACE(page);
        const std::string html = read_bytes(app_data(page));
        std::istringstream in(help.out);
        int commands = 0;
        bool in_commands = false;  // the options of every command come before the commands
        for (std::string line; std::getline(in, line);) {
            if (line == "commands:") in_commands = true;
            if (!in_commands || line.rfind("  ", 0) != 0) continue;
            std::istringstream words(line);
            std::string name;
            words >> name;
            ++commands;
            EXPECT_NE(html.find("<code>korvante " + name), std::string::npos) << name;
        }
        EXPECT_GE(commands, 12);
    }
}

TEST(ManualPages, ManualListsEveryPhraseOfThePatternBook) {
    kv_test::AppData data;
    MseqObject* book = data.find("パターンブック_標準");
    ASSERT_NE(book, nullptr);
    for (const char* page : kManuals) {
        SCOPED_TRACE(page);
        const std::string html = read_bytes(app_data(page));
        size_t phrases = 0;
        for (MseqObject* n : kv_test::AppData::nodes_of(book, MTYPE_LEAF_PHRASE)) {
            ++phrases;
            const std::string name = kv_codec::utf8_from_cp932(n->name.str());
            EXPECT_NE(html.find(name), std::string::npos) << name;
        }
        EXPECT_EQ(phrases, 26u);
    }
}

TEST(ManualPages, BothManualsAreWellFormedAndLinkToEachOther) {
    for (const auto& [page, lang, other] :
         {std::tuple{"manual/index.html", "ja", "en/index.html"},
          std::tuple{"manual/en/index.html", "en", "../index.html"}}) {
        SCOPED_TRACE(page);
        const std::string html = read_bytes(app_data(page));
        ASSERT_FALSE(html.empty());
        EXPECT_TRUE(valid_utf8(html));
        EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(html.find(std::string("<html lang=\"") + lang + "\">"), std::string::npos);
        EXPECT_EQ(html_problem(html), "");
        // Every link inside the page lands on a section, and every link to a file of the
        // manual finds it; the other language's manual is among them.
        const std::vector<std::string> ids = attributes(html, "id");
        const std::vector<std::string> links = attributes(html, "href");
        for (const std::string& link : links) {
            if (link[0] == '#') {
                EXPECT_TRUE(std::find(ids.begin(), ids.end(), link.substr(1)) != ids.end())
                    << "no section " << link;
            } else {
                const auto folder = std::filesystem::path(app_data(page)).parent_path();
                EXPECT_TRUE(std::filesystem::is_regular_file(folder / link)) << link;
            }
        }
        EXPECT_TRUE(std::find(links.begin(), links.end(), other) != links.end())
            << "no link to " << other;
    }
    // The check finds what a hand-written page gets wrong.
    EXPECT_EQ(html_problem("<p>A <code>&lt;prog&gt;</code> &amp; <img src=\"a.png\"></p>"), "");
    EXPECT_NE(html_problem("<p>the macro <prog> in a path</p>"), "");
    EXPECT_NE(html_problem("<ul><li>one</ul>"), "");
    EXPECT_NE(html_problem("<p>drums & bass</p>"), "");
    EXPECT_NE(html_problem("<p><a href=\"x.html>x</a></p>"), "");
    EXPECT_NE(html_problem("<table><tr><td>1</td></tr>"), "");
}

TEST(ManualPages, EnglishManualHasTheSectionsTablesAndPicturesOfTheJapaneseOne) {
    const std::string ja = read_bytes(app_data("manual/index.html"));
    const std::string en = read_bytes(app_data("manual/en/index.html"));
    EXPECT_EQ(attributes(en, "id"), attributes(ja, "id"));
    const std::vector<std::string> ja_outline = outline(ja), en_outline = outline(en);
    EXPECT_GE(std::count(ja_outline.begin(), ja_outline.end(), "tr"), 90);
    // The first place where the two part ways, rather than two long lists.
    const auto [ja_at, en_at] =
        std::mismatch(ja_outline.begin(), ja_outline.end(), en_outline.begin(), en_outline.end());
    EXPECT_TRUE(ja_at == ja_outline.end() && en_at == en_outline.end())
        << "after item " << (ja_at - ja_outline.begin()) << ": "
        << (ja_at == ja_outline.end() ? "(end)" : *ja_at) << " in Japanese, "
        << (en_at == en_outline.end() ? "(end)" : *en_at) << " in English";
    EXPECT_EQ(outline("<h2 id=\"a\">A</h2><p><img src=\"b.png\" alt=\"\"></p><table><tr><td>"),
              (std::vector<std::string>{"h2#a", "img b.png", "table", "tr"}));
}

TEST(ManualPages, EachManualShowsEveryPictureBesideItAndOnlyThose) {
    std::set<std::string> japanese_pictures;
    for (const char* page : kManuals) {
        SCOPED_TRACE(page);
        const auto folder = std::filesystem::path(app_data(page)).parent_path();
        std::set<std::string> shown, beside;
        for (const std::string& tag : tags(read_bytes(app_data(page))))
            if (tag_name(tag) == "img") shown.insert(attribute(tag, "src"));
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".png") beside.insert(entry.path().filename().string());
        EXPECT_EQ(shown, beside);
        for (const std::string& picture : shown)
            EXPECT_EQ(read_bytes((folder / picture).string()).rfind("\x89PNG\r\n\x1a\n", 0), 0u)
                << picture;
        if (japanese_pictures.empty()) {
            japanese_pictures = shown;
            EXPECT_GE(shown.size(), 5u);
        } else {
            EXPECT_EQ(shown, japanese_pictures);
        }
    }
}

TEST(ManualPages, EnglishManualHoldsNoJapaneseButNamesStoredInFiles) {
    const std::string html = read_bytes(app_data("manual/en/index.html"));
    // The one word of Japanese the program does not store: the link to the Japanese manual,
    // in its own language.
    const std::string link = "<a href=\"../index.html\" hreflang=\"ja\" lang=\"ja\">日本語</a>";
    EXPECT_NE(html.find(link), std::string::npos);
    std::vector<std::string> allowed = kStoredNames;
    allowed.push_back(link);
    EXPECT_EQ(japanese_left(html, allowed), "");
    // Each name is really stored in a file the program reads, byte for byte in its code page.
    const std::string stored = stored_bytes({"mymusic", "pattern_v01", "define"});
    ASSERT_FALSE(stored.empty());
    for (const std::string& name : kStoredNames)
        EXPECT_NE(stored.find(kv_codec::cp932_from_utf8(name)), std::string::npos) << name;
    // The check sees Japanese that a translation left behind, whatever its script.
    EXPECT_EQ(japanese_left("C D\xE2\x99\xAF E \xE2\x86\x90 min'y\xC5\x8D", {}), "");
    EXPECT_NE(japanese_left("the key of ハ長調 or ニ長調", {"ハ長調"}), "");
    EXPECT_NE(japanese_left("a dotted quarter（付点 4 分音符）", {}), "");
    EXPECT_NE(japanese_left("press the ＯＮ button", {}), "");
}

TEST(ManualPages, EnglishManualCoversConceptsToolsAndFiles) {
    const std::string html = read_bytes(app_data("manual/en/index.html"));
    const char* const topics[] = {
        "library",
        "music book",
        "pattern book",
        "leaf",
        "folder",
        "Note track",
        "Phrase track",
        "Chord track",
        "Transposition track",
        "Pure",
        "Tone",
        "Scale degree",
        "Chord degree",
        "Rhythm",
        "chord map",
        "palette",
        "scale map",
        "stage map",
        "Start marker",
        "Degree shift",
        "Block keep",
        "Block cut",
        "Sound cut",
        "Stretch",
        "step input",
        "real-time recording",
        "--lang",
        "&lt;prog&gt;",
        "&lt;room&gt;",
        "&lt;book&gt;",
        "&lt;with&gt;",
        "define\\korvante.cfg",
        "define\\mapscale.def",
        "mymusic\\library.kvnr",
        "pattern_v01\\pattern.kvnb",
        "template\\music01\\music.kvnl",
        "manual\\en\\index.html",
        "notice.html",
        "bash tools/demo.sh",
        "bash tools/test.sh",
    };
    for (const char* topic : topics)
        EXPECT_NE(html.find(topic), std::string::npos) << topic;
}

}  // namespace manual_test
