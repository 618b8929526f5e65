#pragma once

#include "edit/MedtEntity.h"

class MseqEntity;

// The editor of a chord map or stage map: it marks its map as being edited, stamps it and holds
// one reference while it lives; the chord and stage views change the map directly.
// User-interface thread only.
class MedtMapEditor : public MedtEntity {
public:
    explicit MedtMapEditor(MseqEntity* map);
    ~MedtMapEditor() override;
    MseqEntity* edited_entity() override { return map_; }

private:
    MseqEntity* map_;
};

class MedtMapChord final : public MedtMapEditor {
public:
    using MedtMapEditor::MedtMapEditor;
    uint32_t kind() const override { return MKIND_EDT_MAP_CHORD; }
};

class MedtMapStage final : public MedtMapEditor {
public:
    using MedtMapEditor::MedtMapEditor;
    uint32_t kind() const override { return MKIND_EDT_MAP_STAGE; }
};
