#pragma once

#include "model/core/MseqType.h"

class MplyPlayer;
class MseqEntity;

// What the engine runs: something that starts once per run and then generates events window
// by window. The engine's thread only (the owner creates and hands it over).
class MplyEntity {
public:
    MplyEntity() = default;
    MplyEntity(const MplyEntity&) = delete;
    MplyEntity& operator=(const MplyEntity&) = delete;
    virtual ~MplyEntity() = default;

    // The class type code.
    virtual MSEQ_TYPE GetType() const = 0;
    // The entity when `code` is its class's code, else nullptr.
    virtual MplyEntity* IsKindOf(MSEQ_TYPE code) = 0;
    // The model entity it plays; nullptr when it has none.
    virtual MseqEntity* GetSource() const = 0;
    // Gets ready for a run of `player`, inserting the events of the start; false aborts the run.
    virtual bool Start(MplyPlayer* player) = 0;
    // Generates the events of the player's current window; false when everything is generated.
    virtual bool Generate(MplyPlayer* player) = 0;
};
