#include "play/engine/MplyMusic.h"

#include <memory>
#include <new>

#include "model/core/MseqObject.h"
#include "model/core/MseqTitle.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqMapStage.h"
#include "model/track/MseqTrack.h"
#include "play/engine/MplyEventFactory.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"
#include "play/engine/MplyRunSet.h"
#include "play/tracks/MplyTrack.h"

MplyMusic* MseqMusic::create_player_model() {
    std::shared_ptr<const MplyRunSet> reach = MplyRunSet::collect(this);
    if (!reach) return nullptr;
    return new (std::nothrow) MplyMusic(this, std::move(reach));
}

namespace {

// Calls f on every track of the tree in pre-order: a track, its children, then its next
// sibling.
template <class F>
void each_track(MplyTrack* tree, F f) {
    for (MplyTrack* top = tree; top; top = top->next()) {
        for (MplyTrack* t = top; t; t = t->next_in(top))
            f(t);
    }
}

}  // namespace

MplyMusic::MplyMusic(MseqMusic* source, std::shared_ptr<const MplyRunSet> reach)
    : m_Source(source), m_Reach(std::move(reach)) {
    m_Context.music = this;
}

MplyMusic::~MplyMusic() {
    m_StageMap.reset();
    ReleaseTree();
    m_Source.reset();
}

MseqEntity* MplyMusic::GetSource() const {
    return m_Source.get();
}

bool MplyMusic::Start(MplyPlayer* player) {
    if (!player || !m_Source) return false;
    if (m_Tree) return true;
    m_StageMap.reset();
    ReleaseTree();
    ResetContext(player->queue(), player->previous_window_end(), player->window_end(),
                 player->start_tick(), player->play_mode());
    MplyContext& c = m_Context;

    // A title with a stray percent sign still names the music: the expansion keeps what it
    // could not expand, and that is the title sent.
    CkvString title;
    mseq_expand_title(m_Source->m_Title, *m_Source, &title);
    MplyEventQueue& q = *c.queue;
    if (!mply_event::track_name(q, std::move(title))) return false;
    if (!mply_event::text(q, 0, MPLY_TEXT_COPYRIGHT, &m_Source->m_Copyright)) return false;
    if (!mply_event::tempo(q, 0, m_Source->m_Tempo)) return false;

    MplyOutput* out = player->output();
    if (m_Source->type() == MTYPE_LEAF_PHRASE && !PhraseSetup(q, out)) return false;
    OpenStageMap();
    if (m_Source->type() == MTYPE_LEAF_MUSIC && m_StageMap && !StageSetup(q, out, -1)) return false;

    if (!BuildTree()) return false;
    return PreparePass(c);
}

bool MplyMusic::PrepareOffline(MplyEventQueue& queue, int32_t seek, int32_t play_mode) {
    if (!m_Source) return false;
    m_StageMap.reset();
    ReleaseTree();
    ResetContext(queue, seek, seek, seek, play_mode);
    OpenStageMap();
    if (!BuildTree()) return false;
    return PreparePass(m_Context);
}

bool MplyMusic::ChannelSetup(MplyEventQueue& queue, int channel) {
    if (!m_Source || channel < 0 || channel >= MseqMapStage::kChannels) return false;
    if (m_Source->type() == MTYPE_LEAF_PHRASE) {
        return channel == m_Context.channel && PhraseSetup(queue, nullptr);
    }
    return m_StageMap && StageSetup(queue, nullptr, channel);
}

void MplyMusic::ResetContext(MplyEventQueue& queue, int32_t window_start, int32_t window_end,
                             int32_t seek, int32_t play_mode) {
    MplyContext& c = m_Context;
    c.queue = &queue;
    c.music = this;
    c.window_start = window_start;
    c.window_end = window_end;
    c.seek = seek;
    c.marker_end = 0;
    c.time_offset = 0;
    c.cut_end = kMplyOpenEnd;
    c.stretch_origin = 0;
    c.refer_mode = 0;
    c.channel = 0;
    c.degree_shift = 0;
    c.transpose = m_Source->m_Transpose;
    c.play_mode = play_mode;
    c.chord_source = nullptr;
    c.refer_source = nullptr;
    if (m_Source->type() == MTYPE_LEAF_PHRASE) {
        // A phrase played on its own sounds on the first channel, or on the drum channel when
        // its program is a drum kit.
        c.channel = m_Source->m_Program.m_Attrib == MWORD_DRUM_KIT ? MseqMapStage::kDrumChannel : 0;
    }
}

bool MplyMusic::PhraseSetup(MplyEventQueue& q, MplyOutput* out) {
    const MseqBlockWord& program = m_Source->m_Program;
    const auto ch = static_cast<uint8_t>(m_Context.channel);
    if (out) out->mark_channel_used(m_Context.channel);
    return mply_event::program_change(q, ch, static_cast<uint8_t>(program.m_Index)) &&
           mply_event::control(q, ch, 7, 120) && mply_event::control(q, ch, 39, 0) &&
           mply_event::control(q, ch, 10, 64) && mply_event::control(q, ch, 42, 0);
}

void MplyMusic::OpenStageMap() {
    if (ref_ptr<MseqEntity> e = OpenObject(m_Source->m_MapStageID, MTYPE_LEAF_STAGE))
        m_StageMap = ref_ptr<MseqMapStage>(e->cast_to<MseqMapStage>(MTYPE_LEAF_STAGE));
}

