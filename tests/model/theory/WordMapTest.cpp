#include <gtest/gtest.h>

#include <string>

#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"

namespace word_map_test {

TEST(WordMap, BuiltinLookups) {
    struct Case {
        uint16_t kind;
        uint32_t index;
        std::string name;  // CP932
    };
    const Case cases[] = {
        {MWORD_PROGRAM, 0,
         "\x83\x4f\x83\x89\x83\x93\x83\x68\x83\x73\x83\x41\x83\x6d"},  // グランドピアノ
        {MWORD_PROGRAM, 127, "\x94\xad\x96\x43\x89\xb9"},              // 発砲音
        {MWORD_DRUM_KIT, 56, "SFX (GM2)"},
        {MWORD_DRUM_SOUND, 35,
         "\x83\x41\x83\x52\x81\x5b\x83\x58\x83\x65\x83\x42\x83\x62\x83\x4e"
         "\x83\x6f\x83\x58"},  // アコースティックバス
        // ハンドクラップ (手拍子): ASCII space and parentheses around the kanji.
        {MWORD_DRUM_SOUND, 39,
         "\x83\x6e\x83\x93\x83\x68\x83\x4e\x83\x89\x83\x62\x83\x76 ("
         "\x8e\xe8\x94\x8f\x8e\x71)"},
        {MWORD_DRUM_SOUND, 81,
         "\x83\x49\x81\x5b\x83\x76\x83\x93\x83\x67\x83\x89\x83\x43\x83\x41"
         "\x83\x93\x83\x4f\x83\x8b"},  // オープントライアングル
        // Notes outside the percussion map are numbered from 1.
        {MWORD_DRUM_SOUND, 0, "P.1"},
        {MWORD_DRUM_SOUND, 34, "P.35"},
        {MWORD_DRUM_SOUND, 82, "P.83"},
        {MWORD_DRUM_SOUND, 127, "P.128"},
    };
    const MseqMapWord& map = MseqMapWord::builtin();
    for (const Case& c : cases) {
        const MseqBlockWord* w = map.get(c.kind, 0, c.index);
        ASSERT_NE(w, nullptr) << c.kind << "/" << c.index;
        EXPECT_EQ(*w, MseqBlockWord(c.kind, 0, c.index, CkvString(c.name)));
        EXPECT_EQ(map.find(c.kind, 0, c.index), *w);
    }
}

TEST(WordMap, BuiltinHoldsEveryTableOnce) {
    const MseqMapWord& map = MseqMapWord::builtin();
    int programs = 0, kits = 0, sounds = 0, numbered = 0;
    for (const auto& [key, word] : map.words()) {
        EXPECT_EQ(key, MseqMapWord::key_of(word.m_Attrib, word.m_Group, word.m_Index));
        EXPECT_EQ(word.m_Group, 0);
        ASSERT_FALSE(word.m_Name.empty());
        // A character that CP932 cannot hold would have been turned into '?'.
        EXPECT_EQ(word.m_Name.find('?'), std::string::npos) << word.m_Index;
        switch (word.m_Attrib) {
            case MWORD_PROGRAM:
                ++programs;
                break;
            case MWORD_DRUM_KIT:
                ++kits;
                break;
            case MWORD_DRUM_SOUND:
                ++sounds;
                numbered += word.m_Name == "P." + std::to_string(word.m_Index + 1);
                break;
            default:
                ADD_FAILURE() << "kind " << word.m_Attrib;
        }
    }
    EXPECT_EQ(programs, 128);
    EXPECT_EQ(kits, 9);
    EXPECT_EQ(sounds, 128);
    EXPECT_EQ(numbered, 128 - 47);  // the named percussion keys 35 to 81 keep their names
    for (uint32_t kit : {0u, 8u, 16u, 24u, 25u, 32u, 40u, 48u, 56u})
        EXPECT_NE(map.get(MWORD_DRUM_KIT, 0, kit), nullptr) << kit;
}

TEST(WordMap, MissingWordsComeBackUnnamed) {
    const MseqMapWord& map = MseqMapWord::builtin();
    struct Case {
        uint16_t kind, group;
        uint32_t index;
    };
    const Case cases[] = {
        {MWORD_DRUM_KIT, 0, 1},     {MWORD_PROGRAM, 1, 0},   {MWORD_PROGRAM, 0, 128},
        {MWORD_DRUM_SOUND, 0, 128}, {MWORD_MSG_FORM, 0, 30}, {5, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(map.get(c.kind, c.group, c.index), nullptr);
        EXPECT_EQ(map.find(c.kind, c.group, c.index), MseqBlockWord(c.kind, c.group, c.index));
    }
}

TEST(WordMap, FirstWordAddedWins) {
    MseqMapWord map;
    EXPECT_TRUE(map.add(MseqBlockWord(MWORD_DRUM_SOUND, 0, 36, CkvString("kick"))));
    EXPECT_FALSE(map.add(MseqBlockWord(MWORD_DRUM_SOUND, 0, 36, CkvString("other"))));
    EXPECT_TRUE(map.add(MseqBlockWord(MWORD_DRUM_SOUND, 1, 36, CkvString("group 1"))));
    EXPECT_TRUE(map.add(MseqBlockWord(MWORD_PROGRAM, 0, 36, CkvString("program"))));
    EXPECT_EQ(map.find(MWORD_DRUM_SOUND, 0, 36).m_Name, "kick");
    EXPECT_EQ(map.find(MWORD_DRUM_SOUND, 1, 36).m_Name, "group 1");
    EXPECT_EQ(map.find(MWORD_PROGRAM, 0, 36).m_Name, "program");
    map.add_builtin();
    EXPECT_EQ(map.find(MWORD_DRUM_SOUND, 0, 36).m_Name, "kick");
    EXPECT_EQ(map.words().size(), 128u + 9u + 128u + 1u);
}

TEST(WordMap, WordsAreOrderedByKindGroupThenIndex) {
    MseqMapWord map;
    map.add(MseqBlockWord(MWORD_DRUM_SOUND, 0, 1));
    map.add(MseqBlockWord(MWORD_PROGRAM, 2, 0));
    map.add(MseqBlockWord(MWORD_PROGRAM, 0, 90));
    map.add(MseqBlockWord(MWORD_PROGRAM, 0, 5));
    std::vector<MseqBlockWord> order;
    for (const auto& [key, word] : map.words())
        order.push_back(word);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0].m_Index, 5u);
    EXPECT_EQ(order[1].m_Index, 90u);
    EXPECT_EQ(order[2].m_Group, 2);
    EXPECT_EQ(order[3].m_Attrib, MWORD_DRUM_SOUND);
}

