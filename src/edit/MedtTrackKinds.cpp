#include "edit/MedtTrackKinds.h"

#include <type_traits>

#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "edit/MedtViewCommands.h"
#include "model/block/MseqBlockLink.h"
#include "model/block/MseqBlockStage.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqId.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/theory/MseqMapWord.h"
#include "model/theory/MseqMsgForm.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackGroup.h"
#include "model/track/MseqTrackInherit.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackLink.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "model/track/MseqTrackSequence.h"
#include "model/track/MseqTrackText.h"
#include "model/track/MseqTrackValue.h"

namespace {

// A row of a kind's table.
using KindRow = MedtPropertyRow;

// --- the model a row reads --------------------------------------------------------------------

template <class Model>
constexpr MSEQ_TYPE kTrackType = 0;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackNote> = MTYPE_TRACK_NOTE;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackRefer> = MTYPE_TRACK_REFER;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackMsg> = MTYPE_TRACK_MSG;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackGroup> = MTYPE_TRACK_GROUP;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackChord> = MTYPE_TRACK_CHORD;
template <>
constexpr MSEQ_TYPE kTrackType<MseqTrackText> = MTYPE_TRACK_TEXT;

// The object a row of `track` stands for: the edited music for the root's rows, the stored
// track otherwise; nullptr when there is none of that class.
template <class Model>
Model* model(const MedtTrack& track) {
    if constexpr (std::is_same_v<Model, MseqMusic>) {
        return track.editor()->music();
    } else {
        MseqTrack* t = track.stored();
        return t ? t->cast_to<Model>(kTrackType<Model>) : nullptr;
    }
}

template <class T>
struct member_of;
template <class M, class V>
struct member_of<V M::*> {
    using type = M;
};

// The field `Field` of the row's model; nullptr without the model.
template <auto Field>
auto* field_of(const MedtTrack& track) {
    using Model = typename member_of<decltype(Field)>::type;
    Model* m = model<Model>(track);
    return m ? &(m->*Field) : nullptr;
}

template <auto Field>
int32_t* number_field(const MedtTrack& track) {
    return field_of<Field>(track);
}

// --- texts and choices ----------------------------------------------------------------------

MseqBlockWord number_word(int32_t v) {
    return MseqBlockWord(0, 0, static_cast<uint32_t>(v));
}

CkvString text_number(int32_t v) {
    return medt_format("%d", v);
}

CkvString text_link(const MseqObject* node, MSEQ_ID id) {
    if (!id) return CkvString();
    return medt_format("%s [ID: %08xh]", node ? node->name.c_str() : "", id);
}

// The answer of a choice: the value and text handed out, current or not.
int choice(const MseqBlockWord& v, const CkvString& t, bool current, MseqBlockWord* value,
           CkvString* text) {
    if (value) *value = v;
    if (text) *text = t;
    return current ? MCHOICE_CURRENT : MCHOICE_ITEM;
}

// The name of a word of the built-in dictionary; the word's own name when it has one.
CkvString word_name(const MseqBlockWord& w) {
    if (!w.m_Name.empty()) return w.m_Name;
    const MseqBlockWord* known = MseqMapWord::builtin().get(w.m_Attrib, w.m_Group, w.m_Index);
    return known ? known->m_Name : CkvString();
}

// Choice `index` among the dictionary words of kind `kind`.
int word_choice(uint16_t kind, const MseqBlockWord& current, int32_t index, MseqBlockWord* value,
                CkvString* text) {
    if (index < 0) return MCHOICE_PAST_END;
    int32_t i = 0;
    for (const auto& [key, word] : MseqMapWord::builtin().words()) {
        if (word.m_Attrib != kind) continue;
        if (i++ == index) {
            const bool cur = current.m_Attrib == kind && current.m_Index == word.m_Index;
            return choice(word, word.m_Name, cur, value, text);
        }
    }
    return MCHOICE_PAST_END;
}

// A program or drum kit word, normalised; false for any other word.
bool sound_word(const MseqBlockWord& value, MseqBlockWord* out) {
    MseqBlockWord w = value;
    if (w.m_Attrib != MWORD_PROGRAM && w.m_Attrib != MWORD_DRUM_KIT) return false;
    if (!w.normalize()) return false;
    *out = w;
    return true;
}

template <auto Field>
CkvString read_word(const MedtTrack& track, const KindRow&) {
    const MseqBlockWord* w = field_of<Field>(track);
    return w ? word_name(*w) : CkvString();
}

template <auto Field>
CkvString read_text(const MedtTrack& track, const KindRow&) {
    const CkvString* s = field_of<Field>(track);
    return s ? *s : CkvString();
}

template <auto Field>
bool write_text(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    CkvString* s = field_of<Field>(track);
    if (!s) return false;
    *s = value.m_Name;
    return true;
}

// --- links -----------------------------------------------------------------------------------

// A chord track of the music named by a dropped identifier, stored in its own-track form; 0
// clears. False for anything that is not a chord track of the music.
bool chord_track_link(const MedtTrack& track, const MseqBlockWord& value, MSEQ_ID* out) {
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        *out = 0;
        return true;
    }
    MseqMusic* music = track.editor()->music();
    MseqObject* node = music ? music->find_track(id) : nullptr;
    if (!node || node->type != MTYPE_TRACK_CHORD) return false;
    *out = mseq_own_track_id(id);
    return true;
}