bool MplyMusic::StageSetup(MplyEventQueue& q, MplyOutput* out, int only) {
    const MseqMapStage& stage = *m_StageMap;
    if (only < 0) {
        if ((stage.m_Setup & MMS_SETUP_GM1) && !mply_event::exclusive(q, {0x7E, 0x7F, 0x09, 0x01}))
            return false;
        if ((stage.m_Setup & MMS_SETUP_GM2) && !mply_event::exclusive(q, {0x7E, 0x7F, 0x09, 0x03}))
            return false;
    }
    for (int i = 0; i < MseqMapStage::kChannels; ++i) {
        if (only >= 0 && i != only) continue;
        const MseqBlockStage& part = stage.m_Blocks[i];
        const uint32_t f = part.m_Flags;
        if (!(f & MSTAGE_USED)) continue;
        if (out) out->mark_channel_used(i);
        if (!PartSetup(q, static_cast<uint8_t>(i), part)) return false;
    }
    return true;
}

bool MplyMusic::PartSetup(MplyEventQueue& q, uint8_t ch, const MseqBlockStage& part) {
    const uint32_t f = part.m_Flags;
    auto ctl = [&](uint8_t controller, int32_t value) {
        return mply_event::control(q, ch, controller, static_cast<uint8_t>(value));
    };
    bool ok = true;
    if (f & MSTAGE_SOUND_OFF) ok = ok && ctl(120, 0);
    if (f & MSTAGE_NOTES_OFF) ok = ok && ctl(123, 0);
    if (f & MSTAGE_RESET_CONTROLLERS) ok = ok && ctl(121, 0);
    if (f & MSTAGE_BEND_RANGE)
        ok = ok && ctl(101, 0) && ctl(100, 0) && ctl(6, part.m_BendRange) && ctl(38, 0);
    if (f & MSTAGE_PROGRAM)
        ok = ok && mply_event::program_change(q, ch, static_cast<uint8_t>(part.m_Program.m_Index));
    if (f & MSTAGE_VOLUME) ok = ok && ctl(7, part.m_Volume) && ctl(39, 0);
    if (f & MSTAGE_PAN) ok = ok && ctl(10, part.m_Pan) && ctl(42, 0);
    if (f & MSTAGE_REVERB) ok = ok && ctl(91, part.m_Reverb);
    if (f & MSTAGE_CHORUS) ok = ok && ctl(93, part.m_Chorus);
    if (f & MSTAGE_BEND) ok = ok && mply_event::pitch_bend(q, ch, part.m_Bend);
    if (f & MSTAGE_HOLD) ok = ok && ctl(64, part.m_Hold);
    if (f & MSTAGE_MODULATION) ok = ok && ctl(1, part.m_Modulation) && ctl(33, 0);
    if (f & MSTAGE_EXPRESSION) ok = ok && ctl(11, part.m_Expression) && ctl(43, 0);
    return ok;
}

bool MplyMusic::Generate(MplyPlayer* player) {
    if (!player) return false;
    m_Context.window_start = player->previous_window_end();
    m_Context.window_end = player->window_end();
    return GeneratePass(m_Context);
}

bool MplyMusic::BuildAndPrepare(MplyContext& context) {
    ReleaseTree();
    if (!BuildTree()) return false;
    return PreparePass(context);
}

bool MplyMusic::PreparePass(MplyContext& context) {
    bool any = false;
    each_track(m_Tree, [&](MplyTrack* t) { any = t->Prepare(context) || any; });
    return any;
}

bool MplyMusic::GeneratePass(MplyContext& context) {
    bool any = false;
    each_track(m_Tree, [&](MplyTrack* t) { any = t->Generate(context) || any; });
    return any;
}

bool MplyMusic::BuildTree() {
    if (!m_Source) return false;
    MplyTrack* last_top = nullptr;
    bool ok = true;
    for (MseqObject* top = m_Source->root(); top && ok; top = top->next()) {
        for (MseqObject* node = top; node; node = node->next_in(top)) {
            ref_ptr<MseqEntity> e = m_Reach->object(m_Source.get(), node->id, node->type);
            auto* track = e ? e->cast_to<MseqTrack>(MTYPE_TRACK) : nullptr;
            // Owned here until it is in the map and the tree, so that nothing leaks when the map
            // cannot grow (the engine's run ends then).
            std::unique_ptr<MplyTrack> owned(track ? track->create_player_track(this) : nullptr);
            if (!owned || !m_TrackMap.emplace(node->id, owned.get()).second) {
                ok = false;
                break;
            }
            MplyTrack* player_track = owned.release();
            MplyTrack* parent = nullptr;
            if (node->parent()) {
                auto it = m_TrackMap.find(node->parent()->id);
                if (it != m_TrackMap.end()) parent = it->second;
            }
            if (parent) {
                player_track->link_last_child(parent);
            } else if (last_top) {
                player_track->link_after(last_top);
                last_top = player_track;
            } else {
                m_Tree = last_top = player_track;
            }
        }
    }
    if (!ok) ReleaseTree();
    return ok;
}

void MplyMusic::ReleaseTree() {
    m_TrackMap.clear();
    while (MplyTrack* top = m_Tree) {
        m_Tree = top->next();
        delete top;
    }
}

MplyTrack* MplyMusic::FindTrack(MSEQ_ID id) const {
    auto it = m_TrackMap.find(mseq_with_file_number(id, MFILE_TRACKS));
    return it == m_TrackMap.end() ? nullptr : it->second;
}

ref_ptr<MseqEntity> MplyMusic::OpenObject(MSEQ_ID id, MSEQ_TYPE type) const {
    if (!m_Source) return {};
    return m_Reach->object(m_Source.get(), id, type);
}
