// The names of instruments, drums, keys, message forms and preset scales in English, beside the
// Japanese ones that stay as they always were.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "model/block/MseqBlockScale.h"
#include "model/lang/KvLanguage.h"
#include "model/theory/MseqKeyName.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"
#include "platform/TextCodec.h"

namespace english_names_test {

using kv_codec::cp932_from_utf8;
using kv_codec::utf8_from_cp932;

// Sets a language for one test and puts Japanese back after it.
class LanguageScope {
public:
    explicit LanguageScope(kv_language language) { kv_set_language(language); }
    ~LanguageScope() { kv_set_language(kv_language::japanese); }
};

bool ascii_only(const std::string& s) {
    for (unsigned char c : s) {
        if (c > 0x7F) return false;
    }
    return true;
}

std::string name_of(const MseqMapWord& map, uint16_t kind, uint32_t index) {
    const MseqBlockWord* w = map.get(kind, 0, index);
    return w ? utf8_from_cp932(w->m_Name.str()) : "(none)";
}

TEST(EnglishWords, ProgramsKitsAndDrumsHaveTheGeneralMidiNames) {
    struct Case {
        uint16_t kind;
        uint32_t index;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {MWORD_PROGRAM, 0, "Acoustic Grand Piano", "グランドピアノ"},
        {MWORD_PROGRAM, 1, "Bright Acoustic Piano", "ブライトピアノ"},
        {MWORD_PROGRAM, 24, "Acoustic Guitar (nylon)", "A.ナイロンギター"},
        {MWORD_PROGRAM, 52, "Choir Aahs", "合唱団（アー）"},
        {MWORD_PROGRAM, 87, "Lead 8 (bass + lead)", "ベース＆リード"},
        {MWORD_PROGRAM, 127, "Gunshot", "発砲音"},
        {MWORD_DRUM_KIT, 0, "Standard Kit", "スタンダードドラム"},
        {MWORD_DRUM_KIT, 56, "SFX Kit (GM2)", "SFX (GM2)"},
        {MWORD_DRUM_SOUND, 35, "Acoustic Bass Drum", "アコースティックバス"},
        {MWORD_DRUM_SOUND, 36, "Bass Drum 1", "バスドラム"},
        {MWORD_DRUM_SOUND, 37, "Side Stick", "サイドスティック"},
        {MWORD_DRUM_SOUND, 42, "Closed Hi-Hat", "クローズハイハット"},
        {MWORD_DRUM_SOUND, 81, "Open Triangle", "オープントライアングル"},
        // The other notes are numbered from 1 in each language.
        {MWORD_DRUM_SOUND, 0, "Drum 1", "P.1"},
        {MWORD_DRUM_SOUND, 34, "Drum 35", "P.35"},
        {MWORD_DRUM_SOUND, 127, "Drum 128", "P.128"},
    };
    {
        LanguageScope english(kv_language::english);
        for (const Case& c : cases) {
            EXPECT_EQ(name_of(MseqMapWord::builtin(), c.kind, c.index), c.english) << c.index;
            // The Japanese dictionary is there still, unchanged.
            EXPECT_EQ(name_of(MseqMapWord::builtin(kv_language::japanese), c.kind, c.index),
                      c.japanese)
                << c.index;
        }
    }
    for (const Case& c : cases)
        EXPECT_EQ(name_of(MseqMapWord::builtin(), c.kind, c.index), c.japanese) << c.index;
}

TEST(EnglishWords, TheEnglishDictionaryHoldsTheSameWordsWithDistinctEnglishNames) {
    const MseqMapWord& ja = MseqMapWord::builtin(kv_language::japanese);
    const MseqMapWord& en = MseqMapWord::builtin(kv_language::english);
    ASSERT_EQ(en.words().size(), ja.words().size());
    std::set<std::pair<uint16_t, std::string>> names;
    for (const auto& [key, word] : en.words()) {
        const MseqBlockWord* other = ja.get(word.m_Attrib, word.m_Group, word.m_Index);
        ASSERT_NE(other, nullptr) << word.m_Attrib << "/" << word.m_Index;
        ASSERT_FALSE(word.m_Name.empty());
        EXPECT_TRUE(ascii_only(word.m_Name)) << utf8_from_cp932(word.m_Name.str());
        EXPECT_TRUE(names.insert({word.m_Attrib, word.m_Name}).second) << word.m_Name << " twice";
        // Only the drum notes outside the key map carry an ASCII name in Japanese.
        if (!ascii_only(other->m_Name)) {
            EXPECT_NE(word.m_Name, other->m_Name);
        }
    }
}

TEST(EnglishWords, APickedWordKeepsItsNameWhenTheLanguageChanges) {
    // The stage map of a new music copies the piano word: it is stored with the name of the
    // language it was made in and stays so, however the dictionary is shown later.
    const MseqBlockWord japanese_piano = MseqMapWord::builtin().find(MWORD_PROGRAM, 0, 0);
    MseqBlockWord english_piano;
    {
        LanguageScope english(kv_language::english);
        english_piano = MseqMapWord::builtin().find(MWORD_PROGRAM, 0, 0);
        EXPECT_EQ(japanese_piano.m_Name, CkvString(cp932_from_utf8("グランドピアノ")));
    }
    EXPECT_EQ(english_piano.m_Name, CkvString("Acoustic Grand Piano"));
    EXPECT_EQ(english_piano.m_Index, japanese_piano.m_Index);
    EXPECT_EQ(english_piano.m_Attrib, japanese_piano.m_Attrib);
}

TEST(EnglishWords, ABuiltinWordIsFoundByItsNameInEitherLanguage) {
    const CkvString japanese_snare(cp932_from_utf8("アコースティックスネア"));
    for (kv_language language : {kv_language::japanese, kv_language::english}) {
        LanguageScope scope(language);
        const MseqBlockWord* by_japanese =
            MseqMapWord::builtin_named(MWORD_DRUM_SOUND, japanese_snare);
        const MseqBlockWord* by_english =
            MseqMapWord::builtin_named(MWORD_DRUM_SOUND, CkvString("Acoustic Snare"));
        ASSERT_NE(by_japanese, nullptr);
        ASSERT_NE(by_english, nullptr);
        EXPECT_EQ(by_japanese->m_Index, 38u);
        EXPECT_EQ(by_english->m_Index, 38u);
        // A name of another kind is not taken for a drum sound.
        EXPECT_EQ(MseqMapWord::builtin_named(MWORD_DRUM_SOUND, CkvString("Gunshot")), nullptr);
        EXPECT_EQ(MseqMapWord::builtin_named(MWORD_PROGRAM, CkvString("")), nullptr);
    }
    // The numbered names of both languages name the same note.
    const MseqBlockWord* numbered = MseqMapWord::builtin_named(MWORD_DRUM_SOUND, CkvString("P.3"));
    const MseqBlockWord* english =
        MseqMapWord::builtin_named(MWORD_DRUM_SOUND, CkvString("Drum 3"));
    ASSERT_TRUE(numbered && english);
    EXPECT_EQ(numbered->m_Index, 2u);
    EXPECT_EQ(english->m_Index, 2u);
}

TEST(EnglishKeyNames, LettersAndKeysWithSharpsAndFlats) {
    struct Case {
        int32_t pc;
        int32_t mode;
        const char* english;
    };
    const Case cases[] = {
        {0, MKEYNAME_MAJOR, "C major"},     {0, MKEYNAME_MINOR, "C minor"},
        {1, MKEYNAME_MAJOR, "D♭ major"},    {1, MKEYNAME_MINOR, "C♯ minor"},
        {3, MKEYNAME_MINOR, "D♯/E♭ minor"}, {6, MKEYNAME_MAJOR, "G♭/F♯ major"},
        {10, MKEYNAME_MINOR, "B♭ minor"},   {5, MKEYNAME_MAJOR, "F major"},
        {1, MKEYNAME_LETTER, "C♯"},         {-1, MKEYNAME_LETTER, "B"},
        {13, MKEYNAME_MINOR, "C♯ minor"},   {8, 7, "G♯"},
    };
    LanguageScope english(kv_language::english);
    std::set<std::string> names;
    for (const Case& c : cases) {
        const CkvString& name = mseq_key_name(c.pc, c.mode);
        // ♯ and ♭ are CP932 characters: they must not have become '?'.
        EXPECT_EQ(name, CkvString(cp932_from_utf8(c.english))) << c.pc << "/" << c.mode;
        EXPECT_EQ(name.find('?'), std::string::npos);
    }
    for (int32_t pc = 0; pc < 12; ++pc) {
        for (int32_t mode : {MKEYNAME_LETTER, MKEYNAME_MAJOR, MKEYNAME_MINOR})
            names.insert(mseq_key_name(pc, mode));
    }
    EXPECT_EQ(names.size(), 36u);
}

TEST(EnglishKeyNames, TheJapaneseNamesComeBackAndEarlierReferencesStayValid) {
    const CkvString& japanese = mseq_key_name(1, MKEYNAME_MINOR);
    const std::string before = japanese;
    {
        LanguageScope english(kv_language::english);
        EXPECT_EQ(utf8_from_cp932(mseq_key_name(1, MKEYNAME_MINOR).str()), "C♯ minor");
        EXPECT_EQ(japanese, before) << "a name handed out earlier is not overwritten";
    }
    EXPECT_EQ(utf8_from_cp932(mseq_key_name(1, MKEYNAME_MINOR).str()), "嬰ハ短");
    EXPECT_EQ(mseq_key_name(1, MKEYNAME_LETTER), CkvString("C#"));
}

TEST(EnglishForms, TheBuiltinMessageFormsAreNamedInEnglishWithTheSameMessages) {
    const MseqMsgFormMap& japanese = MseqMsgFormMap::builtin();
    const std::string bend = utf8_from_cp932(japanese.find(30)->m_Name.m_Name.str());
    LanguageScope english(kv_language::english);
    const MseqMsgFormMap& forms = MseqMsgFormMap::builtin();
    ASSERT_EQ(forms.forms().size(), japanese.forms().size());
    for (size_t i = 0; i < forms.forms().size(); ++i) {
        const MseqMsgForm& en = forms.forms()[i];
        const MseqMsgForm& ja = japanese.forms()[i];
        EXPECT_EQ(en.m_Name.m_Index, ja.m_Name.m_Index);
        EXPECT_EQ(en.m_Msg, ja.m_Msg);
        EXPECT_EQ(en.m_Vars, ja.m_Vars);
        EXPECT_TRUE(ascii_only(en.m_Name.m_Name)) << en.m_Name.m_Index;
        EXPECT_NE(en.m_Name.m_Name, ja.m_Name.m_Name) << en.m_Name.m_Index;
    }
    EXPECT_EQ(forms.find(30)->m_Name.m_Name, CkvString("Pitch Bend"));
    EXPECT_EQ(forms.find(10)->m_Name.m_Name, CkvString("Pan"));
    EXPECT_EQ(forms.find(94)->m_Name.m_Name, CkvString("Celeste/Delay"));
    EXPECT_EQ(bend, "ピッチベンド");
    // A form built for one's own dictionary follows the language asked for.
    MseqMsgFormMap own;
    own.add_builtin(kv_language::japanese);
    EXPECT_EQ(utf8_from_cp932(own.find(30)->m_Name.m_Name.str()), "ピッチベンド");
}

TEST(EnglishScales, PresetsAreNamedInEnglishAndANewChordMapTakesTheEnglishName) {
    std::vector<const MseqBlockScale*> japanese;
    for (int32_t p = 1; p <= MseqBlockScale::kPresetCount; ++p)
        japanese.push_back(MseqBlockScale::preset(p));
    LanguageScope english(kv_language::english);
    for (int32_t p = 1; p <= MseqBlockScale::kPresetCount; ++p) {
        const MseqBlockScale* en = MseqBlockScale::preset(p);
        const MseqBlockScale* ja = japanese[static_cast<size_t>(p - 1)];
        ASSERT_EQ(en == nullptr, ja == nullptr) << p;
        if (!en) continue;
        EXPECT_TRUE(ascii_only(en->m_Name)) << p;
        // Everything but the name is the same scale.
        MseqBlockScale renamed = *ja;
        renamed.m_Name = en->m_Name;
        EXPECT_EQ(renamed, *en) << p;
    }
    EXPECT_EQ(MseqBlockScale::preset(1)->m_Name, CkvString("1 - Ionian (major)"));
    EXPECT_EQ(MseqBlockScale::preset(6)->m_Name, CkvString("6 - Aeolian (minor)"));
    EXPECT_EQ(MseqBlockScale::preset(11)->m_Name, CkvString("Harmonic minor"));
    EXPECT_EQ(utf8_from_cp932(japanese[0]->m_Name.str()), "1 - Ionian (長調)");

    MseqMapChord map;
    EXPECT_EQ(map.m_Scale.m_Name, CkvString("1 - Ionian (major)"));
    ASSERT_TRUE(map.select_preset(12));
    EXPECT_EQ(map.m_Scale.m_Name, CkvString("Melodic minor"));
}

}  // namespace english_names_test