// A leaf of the music's book of `type`, stored in its own-book form; 0 clears.
bool leaf_link(const MedtTrack& track, const MseqBlockWord& value, MSEQ_TYPE type, MSEQ_ID* out) {
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        *out = 0;
        return true;
    }
    MseqMusic* music = track.editor()->music();
    const MSEQ_ID key = mseq_own_book_id(id);
    MseqObject* node = music ? music->find(key) : nullptr;
    if (!node || node->type != type) return false;
    *out = key;
    return true;
}

CkvString track_link_text(const MedtTrack& track, MSEQ_ID id) {
    MseqMusic* music = track.editor()->music();
    return text_link(music && id ? music->find_track(id) : nullptr, id);
}

CkvString leaf_link_text(const MedtTrack& track, MSEQ_ID id) {
    MseqMusic* music = track.editor()->music();
    return text_link(music && id ? music->find(id) : nullptr, id);
}

template <auto Field>
CkvString read_track_link(const MedtTrack& track, const KindRow&) {
    const MSEQ_ID* id = field_of<Field>(track);
    return id ? track_link_text(track, *id) : CkvString();
}

template <auto Field>
bool write_chord_track(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MSEQ_ID* id = field_of<Field>(track);
    MSEQ_ID link = 0;
    if (!id || !chord_track_link(track, value, &link)) return false;
    *id = link;
    return true;
}

template <auto Field>
CkvString read_leaf_link(const MedtTrack& track, const KindRow&) {
    const MSEQ_ID* id = field_of<Field>(track);
    return id ? leaf_link_text(track, *id) : CkvString();
}

template <MSEQ_TYPE Leaf, auto Field>
bool write_leaf_link(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MSEQ_ID* id = field_of<Field>(track);
    MSEQ_ID link = 0;
    if (!id || !leaf_link(track, value, Leaf, &link)) return false;
    *id = link;
    return true;
}

// --- block sequences -------------------------------------------------------------------------

size_t block_count(MseqTrack* t) {
    if (!t) return 0;
    if (auto* n = t->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE)) return n->block_count();
    if (auto* r = t->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER)) return r->block_count();
    if (auto* c = t->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD)) return c->block_count();
    if (auto* l = t->cast_to<MseqTrackLabel>(MTYPE_TRACK_LABEL)) return l->block_count();
    if (auto* v = t->cast_to<MseqTrackValue>(MTYPE_TRACK_VALUE)) return v->block_count();
    if (auto* k = t->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK)) return k->block_count();
    return 0;
}

CkvString read_count(const MedtTrack& track, const KindRow&) {
    return medt_format(medt_text(medt_msg::ROW_COUNT_VALUE).c_str(),
                       static_cast<int>(static_cast<int64_t>(block_count(track.stored()))));
}

CkvString read_beats(const MedtTrack& track, const KindRow&) {
    return text_number(track.beats());
}

int choose_beats(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                 CkvString* text) {
    if (index < 0 || index >= 16) return MCHOICE_PAST_END;
    const int32_t b = kMedtBeatChoices[index];
    return choice(number_word(b), text_number(b), b == track.beats(), value, text);
}