TEST(MsgForm, BuiltinForms) {
    const MseqMsgFormMap& forms = MseqMsgFormMap::builtin();
    std::vector<uint32_t> numbers;
    for (const MseqMsgForm& f : forms.forms()) {
        numbers.push_back(f.m_Name.m_Index);
        EXPECT_EQ(f.m_Name.m_Attrib, MWORD_MSG_FORM);
        ASSERT_EQ(f.m_Vars.size(), 1u);
        ASSERT_EQ(f.m_Msg.size(), 3u);
        EXPECT_EQ(f.m_Msg[2], 0);
        EXPECT_EQ(f.m_Name.m_Name.find('?'), std::string::npos);
        // The built-in forms are valid as they are.
        MseqMsgForm copy = f;
        copy.validate();
        EXPECT_EQ(copy, f) << f.m_Name.m_Index;
        if (f.m_Name.m_Index != 30) {
            EXPECT_EQ(f.m_Msg[0], 0xB0) << f.m_Name.m_Index;
            EXPECT_EQ(f.m_Msg[1], f.m_Name.m_Index);  // the controller number is the form's
            EXPECT_EQ(f.m_Vars[0].m_Lsb, 2);
            EXPECT_EQ(f.m_Vars[0].m_Max, 127);
        }
    }
    EXPECT_EQ(numbers, (std::vector<uint32_t>{30, 1, 10, 11, 64, 91, 92, 93, 94, 95}));

    const MseqMsgForm* bend = forms.find(30);
    ASSERT_NE(bend, nullptr);
    EXPECT_EQ(bend->m_Name.m_Name,
              "\x83\x73\x83\x62\x83\x60\x83\x78\x83\x93\x83\x68");  // ピッチベンド
    EXPECT_EQ(bend->m_Msg, (std::vector<uint8_t>{0xE0, 0x00, 0x00}));
    EXPECT_EQ(bend->m_Vars[0], (MseqMsgVar{1, 2, 8192, 0, 16383, 8192, -8192}));
    const MseqMsgForm* pan = forms.find(10);
    ASSERT_NE(pan, nullptr);
    EXPECT_EQ(pan->m_Name.m_Name, "\x83\x70\x83\x93\x83\x7c\x83\x62\x83\x67");  // パンポット
    EXPECT_EQ(pan->m_Vars[0], (MseqMsgVar{2, 0, 64, 0, 127, 64, 0}));
    const MseqMsgForm* expression = forms.find(11);
    ASSERT_NE(expression, nullptr);
    EXPECT_EQ(expression->m_Vars[0], (MseqMsgVar{2, 0, 127, 0, 127, 0, 0}));
    // セレステ／ディレイ: the slash is the full-width one.
    ASSERT_NE(forms.find(94), nullptr);
    EXPECT_EQ(forms.find(94)->m_Name.m_Name,
              "\x83\x5a\x83\x8c\x83\x58\x83\x65\x81\x5e\x83\x66\x83\x42\x83\x8c\x83\x43");
    EXPECT_EQ(forms.find(2), nullptr);
    EXPECT_EQ(forms.find(0), nullptr);
}

