#include "edit/MedtMap.h"

#include <new>

#include "model/core/MseqDesk.h"
#include "model/core/MseqEntity.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"

MedtMapEditor::MedtMapEditor(MseqEntity* map) : map_(map) {
    if (!map_) return;
    map_->add_ref();
    map_->flags |= MEF_EDITING;
    map_->access_stamp = MseqDesk::instance().next_stamp();
}

MedtMapEditor::~MedtMapEditor() {
    if (!map_) return;
    map_->flags &= ~MEF_EDITING;
    map_->release();
}

MgenRef* MseqMapChord::create_editor_model() {
    return new (std::nothrow) MedtMapChord(this);
}

MgenRef* MseqMapStage::create_editor_model() {
    return new (std::nothrow) MedtMapStage(this);
}