// KindRow 4 with the family's name and help, and row 5 with its help. The beats are changed by the
// beats command (McmdSetProperty), which asks first and can be undone, not by the row.
constexpr KindRow count_row(medt_msg name, medt_msg help) {
    return KindRow{.number = MROW_COUNT,
                   .style = MPS_DISPLAY,
                   .group = MPG_NORMAL,
                   .name = name,
                   .help = help,
                   .read = read_count};
}
constexpr KindRow beats_row(medt_msg help) {
    return KindRow{.number = MROW_BEATS,
                   .style = MPS_CHOICE,
                   .group = MPG_NORMAL,
                   .name = medt_msg::ROW_BEATS,
                   .help = help,
                   .read = read_beats,
                   .choose = choose_beats};
}

constexpr medt_msg kFineBeats = medt_msg::ROW_BEATS_HELP;

// --- the per-channel rows --------------------------------------------------------------------

// The stage map the music links, held by `hold`; nullptr without one.
MseqMapStage* stage_map(const MedtTrack& track, ref_ptr<MseqEntity>& hold) {
    MseqMusic* music = track.editor()->music();
    MseqObject* node = music && music->m_MapStageID ? music->find(music->m_MapStageID) : nullptr;
    if (!node) return nullptr;
    hold = mseq_open(node);
    return hold ? hold->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE) : nullptr;
}

CkvString read_channel(const MedtTrack& track, const KindRow&) {
    const int32_t channel = medt_shown_channel(track);
    return channel >= 0 ? text_number(channel + 1) : CkvString();
}

int choose_channel(const MedtTrack& track, const KindRow& row, int32_t index, MseqBlockWord* value,
                   CkvString* text) {
    if (index < 0 || index > row.range.hi - row.range.lo) return MCHOICE_PAST_END;
    const int32_t channel = row.range.lo + index;
    return choice(number_word(channel), text_number(channel + 1),
                  channel == medt_shown_channel(track), value, text);
}

bool write_channel(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MseqTrack* t = track.stored();
    return t && t->set_channel(medt_word_number(value));
}

// The stage block of the channel the row shows, for reading.
const MseqBlockStage* shown_stage(const MedtTrack& track, ref_ptr<MseqEntity>& hold) {
    MseqMapStage* stage = stage_map(track, hold);
    return stage ? stage->block(medt_shown_channel(track)) : nullptr;
}

// Changes the stage block of the track's own channel with `change` and marks the stage map
// modified; false when the music links no stage map or `change` refuses.
template <class Change>
bool change_stage(MedtTrack& track, Change change) {
    MseqTrack* t = track.stored();
    if (!t) return false;
    ref_ptr<MseqEntity> hold;
    MseqMapStage* stage = stage_map(track, hold);
    MseqBlockStage* block = stage ? stage->block(t->get_channel()) : nullptr;
    if (!block || !change(*block)) return false;
    MseqDesk::instance().mark_modified(stage);
    return true;
}

CkvString read_program(const MedtTrack& track, const KindRow&) {
    ref_ptr<MseqEntity> hold;
    const MseqBlockStage* block = shown_stage(track, hold);
    return block ? word_name(block->m_Program) : CkvString();
}

int choose_program(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                   CkvString* text) {
    ref_ptr<MseqEntity> hold;
    const MseqBlockStage* block = shown_stage(track, hold);
    const uint16_t kind =
        medt_shown_channel(track) == MseqMapStage::kDrumChannel ? MWORD_DRUM_KIT : MWORD_PROGRAM;
    return word_choice(kind, block ? block->m_Program : MseqBlockWord(), index, value, text);
}

bool write_program(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MseqBlockWord w;
    if (!sound_word(value, &w)) return false;
    return change_stage(track, [&w](MseqBlockStage& b) {
        b.m_Program = w;
        return true;
    });
}

template <int32_t MseqBlockStage::*Field>
CkvString read_stage_number(const MedtTrack& track, const KindRow&) {
    ref_ptr<MseqEntity> hold;
    const MseqBlockStage* block = shown_stage(track, hold);
    return block ? text_number(block->*Field) : CkvString();
}

template <int32_t MseqBlockStage::*Field>
bool write_stage_number(MedtTrack& track, const KindRow& row, const MseqBlockWord& value) {
    return change_stage(track, [&](MseqBlockStage& b) {
        b.*Field = row.range.clamp(medt_word_number(value));
        return true;
    });
}

