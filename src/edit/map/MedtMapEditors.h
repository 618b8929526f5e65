#pragma once

#include "edit/MedtEntity.h"
#include "model/core/ref_ptr.h"
#include "model/theory/MseqMapChord.h"
#include "model/theory/MseqMapStage.h"

// The editor of a map leaf (chord map or stage map): it only holds the map while it is open.
// Opening marks the map as being edited and stamps it with the desk's counter; the map views
// change the map directly (MedtChordMapView, MedtStageMapView). User-interface thread only.
template <class Map, uint32_t Kind>
class MedtMapEditor final : public MedtEntity {
public:
    explicit MedtMapEditor(Map* map);
    ~MedtMapEditor() override;

    uint32_t kind() const override { return Kind; }
    MseqEntity* edited_entity() override { return map_.get(); }
    // The map being edited; never null while the editor lives.
    Map* map() const { return map_.get(); }

private:
    ref_ptr<Map> map_;
};

// The editors the chord-map and stage-map leaves make (their make-editor operation).
using MedtMapChord = MedtMapEditor<MseqMapChord, MKIND_EDT_MAP_CHORD>;
using MedtMapStage = MedtMapEditor<MseqMapStage, MKIND_EDT_MAP_STAGE>;
