#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "model/core/MseqId.h"
#include "model/core/MseqType.h"
#include "model/core/ref_ptr.h"
#include "play/engine/MplyContext.h"
#include "play/engine/MplyEntity.h"

class MplyEventQueue;
class MplyOutput;
class MplyPlayer;
class MseqBlockStage;
class MplyRunSet;
class MplyTrack;
class MseqEntity;
class MseqMapStage;
class MseqMusic;

// Class type code of the player music.
inline constexpr MSEQ_TYPE MPLY_MUSIC = 0x30012;

// A music or phrase compiled for one run: a tree of player tracks mirroring the stored track
// tree, a context, and the stage map of the music. Holds a counted reference to its source (so
// the model outlives the run) and to the stage map. The engine's thread only.
class MplyMusic : public MplyEntity {
public:
    // A player music over `source` (a music or a phrase) that finds everything it plays in
    // `reach`, collected beforehand on the user-interface thread; holds references to both.
    // `reach` must not be null.
    MplyMusic(MseqMusic* source, std::shared_ptr<const MplyRunSet> reach);
    ~MplyMusic() override;

    MSEQ_TYPE GetType() const override { return MPLY_MUSIC; }
    MplyEntity* IsKindOf(MSEQ_TYPE code) override { return code == MPLY_MUSIC ? this : nullptr; }
    MseqEntity* GetSource() const override;
    // Inserts title, copyright and tempo (and, for a phrase, its program and controls; for a
    // music, the stage set-up), builds the track tree and prepares it. True at once when the
    // tree already exists. False without player or source, when the tree cannot be built, when
    // an event cannot be made, or when no track will generate anything.
    bool Start(MplyPlayer* player) override;
    // Copies the player's window into the context and runs the generate pass.
    bool Generate(MplyPlayer* player) override;

    // For a look at the music without a run (an audition): opens the stage map, builds the
    // tree and prepares it from `seek` with the context a run starting there would have,
    // inserting into `queue`; no start events and no window yet (the caller sets the context's
    // window and generates what it needs). True when at least one track will generate.
    bool PrepareOffline(MplyEventQueue& queue, int32_t seek, int32_t play_mode);
    // Inserts into `queue` the set-up a run sends for `channel` at its start: a phrase's
    // program and controls on its channel, or the part of the music's stage map. False when
    // the run sets nothing up there (no stage map, a part not in use, another channel of a
    // phrase) or no memory could be had. After Start or PrepareOffline.
    bool ChannelSetup(MplyEventQueue& queue, int channel);

    // For a referenced phrase: builds the track tree and prepares it with `context` (no start
    // events). True when at least one track will generate.
    bool BuildAndPrepare(MplyContext& context);
    // The generate pass over the tree with `context`: true when a track has blocks left.
    bool GeneratePass(MplyContext& context);

    // The player track made from the stored track `id` (file number forced to 1), or nullptr.
    MplyTrack* FindTrack(MSEQ_ID id) const;
    // The entity of the object `id` of the music when it is of `type`, from the run set;
    // nullptr when the run reaches no such object or it is of another type.
    ref_ptr<MseqEntity> OpenObject(MSEQ_ID id, MSEQ_TYPE type) const;

    MseqMusic* source() const { return m_Source.get(); }
    // Everything the run can reach; shared with the phrases it plays.
    const std::shared_ptr<const MplyRunSet>& reach() const { return m_Reach; }
    // The stage map of the music, or nullptr.
    const MseqMapStage* stage_map() const { return m_StageMap.get(); }
    MplyContext& context() { return m_Context; }
    // The first top-level track of the tree, or nullptr before the tree is built.
    MplyTrack* tree() const { return m_Tree; }

private:
    bool BuildTree();
    void ReleaseTree();
    bool PreparePass(MplyContext& context);
    // The context of a run from `seek` with the given window, inserting into `queue`.
    void ResetContext(MplyEventQueue& queue, int32_t window_start, int32_t window_end, int32_t seek,
                      int32_t play_mode);
    // The program and controls of a phrase played on its own; `out` (may be null) marks its
    // channel as used.
    bool PhraseSetup(MplyEventQueue& queue, MplyOutput* out);
    void OpenStageMap();
    // The stage map's set-up of every part in use (`only` < 0, with the GM resets) or of the
    // part `only`; `out` (may be null) marks the channels as used.
    bool StageSetup(MplyEventQueue& queue, MplyOutput* out, int only);
    static bool PartSetup(MplyEventQueue& queue, uint8_t channel, const MseqBlockStage& part);

    ref_ptr<MseqMusic> m_Source;                // the music or phrase played
    std::shared_ptr<const MplyRunSet> m_Reach;  // what the run may open, opened beforehand
    MplyContext m_Context;                      // channel, window and offsets of the top level
    std::map<MSEQ_ID, MplyTrack*> m_TrackMap;   // stored track id to player track
    MplyTrack* m_Tree = nullptr;                // first top-level player track; owns the tree
    ref_ptr<MseqMapStage> m_StageMap;           // the music's stage map, or null
};