constexpr KindRow kChannelRow = {
    .number = MROW_CHANNEL,
    .style = MPS_CHOICE,
    .group = MPG_CHANNEL,
    .name = medt_msg::ROW_CHANNEL,
    .help = medt_msg::ROW_CHANNEL_HELP,
    .flags = MROWF_CHANNEL,
    .range = MseqTrack::kChannelRange,
    .read = read_channel,
    .choose = choose_channel,
    .write = write_channel,
};
constexpr KindRow kProgramRow = {
    .number = MROW_PROGRAM,
    .style = MPS_CHOICE_CLEAR,
    .group = MPG_CHANNEL,
    .name = medt_msg::ROW_PROGRAM,
    .help = medt_msg::ROW_PROGRAM_HELP,
    .flags = MROWF_CHANNEL,
    .read = read_program,
    .choose = choose_program,
    .write = write_program,
};
constexpr KindRow kVolumeRow = {
    .number = MROW_VOLUME,
    .style = MPS_TYPED,
    .group = MPG_CHANNEL,
    .name = medt_msg::ROW_VOLUME,
    .help = medt_msg::ROW_VOLUME_HELP,
    .flags = MROWF_CHANNEL,
    .range = MseqBlockStage::kVolumeRange,
    .read = read_stage_number<&MseqBlockStage::m_Volume>,
    .write = write_stage_number<&MseqBlockStage::m_Volume>,
};
constexpr KindRow kPanRow = {
    .number = MROW_PAN,
    .style = MPS_TYPED,
    .group = MPG_CHANNEL,
    .name = medt_msg::ROW_PAN,
    .help = medt_msg::ROW_PAN_HELP,
    .flags = MROWF_CHANNEL,
    .range = MseqBlockStage::kPanRange,
    .read = read_stage_number<&MseqBlockStage::m_Pan>,
    .write = write_stage_number<&MseqBlockStage::m_Pan>,
};

// A typed number of `Field` in `range`, shown through `format`.
template <auto Field>
constexpr KindRow number_row(int32_t number, medt_msg name, medt_msg help, MseqRange range,
                             const char* format = "%d") {
    return KindRow{.number = number,
                   .style = MPS_TYPED,
                   .group = MPG_NORMAL,
                   .name = name,
                   .help = help,
                   .range = range,
                   .read = medt_read_number,
                   .write = medt_write_number,
                   .field = number_field<Field>,
                   .format = format};
}

// A link set by dropping a leaf or track on the row, cleared by a right click.
constexpr KindRow link_row(int32_t number, medt_msg name, medt_msg help, KindRow::Read read,
                           KindRow::Write write) {
    return KindRow{.number = number,
                   .style = MPS_LINK,
                   .group = MPG_LINK,
                   .name = name,
                   .help = help,
                   .read = read,
                   .write = write};
}

// A typed text of `Field`.
template <auto Field>
constexpr KindRow text_row(int32_t number, medt_msg name, medt_msg help) {
    return KindRow{.number = number,
                   .style = MPS_TYPED,
                   .group = MPG_NORMAL,
                   .name = name,
                   .help = help,
                   .flags = MROWF_TEXT,
                   .read = read_text<Field>,
                   .write = write_text<Field>};
}

// The chord track a note, phrase or group track links (row 16 of each).
template <auto Field>
constexpr KindRow kChordTrackRow = link_row(MROW_CHORD_TRACK, medt_msg::ROW_CHORD_TRACK,
                                            medt_msg::ROW_CHORD_TRACK_HELP, read_track_link<Field>,
                                            write_chord_track<Field>);

constexpr const char kTicks[] = "%d [tick]";
constexpr const char kPercent[] = "%d [%%]";

}  // namespace

int32_t medt_shown_channel(const MedtTrack& track) {
    return mseq_effective_channel(track.stored());
}

// --- root -------------------------------------------------------------------------------------

