#include "text/MrecEntityWriter.h"

#include "model/core/MseqEntity.h"
#include "model/core/MseqObject.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "text/MrecHeader.h"
#include "text/MrecRecordWriter.h"
#include "text/MrecWriter.h"

const char* mrec_main_record_type(unsigned type) {
    switch (type) {
        case MTYPE_ROOM:
            return "MSEQ_ROOM";
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC:
            return "MSEQ_BOOK";
        case MTYPE_LEAF_MUSIC:
        case MTYPE_LEAF_PHRASE:
            return "MSEQ_MUSIC";
        case MTYPE_LEAF_CHORD:
            return "MSEQ_MAP_CHORD";
        case MTYPE_LEAF_STAGE:
            return "MSEQ_MAP_STAGE";
        case MTYPE_LEAF_SCALE:
            return "MSEQ_MAP_SCALE";
        case MTYPE_CONFIG:
            return "MSEQ_CONFIG";
        default:
            return nullptr;
    }
}

const char* mrec_content_record_type(unsigned type) {
    switch (type) {
        case MTYPE_LEAF_MUSIC:
            return "MSEQ_MUSIC";
        case MTYPE_TRACK_GROUP:
            return "MSEQ_TRACK_GROUP";
        case MTYPE_TRACK_TEXT:
            return "MSEQ_TRACK_TEXT";
        case MTYPE_TRACK_CHORD:
            return "MSEQ_TRACK_CHORD";
        case MTYPE_TRACK_REFER:
            return "MSEQ_TRACK_REFER";
        case MTYPE_TRACK_NOTE:
            return "MSEQ_TRACK_NOTE";
        case MTYPE_TRACK_LYRIC:
        case MTYPE_TRACK_MARKER:
        case MTYPE_TRACK_MEMO:
            return "MSEQ_TRACK_LABEL";
        case MTYPE_TRACK_TEMPO:
            return "MSEQ_TRACK_VALUE";
        case MTYPE_TRACK_MSG:
            return "MSEQ_TRACK_MSG";
        case MTYPE_TRACK_CHORD_MAP:
            return "MSEQ_TRACK_LINK";
        default:
            return nullptr;
    }
}

bool mrec_write_entity(MseqEntity* entity, std::string* out) {
    if (!entity) return false;
    const MSEQ_TYPE type = entity->type();
    const char* record = mrec_main_record_type(type);
    const char* target = mrec_target_word(mrec_target_of_type(type));
    const char* type_name = mseq_type_constant(type);
    if (!record || !target || !type_name) return false;

    MrecWriter w;
    MrecRecordWriter records(w);
    w.magic();
    w.header(MrecWriter::soft_version(), target, type_name, entity->name);
    w.base_types();
    if (!records.declare_main(entity)) return false;
    w.main_data_line(record);
    if (!records.write_main(entity)) return false;
    *out = w.text();
    return true;
}
