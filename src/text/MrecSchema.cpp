#include "text/MrecSchema.h"

#include <array>

namespace mrec_schema {

namespace {

using F = MrecFieldDecl;

const std::vector<MrecTypeDecl>& types() {
    static const std::vector<MrecTypeDecl> list = {
        {"MSEQ_OBJECT",
         "MSEQ_TYPE",
         {{"NUM", "m_ParentID"},
          {"NUM", "m_ObjectID"},
          {"NUM", "m_Type"},
          {"STR", "m_Name"},
          {"STR", "m_Path"},
          {"VAR", "m_With"}}},
        {"MSEQ_ROOM", nullptr, {{"MSEQ_OBJECT", "m_Books", true}}},
        {"MSEQ_BOOK", nullptr, {{"NUM", "m_NextID"}, {"MSEQ_OBJECT", "m_Leafs", true}}},
        {"MSEQ_MUSIC",
         "MSEQ_TRACK_FLAGS",
         {{"STR", "m_Title"},
          {"STR", "m_Copyright"},
          {"NUM", "m_NextID"},
          {"NUM", "m_MapStageID"},
          {"NUM", "m_MapChordID"},
          {"NUM", "m_TrackChordID"},
          {"NUM", "m_Tempo"},
          {"NUM", "m_Transpose"},
          {"MSEQ_BLOCK_WORD", "m_Program"},
          {"NUM", "m_BlankBar"},
          {"NUM", "m_GpM"},
          {"NUM", "m_GxB"},
          {"NUM", "m_ShowState"},
          {"NUM", "m_NoteState"},
          {"MSEQ_OBJECT", "m_Leafs", true}}},
        {"MSEQ_BLOCK_WORD",
         nullptr,
         {{"NUM", "m_Attrib"}, {"NUM", "m_Group"}, {"NUM", "m_Index"}, {"STR", "m_Name"}}},
        {"MSEQ_KEY", nullptr, {{"NUM", "m_Flags"}, {"NUM", "m_Key"}}},
        {"MSEQ_TRACK_GROUP", nullptr, {{"NUM", "m_Channel"}, {"NUM", "m_TrackChordID"}}},
        {"MSEQ_TRACK_TEXT", nullptr, {{"STR", "m_Text"}}},
        {"MSEQ_TRACK_LABEL",
         nullptr,
         {{"NUM", "m_Flags"}, {"NUM", "m_Beat"}, {"MSEQ_BLOCK_LABEL", "m_Blocks", true}}},
        {"MSEQ_TRACK_LINK",
         nullptr,
         {{"NUM", "m_Flags"}, {"NUM", "m_Beat"}, {"MSEQ_BLOCK_LINK", "m_Blocks", true}}},
        {"MSEQ_TRACK_VALUE",
         nullptr,
         {{"NUM", "m_Flags"}, {"NUM", "m_Beat"}, {"MSEQ_BLOCK_VALUE", "m_Blocks", true}}},
        {"MSEQ_TRACK_CHORD",
         nullptr,
         {{"NUM", "m_Beat"}, {"NUM", "m_MapID"}, {"MSEQ_BLOCK_CHORD", "m_Blocks", true}}},
        {"MSEQ_TRACK_MSG",
         nullptr,
         {{"NUM", "m_Flags"},
          {"NUM", "m_Beat"},
          {"NUM", "m_Channel"},
          {"NUM", "m_STime"},
          {"NUM", "m_Power"},
          {"MSEQ_MSG_FORM", "m_Form"},
          {"MSEQ_BLOCK_VALUE", "m_Blocks", true}}},
        {"MSEQ_TRACK_NOTE",
         nullptr,
         {{"NUM", "m_Flags"},
          {"NUM", "m_Beat"},
          {"NUM", "m_Channel"},
          {"NUM", "m_TrackChordID"},
          {"MSEQ_BLOCK_WORD", "m_Rhythm"},
          {"NUM", "m_Octave"},
          {"NUM", "m_LRate"},
          {"NUM", "m_VRate"},
          {"NUM", "m_STime"},
          {"NUM", "m_ETime"},
          {"NUM", "m_NoteType"},
          {"MSEQ_BLOCK_NOTE", "m_Blocks", true}}},
        {"MSEQ_TRACK_REFER",
         nullptr,
         {{"NUM", "m_Flags"},
          {"NUM", "m_Beat"},
          {"NUM", "m_Channel"},
          {"NUM", "m_TrackChordID"},
          {"NUM", "m_Octave"},
          {"NUM", "m_VRate"},
          {"NUM", "m_STime"},
          {"MSEQ_BLOCK_REFER", "m_Blocks", true}}},
        {"MSEQ_BLOCK_LABEL", nullptr, {{"NUM", "m_Index"}, {"STR", "m_Label"}}},
        {"MSEQ_BLOCK_LINK", nullptr, {{"NUM", "m_Index"}, {"NUM", "m_LinkID"}}},
        {"MSEQ_BLOCK_VALUE", nullptr, {{"NUM", "m_Index"}, {"NUM", "m_Value"}}},
        {"MSEQ_BLOCK_NOTE",
         "MSEQ_NOTE_BLOCK_TYPE",
         {{"NUM", "m_Index"},
          {"NUM", "m_Flags"},
          {"NUM", "m_Type"},
          {"NUM", "m_Length"},
          {"NUM", "m_STime"},
          {"NUM", "m_ETime"},
          {"NUM", "m_Octave"},
          {"NUM", "m_Whole"},
          {"NUM", "m_Semi"},
          {"NUM", "m_Velocity"}}},
        {"MSEQ_BLOCK_REFER",
         "MSEQ_REFER_BLOCK_MODE",
         {{"NUM", "m_Index"},
          {"NUM", "m_Length"},
          {"NUM", "m_PhraseID"},
          {"STR", "m_StartMarker"},
          {"NUM", "m_Rotation"},
          {"NUM", "m_Mode"}}},
        {"MSEQ_BLOCK_CHORD",
         nullptr,
         {{"NUM", "m_Index"},
          {"STR", "m_Type"},
          {"NUM", "m_Flags"},
          {"NUM", "m_DescOctave"},
          {"NUM", "m_DescDegree"},
          {"NUM", "m_Octave"},
          {"NUM", "m_Root"},
          {"MSEQ_KEY", "m_Keys2", true}}},
        {"MSEQ_BLOCK_SCALE",
         nullptr,
         {{"NUM", "m_Index"},
          {"STR", "m_Name"},
          {"NUM", "m_ShowTune"},
          {"NUM", "m_ToneTune"},
          {"MSEQ_KEY", "m_Keys2", true}}},
        {"MSEQ_BLOCK_STAGE",
         nullptr,
         {{"NUM", "m_Index"},
          {"NUM", "m_Flags"},
          {"MSEQ_BLOCK_WORD", "m_Program"},
          {"NUM", "m_Volume"},
          {"NUM", "m_Pan"},
          {"NUM", "m_Reverb"},
          {"NUM", "m_Chorus"},
          {"NUM", "m_Bend"},
          {"NUM", "m_Hold"},
          {"NUM", "m_Modulation"},
          {"NUM", "m_Expression"},
          {"NUM", "m_BendRange"}}},
        {"MSEQ_MSG_FORM",
         nullptr,
         {{"MSEQ_BLOCK_WORD", "m_Name"}, {"MSEQ_MSG_VAR", "m_Vars", true}, {"NUM", "m_Msg", true}}},
        {"MSEQ_MSG_VAR",
         nullptr,
         {{"NUM", "m_Lsb"},
          {"NUM", "m_Msb"},
          {"NUM", "m_Def"},
          {"NUM", "m_Min"},
          {"NUM", "m_Max"},
          {"NUM", "m_Base"},
          {"NUM", "m_Diff"}}},
        {"MSEQ_MAP_CHORD",
         nullptr,
         {{"NUM", "m_ToneKey"},
          {"NUM", "m_SDegKey"},
          {"NUM", "m_CDegKey"},
          {"MSEQ_BLOCK_SCALE", "m_Scale"},
          {"MSEQ_BLOCK_CHORD", "m_Blocks", true}}},
        {"MSEQ_MAP_SCALE", nullptr, {{"MSEQ_BLOCK_SCALE", "m_Blocks", true}}},
        {"MSEQ_MAP_STAGE",
         "MSEQ_MAP_STAGE_SETUP",
         {{"NUM", "m_Setup"}, {"MSEQ_BLOCK_STAGE", "m_Blocks", true}}},
    };
    return list;
}

const std::vector<MrecConstTable>& tables() {
    static const std::vector<MrecConstTable> list = {
        {"MSEQ_TRACK_FLAGS", MrecNumFormat::Hex8, {{"MTF_OUTPUT", 0x1}}},
        {"MSEQ_NOTE_BLOCK_TYPE",
         MrecNumFormat::Dec,
         {{"MNBT_PURE", 1},
          {"MNBT_TONE", 2},
          {"MNBT_SDEG", 3},
          {"MNBT_CDEG", 4},
          {"MNBT_RHYTHM", 5}}},
        {"MSEQ_REFER_BLOCK_MODE",
         MrecNumFormat::Dec,
         {{"MRBM_BLOCK_KEEP", 1},
          {"MRBM_BLOCK_CUT", 2},
          {"MRBM_SOUND_CUT", 3},
          {"MRBM_STRETCH", 4}}},
        {"MSEQ_MAP_STAGE_SETUP",
         MrecNumFormat::Hex8,
         {{"MMS_SETUP_GM1", 0x1}, {"MMS_SETUP_GM2", 0x2}}},
        {"MSEQ_CONFIG_PLAY_MODE",
         MrecNumFormat::Dec,
         {{"MCPM_BUILD", 1}, {"MCPM_PRELOAD", 2}, {"MCPM_INTERPRET", 3}}},
    };
    return list;
}

}  // namespace

const MrecTypeDecl* find_type(std::string_view name) {
    for (const MrecTypeDecl& t : types()) {
        if (name == t.name) return &t;
    }
    return nullptr;
}

const MrecConstTable* find_table(std::string_view name) {
    for (const MrecConstTable& t : tables()) {
        if (name == t.name) return &t;
    }
    return nullptr;
}

const MrecConstTable& type_group(TypeGroup group) {
    static const std::array<MrecConstTable, 3> groups = {{
        {"MSEQ_TYPE",
         MrecNumFormat::Hex8,
         {{"MTYPE_BOOK_LIBRARY", 0x00020001}, {"MTYPE_BOOK_MUSIC", 0x00020002}}},
        {"MSEQ_TYPE",
         MrecNumFormat::Hex8,
         {{"MTYPE_LEAF_FOLDER", 0x00030011},
          {"MTYPE_LEAF_MUSIC", 0x00030012},
          {"MTYPE_LEAF_PHRASE", 0x00030013},
          {"MTYPE_LEAF_STAGE", 0x00030022},
          {"MTYPE_LEAF_CHORD", 0x00030021}}},
        {"MSEQ_TYPE",
         MrecNumFormat::Hex8,
         {{"MTYPE_TRACK_ROOT_MUSIC", 0x00031001},
          {"MTYPE_TRACK_ROOT_PHRASE", 0x00031002},
          {"MTYPE_TRACK_HEADER", 0x00031011},
          {"MTYPE_TRACK_DETAIL", 0x00031012},
          {"MTYPE_TRACK_GROUP", 0x00031021},
          {"MTYPE_TRACK_TEXT", 0x00031031},
          {"MTYPE_TRACK_LABEL", 0x00031180},
          {"MTYPE_TRACK_LYRIC", 0x00031105},
          {"MTYPE_TRACK_MARKER", 0x00031106},
          {"MTYPE_TRACK_MEMO", 0x00031190},
          {"MTYPE_TRACK_VALUE", 0x00031200},
          {"MTYPE_TRACK_TEMPO", 0x00031251},
          {"MTYPE_TRACK_MSG", 0x00031252},
          {"MTYPE_TRACK_CHORD", 0x00031041},
          {"MTYPE_TRACK_REFER", 0x00031081},
          {"MTYPE_TRACK_NOTE", 0x00031082}}},
    }};
    return groups[static_cast<size_t>(group)];
}

const char* constant_name(const MrecConstTable& table, uint32_t value) {
    for (const MrecConst& c : table.constants) {
        if (c.value == value) return c.name;
    }
    return nullptr;
}

}  // namespace mrec_schema