namespace {

int choose_test_sound(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                      CkvString* text) {
    const MseqMusic* music = track.editor()->music();
    if (!music) return MCHOICE_NONE;
    return word_choice(MWORD_PROGRAM, music->m_Program, index, value, text);
}

bool write_test_sound(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MseqMusic* music = track.editor()->music();
    return music && sound_word(value, &music->m_Program);
}

constexpr KindRow kMusicRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    text_row<&MseqMusic::m_Title>(MROW_MUSIC_TITLE, medt_msg::ROW_TITLE, medt_msg::ROW_TITLE_HELP),
    text_row<&MseqMusic::m_Copyright>(MROW_MUSIC_COPYRIGHT, medt_msg::ROW_COPYRIGHT,
                                      medt_msg::ROW_COPYRIGHT_HELP),
    link_row(MROW_MUSIC_STAGE_MAP, medt_msg::ROW_STAGE_MAP, medt_msg::ROW_STAGE_MAP_HELP,
             read_leaf_link<&MseqMusic::m_MapStageID>,
             write_leaf_link<MTYPE_LEAF_STAGE, &MseqMusic::m_MapStageID>),
    link_row(MROW_MUSIC_CHORD_MAP, medt_msg::ROW_DEFAULT_CHORD_MAP,
             medt_msg::ROW_DEFAULT_CHORD_MAP_HELP, read_leaf_link<&MseqMusic::m_MapChordID>,
             write_leaf_link<MTYPE_LEAF_CHORD, &MseqMusic::m_MapChordID>),
    link_row(MROW_MUSIC_CHORD_TRACK, medt_msg::ROW_DEFAULT_CHORD_TRACK,
             medt_msg::ROW_DEFAULT_CHORD_TRACK_HELP, read_track_link<&MseqMusic::m_TrackChordID>,
             write_chord_track<&MseqMusic::m_TrackChordID>),
    number_row<&MseqMusic::m_Tempo>(MROW_MUSIC_TEMPO, medt_msg::ROW_TEMPO, medt_msg::ROW_TEMPO_HELP,
                                    MseqMusic::kTempoRange),
    number_row<&MseqMusic::m_Transpose>(MROW_MUSIC_TRANSPOSE, medt_msg::ROW_TRANSPOSE,
                                        medt_msg::ROW_TRANSPOSE_HELP, MseqMusic::kTransposeRange),
    number_row<&MseqMusic::m_BlankBar>(MROW_MUSIC_BLANK_BARS, medt_msg::ROW_BLANK_BARS,
                                       medt_msg::ROW_BLANK_BARS_HELP, MseqMusic::kBlankBarRange),
};

constexpr KindRow kPhraseRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    number_row<&MseqMusic::m_Tempo>(MROW_PHRASE_TEST_TEMPO, medt_msg::ROW_TEST_TEMPO,
                                    medt_msg::ROW_TEST_TEMPO_HELP, MseqMusic::kTempoRange),
    {.number = MROW_PHRASE_TEST_SOUND,
     .style = MPS_CHOICE_CLEAR,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_TEST_SOUND,
     .help = medt_msg::ROW_TEST_SOUND_HELP,
     .read = read_word<&MseqMusic::m_Program>,
     .choose = choose_test_sound,
     .write = write_test_sound},
};

}  // namespace

MedtPropertyTable MedtTrackRoot::property_rows() const {
    if (in_phrase()) return kPhraseRows;
    return kMusicRows;
}

// --- text ------------------------------------------------------------------------------------

namespace {
constexpr KindRow kTextRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    {.number = MROW_TEXT,
     .style = MPS_TYPED,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_TEXT,
     .help = medt_msg::ROW_TEXT,
     .flags = MROWF_TEXT | MROWF_HIDDEN,
     .write = write_text<&MseqTrackText::m_Text>},
};
}  // namespace

MedtPropertyTable MedtTrackText::property_rows() const {
    return kTextRows;
}

// --- group -----------------------------------------------------------------------------------

namespace {
constexpr KindRow kGroupRows[] = {
    kMedtNameRow, kMedtIdRow, kMedtTypeRow, kChannelRow,
    kProgramRow,  kVolumeRow, kPanRow,      kChordTrackRow<&MseqTrackGroup::m_TrackChordID>,
};
}  // namespace

MedtPropertyTable MedtTrackGroup::property_rows() const {
    return kGroupRows;
}

// --- note ------------------------------------------------------------------------------------

