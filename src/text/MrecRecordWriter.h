#pragma once

#include <cstdint>

#include "text/MrecWriter.h"

class MseqBlockChord;
class MseqBlockNote;
class MseqBlockRefer;
class MseqTrack;
class MseqBlockScale;
class MseqBlockStage;
class MseqBlockWord;
class MseqConfig;
class MseqMapChord;
class MseqMapScale;
class MseqMapStage;
struct MseqMsgForm;
class MseqBook;
class MseqEntity;
class MseqMusic;
class MseqObject;
class MseqRoom;

// Writes the records of the model's entities in their exact line layouts: the declarations a
// main record needs, the main record itself, object entries with embedded contents, and the
// nested records. One instance per save; user-interface thread.
class MrecRecordWriter {
public:
    explicit MrecRecordWriter(MrecWriter& w) : w_(w) {}

    // Declares every record type the entity's main record needs, in file order; false when the
    // entity has no main record.
    bool declare_main(MseqEntity* entity);

    // The main record at depth 0, ending with CR LF; false when content is missing or an
    // embedded content has no record type.
    bool write_main(MseqEntity* entity);

    // A one-line word record: { attrib; group; index; "name"; }
    void word(const MseqBlockWord& word);
    // One-line block records with their position key.
    void chord(const MseqBlockChord& chord, int32_t index);
    void scale(const MseqBlockScale& scale, int32_t index);
    void stage(const MseqBlockStage& stage, int32_t index);
    void note(const MseqBlockNote& note, int32_t index);
    void refer(const MseqBlockRefer& refer, int32_t index);
    // A message form as a multi-line record with its braces at `depth`.
    void msg_form(const MseqMsgForm& form, int depth);

private:
    void declare_music_types(MseqMusic* music);
    bool write_room(MseqRoom* room, int depth);
    bool write_book(MseqBook* book, int depth);
    bool write_music(MseqMusic* music, int depth);
    void write_map_chord(const MseqMapChord& map);
    void write_map_scale(const MseqMapScale& map);
    void write_map_stage(const MseqMapStage& map);
    void write_config(const MseqConfig& config);
    // An MSEQ_KEY array, inline, with one space before its brace.
    template <class Keys>
    void keys(const Keys& list, int32_t count);
    // One object entry at `depth`, with its embedded content when it has one.
    bool write_object(MseqObject* node, uint32_t parent_id, int depth);
    bool write_content(MseqObject* node, int depth);
    // The content record of a track kept in its music's file, its braces at `depth`.
    bool write_track(MseqTrack* track, const char* record, int depth);
    // The m_Blocks array of a block sequence, its prefix at `depth`.
    template <class Track, class WriteBlock>
    void blocks(const Track& track, const char* element_type, int depth, WriteBlock write);
    // The MSEQ_TYPE value of an object entry: the constant's name when this file defines it.
    void object_type(uint32_t type);
    void open_array(const char* element_type, int depth);
    void close_array(int depth);

    MrecWriter& w_;
    mrec_schema::TypeGroup group_ = mrec_schema::TypeGroup::Leaves;
};
