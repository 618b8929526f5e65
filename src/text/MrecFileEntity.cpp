#include "text/MrecFileEntity.h"

#include "model/library/MseqBook.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/library/MseqRoom.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapScale.h"
#include "model/theory/MseqMapStage.h"

bool mrec_make_file_entity(uint32_t type, MrecFileEntity& out) {
    out = MrecFileEntity();
    MseqEntity* e = nullptr;
    switch (type) {
        case MTYPE_ROOM:
            out.node = std::make_unique<MseqObject>(MID_ROOM, type, CkvString(), MseqDescPath());
            e = new MseqRoom(out.node.get());
            break;
        case MTYPE_BOOK_LIBRARY:
        case MTYPE_BOOK_MUSIC:
            out.node =
                std::make_unique<MseqObject>(mseq_book_id(256), type, CkvString(), MseqDescPath());
            if (type == MTYPE_BOOK_LIBRARY) {
                e = new MseqBookLibrary(out.node.get());
            } else {
                e = new MseqBookMusic(out.node.get());
            }
            break;
        case MTYPE_LEAF_MUSIC:
            out.node = std::make_unique<MseqObject>(mseq_make_id(256, 0x10001), type, CkvString(),
                                                    MseqDescPath());
            e = new MseqMusic(out.node.get());
            break;
        case MTYPE_LEAF_PHRASE:
            e = new MseqPhrase;
            break;
        case MTYPE_LEAF_CHORD:
            e = new MseqMapChord;
            break;
        case MTYPE_LEAF_STAGE:
            e = new MseqMapStage;
            break;
        case MTYPE_LEAF_SCALE:
            e = new MseqMapScale;
            break;
        case MTYPE_CONFIG:
            e = new MseqConfig;
            break;
        default:
            return false;
    }
    if (out.node) {
        out.node->attach(e);
        out.entity = ref_ptr<MseqEntity>(e);
    } else {
        out.entity = ref_ptr<MseqEntity>::adopt(e);
    }
    return true;
}