namespace {

// The note kinds in choice order, with their names.
struct NoteKind {
    uint32_t value;
    medt_msg name;
};
constexpr NoteKind kNoteKinds[5] = {
    {MseqTrackNote::kNoteTypeOfEditor, medt_msg::NOTE_KIND_EDITOR},
    {2, medt_msg::NOTE_KIND_TONE},
    {4, medt_msg::NOTE_KIND_CHORD},
    {5, medt_msg::NOTE_KIND_RHYTHM},
    {1, medt_msg::NOTE_KIND_PURE},
};

CkvString read_note_kind(const MedtTrack& track, const KindRow&) {
    const uint32_t* kind = field_of<&MseqTrackNote::m_NoteType>(track);
    for (const NoteKind& k : kNoteKinds) {
        if (kind && k.value == *kind) return medt_text(k.name);
    }
    return CkvString();
}

int choose_note_kind(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                     CkvString* text) {
    const uint32_t* kind = field_of<&MseqTrackNote::m_NoteType>(track);
    if (!kind) return MCHOICE_NONE;
    if (index < 0 || index >= 5) return MCHOICE_PAST_END;
    const NoteKind& k = kNoteKinds[index];
    return choice(number_word(static_cast<int32_t>(k.value)), medt_text(k.name), k.value == *kind,
                  value, text);
}

// The editor's own choice, or a note kind clamped into the row's range.
bool write_note_kind(MedtTrack& track, const KindRow& row, const MseqBlockWord& value) {
    uint32_t* kind = field_of<&MseqTrackNote::m_NoteType>(track);
    if (!kind) return false;
    *kind = value.m_Index == MseqTrackNote::kNoteTypeOfEditor
                ? MseqTrackNote::kNoteTypeOfEditor
                : static_cast<uint32_t>(row.range.clamp(medt_word_number(value)));
    return true;
}

int choose_rhythm(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                  CkvString* text) {
    const MseqBlockWord* rhythm = field_of<&MseqTrackNote::m_Rhythm>(track);
    if (!rhythm) return MCHOICE_NONE;
    return word_choice(MWORD_DRUM_SOUND, *rhythm, index, value, text);
}

// A drum sound of the dictionary, or none (cleared).
bool write_rhythm(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MseqBlockWord* rhythm = field_of<&MseqTrackNote::m_Rhythm>(track);
    if (!rhythm) return false;
    if (value.m_Attrib == MWORD_NONE) {
        *rhythm = MseqBlockWord();
        return true;
    }
    MseqBlockWord w = value;
    if (w.m_Attrib != MWORD_DRUM_SOUND || !w.normalize()) return false;
    *rhythm = w;
    return true;
}

constexpr KindRow kNoteRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    count_row(medt_msg::ROW_NOTE_COUNT, medt_msg::ROW_NOTE_COUNT_HELP),
    beats_row(medt_msg::ROW_BEATS_NOTES_HELP),
    kChannelRow,
    kProgramRow,
    kVolumeRow,
    kPanRow,
    kChordTrackRow<&MseqTrackNote::m_TrackChordID>,
    {.number = MROW_NOTE_KIND,
     .style = MPS_CHOICE,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_NOTE_KIND,
     .help = medt_msg::ROW_NOTE_KIND_HELP,
     .range = MseqTrackNote::kNoteTypeRange,
     .read = read_note_kind,
     .choose = choose_note_kind,
     .write = write_note_kind},
    {.number = MROW_NOTE_RHYTHM,
     .style = MPS_CHOICE_CLEAR,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_NOTE_RHYTHM,
     .help = medt_msg::ROW_NOTE_RHYTHM_HELP,
     .read = read_word<&MseqTrackNote::m_Rhythm>,
     .choose = choose_rhythm,
     .write = write_rhythm},
    {.number = MROW_NOTE_OCTAVE,
     .style = MPS_CHOICE,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_NOTE_OCTAVE,
     .help = medt_msg::ROW_NOTE_OCTAVE_HELP,
     .range = MseqTrackNote::kOctaveRange,
     .read = medt_read_number,
     .choose = medt_choose_number,
     .write = medt_write_number,
     .field = number_field<&MseqTrackNote::m_Octave>,
     .shown_offset = -1},
    number_row<&MseqTrackNote::m_LRate>(MROW_NOTE_LENGTH_RATE, medt_msg::ROW_LENGTH_RATE,
                                        medt_msg::ROW_LENGTH_RATE_HELP,
                                        MseqTrackNote::kLengthRateRange, kPercent),
    number_row<&MseqTrackNote::m_STime>(MROW_NOTE_START_TIME, medt_msg::ROW_START_LAG,
                                        medt_msg::ROW_NOTE_START_LAG_HELP, MseqTrack::kTimeLagRange,
                                        kTicks),
    number_row<&MseqTrackNote::m_ETime>(MROW_NOTE_END_TIME, medt_msg::ROW_END_LAG,
                                        medt_msg::ROW_NOTE_END_LAG_HELP, MseqTrack::kTimeLagRange,
                                        kTicks),
    number_row<&MseqTrackNote::m_VRate>(MROW_NOTE_VELOCITY_RATE, medt_msg::ROW_VELOCITY_RATE,
                                        medt_msg::ROW_NOTE_VELOCITY_RATE_HELP,
                                        MseqTrack::kScaleRange, kPercent),
};

}  // namespace