TEST(MsgForm, FirstFormAddedWins) {
    MseqMsgFormMap forms;
    MseqMsgForm a;
    a.m_Name = MseqBlockWord(MWORD_MSG_FORM, 0, 7, CkvString("a"));
    MseqMsgForm b = a;
    b.m_Name.m_Name = "b";
    EXPECT_TRUE(forms.add(a));
    EXPECT_FALSE(forms.add(b));
    ASSERT_NE(forms.find(7), nullptr);
    EXPECT_EQ(forms.find(7)->m_Name.m_Name, "a");
    forms.add_builtin();
    EXPECT_EQ(forms.forms().size(), 11u);
}

TEST(MsgForm, ValidateClampsEveryVariable) {
    struct Case {
        MseqMsgVar in;
        MseqMsgVar out;
    };
    const Case cases[] = {
        // Reversed range: swapped, and the default moves into it.
        {{2, 0, 50, 200, 100, 150, 0}, {2, 0, 100, 100, 200, 150, 0}},
        {{2, 0, 0, -5, 40000, 99999, -40000}, {2, 0, 0, 0, 32767, 32767, -32768}},
        {{2, 0, 300, 0, 127, -1, 40000}, {2, 0, 127, 0, 127, 0, 32767}},
        // Positions must name a data byte of the three-byte message.
        {{3, 1, 0, 0, 127, 0, 0}, {0, 1, 0, 0, 127, 0, 0}},
        {{-1, 2, 0, 0, 127, 0, 0}, {0, 2, 0, 0, 127, 0, 0}},
        {{1, 7, 0, 0, 127, 0, 0}, {1, 0, 0, 0, 127, 0, 0}},
        {{INT32_MAX, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN},
         {0, 0, 0, 0, 32767, 32767, -32768}},
    };
    for (const Case& c : cases) {
        MseqMsgForm form;
        form.m_Name = MseqBlockWord(MWORD_MSG_FORM, 0, 1);
        form.m_Msg = {0xB0, 0x01, 0x00};
        form.m_Vars = {c.in, c.in};
        form.validate();
        ASSERT_EQ(form.m_Vars.size(), 2u);
        EXPECT_EQ(form.m_Vars[0], c.out);
        EXPECT_EQ(form.m_Vars[1], c.out);
    }
}

TEST(MsgForm, ValidateGivesAFormItsWordAndOneVariable) {
    struct Case {
        uint16_t kind;
        uint16_t group;
        uint32_t index;
        uint16_t out_kind;
        uint32_t out_index;
    };
    const Case cases[] = {
        {MWORD_MSG_FORM, 4, 0x1FF, MWORD_MSG_FORM, 0x7F},
        {MWORD_PROGRAM, 0, 10, MWORD_MSG_FORM, 10},
        {0, 0, 10, 0, 10},
    };
    for (const Case& c : cases) {
        MseqMsgForm form;
        form.m_Name = MseqBlockWord(c.kind, c.group, c.index);
        form.validate();
        EXPECT_EQ(form.m_Name.m_Attrib, c.out_kind);
        EXPECT_EQ(form.m_Name.m_Group, 0);
        EXPECT_EQ(form.m_Name.m_Index, c.out_index);
        ASSERT_EQ(form.m_Vars.size(), 1u);
        EXPECT_EQ(form.m_Vars[0], (MseqMsgVar{0, 0, 100, 0, 127, 0, 0}));
    }
}

}  // namespace word_map_test
