#include "edit/map/MedtMapEditors.h"

#include <new>

#include "model/core/MseqDesk.h"

template <class Map, uint32_t Kind>
MedtMapEditor<Map, Kind>::MedtMapEditor(Map* map) : map_(map) {
    map_->flags |= MEF_EDITING;
    map_->access_stamp = MseqDesk::instance().next_stamp();
}

template <class Map, uint32_t Kind>
MedtMapEditor<Map, Kind>::~MedtMapEditor() {
    map_->flags &= ~MEF_EDITING;
}

template class MedtMapEditor<MseqMapChord, MKIND_EDT_MAP_CHORD>;
template class MedtMapEditor<MseqMapStage, MKIND_EDT_MAP_STAGE>;

MgenRef* MseqMapChord::create_editor_model() {
    return new (std::nothrow) MedtMapChord(this);
}

MgenRef* MseqMapStage::create_editor_model() {
    return new (std::nothrow) MedtMapStage(this);
}