MedtPropertyTable MedtTrackNote::property_rows() const {
    return kNoteRows;
}

CkvString MedtTrackNote::display_name() const {
    const MseqMusic* music = editor_->music();
    const bool shown = music && (uint32_t(music->m_ShowState) & MSHOW_TRACK_INFO) != 0;
    const int32_t channel = shown && !in_phrase() ? medt_shown_channel(*this) : -1;
    if (channel < 0) return name();
    return medt_format(medt_text(medt_msg::TRACK_NAME_WITH_CHANNEL).c_str(), name().c_str(),
                       channel + 1);
}

// --- phrase track ----------------------------------------------------------------------------

namespace {
constexpr KindRow kReferRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    count_row(medt_msg::ROW_BLOCK_COUNT, medt_msg::ROW_PHRASE_COUNT_HELP),
    beats_row(kFineBeats),
    kChannelRow,
    kProgramRow,
    kVolumeRow,
    kPanRow,
    kChordTrackRow<&MseqTrackRefer::m_TrackChordID>,
    {.number = MROW_REFER_OCTAVE,
     .style = MPS_CHOICE,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_REFER_OCTAVE,
     .help = medt_msg::ROW_REFER_OCTAVE_HELP,
     .range = MseqTrackRefer::kOctaveRange,
     .read = medt_read_number,
     .choose = medt_choose_number,
     .write = medt_write_number,
     .field = number_field<&MseqTrackRefer::m_Octave>},
    number_row<&MseqTrackRefer::m_STime>(MROW_REFER_START_TIME, medt_msg::ROW_START_LAG,
                                         medt_msg::ROW_REFER_START_LAG_HELP,
                                         MseqTrack::kTimeLagRange, kTicks),
    number_row<&MseqTrackRefer::m_VRate>(MROW_REFER_VELOCITY_RATE, medt_msg::ROW_VELOCITY_RATE,
                                         medt_msg::ROW_REFER_VELOCITY_RATE_HELP,
                                         MseqTrack::kScaleRange, kPercent),
};
}  // namespace

MedtPropertyTable MedtTrackRefer::property_rows() const {
    return kReferRows;
}

// --- message track ---------------------------------------------------------------------------

namespace {

CkvString read_form(const MedtTrack& track, const KindRow&) {
    const MseqMsgForm* form = field_of<&MseqTrackMsg::m_Form>(track);
    return form ? form->m_Name.m_Name : CkvString();
}

int choose_form(const MedtTrack& track, const KindRow&, int32_t index, MseqBlockWord* value,
                CkvString* text) {
    const MseqMsgForm* current = field_of<&MseqTrackMsg::m_Form>(track);
    if (!current) return MCHOICE_NONE;
    const auto& forms = MseqMsgFormMap::builtin().forms();
    if (index < 0 || static_cast<size_t>(index) >= forms.size()) return MCHOICE_PAST_END;
    const MseqMsgForm& f = forms[static_cast<size_t>(index)];
    return choice(f.m_Name, f.m_Name.m_Name, f.m_Name.m_Index == current->m_Name.m_Index, value,
                  text);
}

// A form of the built-in table, named by its number.
bool write_form(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MseqMsgForm* current = field_of<&MseqTrackMsg::m_Form>(track);
    const MseqMsgForm* form = MseqMsgFormMap::builtin().find(value.m_Index);
    if (!current || !form) return false;
    *current = *form;
    return true;
}

constexpr KindRow kMsgRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    count_row(medt_msg::ROW_MSG_COUNT, medt_msg::ROW_MSG_COUNT_HELP),
    beats_row(kFineBeats),
    kChannelRow,
    kProgramRow,
    kVolumeRow,
    kPanRow,
    {.number = MROW_MSG_FORM,
     .style = MPS_CHOICE_CLEAR,
     .group = MPG_NORMAL,
     .name = medt_msg::ROW_MSG_FORM,
     .help = medt_msg::ROW_MSG_FORM_HELP,
     .read = read_form,
     .choose = choose_form,
     .write = write_form},
    number_row<&MseqTrackMsg::m_STime>(MROW_MSG_START_TIME, medt_msg::ROW_START_LAG,
                                       medt_msg::ROW_MSG_START_LAG_HELP, MseqTrack::kTimeLagRange,
                                       kTicks),
    number_row<&MseqTrackMsg::m_Power>(MROW_MSG_POWER, medt_msg::ROW_MSG_POWER,
                                       medt_msg::ROW_MSG_POWER_HELP, MseqTrack::kScaleRange,
                                       kPercent),
};

}  // namespace

MedtPropertyTable MedtTrackMsg::property_rows() const {
    return kMsgRows;
}

// --- chord track -----------------------------------------------------------------------------

namespace {

CkvString read_chord_map(const MedtTrack& track, const KindRow&) {
    const MSEQ_ID* id = field_of<&MseqTrackChord::m_MapID>(track);
    if (!id || !*id) return CkvString();
    return mseq_file_number(*id) == 1 ? track_link_text(track, *id) : leaf_link_text(track, *id);
}

// A chord map of the music's book, or a chord-map (modulation) track of the music; 0 clears.
bool write_chord_map(MedtTrack& track, const KindRow&, const MseqBlockWord& value) {
    MSEQ_ID* map = field_of<&MseqTrackChord::m_MapID>(track);
    if (!map) return false;
    const MSEQ_ID id = value.m_Index;
    if (id == 0) {
        *map = 0;
        return true;
    }
    if (mseq_file_number(id) == 1) {
        MseqMusic* music = track.editor()->music();
        MseqObject* node = music ? music->find_track(id) : nullptr;
        if (!node || node->type != MTYPE_TRACK_CHORD_MAP) return false;
        *map = mseq_own_track_id(id);
        return true;
    }
    MSEQ_ID link = 0;
    if (!leaf_link(track, value, MTYPE_LEAF_CHORD, &link)) return false;
    *map = link;
    return true;
}

constexpr KindRow kChordRows[] = {
    kMedtNameRow,
    kMedtIdRow,
    kMedtTypeRow,
    count_row(medt_msg::ROW_CHORD_COUNT, medt_msg::ROW_CHORD_COUNT_HELP),
    beats_row(medt_msg::ROW_BEATS_CHORDS_HELP),
    link_row(MROW_CHORD_MAP, medt_msg::ROW_CHORD_MAP, medt_msg::ROW_CHORD_MAP_HELP, read_chord_map,
             write_chord_map),
};

}  // namespace

MedtPropertyTable MedtTrackChord::property_rows() const {
    return kChordRows;
}

// --- label, value and link tracks ------------------------------------------------------------

namespace {
constexpr KindRow kLabelRows[] = {
    kMedtNameRow,          kMedtIdRow,
    kMedtTypeRow,          count_row(medt_msg::ROW_LABEL_COUNT, medt_msg::ROW_LABEL_COUNT_HELP),
    beats_row(kFineBeats),
};
constexpr KindRow kValueRows[] = {
    kMedtNameRow,          kMedtIdRow,
    kMedtTypeRow,          count_row(medt_msg::ROW_BLOCK_COUNT, medt_msg::ROW_VALUE_COUNT_HELP),
    beats_row(kFineBeats),
};
constexpr KindRow kLinkRows[] = {
    kMedtNameRow,          kMedtIdRow,
    kMedtTypeRow,          count_row(medt_msg::ROW_LINK_COUNT, medt_msg::ROW_LINK_COUNT_HELP),
    beats_row(kFineBeats),
};
}  // namespace

MedtPropertyTable MedtTrackLabel::property_rows() const {
    return kLabelRows;
}

MedtPropertyTable MedtTrackValue::property_rows() const {
    return kValueRows;
}

MedtPropertyTable MedtTrackLink::property_rows() const {
    return kLinkRows;
}

CkvString MedtTrackLink::item_text(int32_t position) const {
    auto* t = stored() ? stored()->cast_to<MseqTrackLink>(MTYPE_TRACK_LINK) : nullptr;
    const MseqBlockLink* b = t ? t->block_at(position) : nullptr;
    if (!b) return CkvString();
    MseqMusic* music = editor_->music();
    MseqObject* node = music ? music->find(b->m_LinkID) : nullptr;
    return medt_format("%s(ID:%xh)", node ? node->name.c_str() : "", b->m_LinkID);
}
