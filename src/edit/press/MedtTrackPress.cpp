#include "edit/press/MedtTrackPress.h"

#include <algorithm>

#include "edit/McmdBookLink.h"
#include "edit/MedtMusic.h"
#include "edit/MedtText.h"
#include "edit/MedtTrack.h"
#include "edit/MedtTransaction.h"
#include "edit/MedtUserPort.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "model/library/MseqBook.h"
#include "model/library/MseqMusic.h"
#include "model/track/MseqTrackChord.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "text/MrecCompiler.h"

namespace {

// Sends the press's blocks through the editor track's set-block (one McmdSetBlock each) and
// remembers whether one of them was refused.
class TrackSetter final : public MedtBlockSetter {
public:
    explicit TrackSetter(MedtTrack& track) : track_(track) {}
    bool set_block(int32_t pos, const MseqBlock* block) override {
        const bool done = track_.set_block(pos, block) != 0;
        if (!done) failed = true;
        return done;
    }
    bool failed = false;

private:
    MedtTrack& track_;
};

bool usable(MedtMusicInvoker& editor, MedtTrack& track) {
    return !editor.read_only() && editor.music() && track.stored() &&
           editor.find_track(track.id()) == &track;
}

// Runs `work` as (part of) one gesture: a press starts a new group, a move joins the open one.
// A press whose commands were refused is undone as a whole.
template <class Work>
bool gesture(MedtMusicInvoker& editor, MedtTrack& track, bool move, MedtPressContext& ctx,
             Work work) {
    if (!usable(editor, track)) return false;
    TrackSetter setter(track);
    ctx.music = editor.music();
    ctx.setter = &setter;
    ctx.drop_marker = [&track, &setter](int32_t pos, const CkvString& marker) {
        const bool done = track.drop_marker(pos, marker, false) != 0;
        if (!done) setter.failed = true;
        return done;
    };
    if (!ctx.place_phrase) {
        ctx.place_phrase = [&editor, &ctx] {
            CkvString why;
            const MSEQ_ID phrase =
                MedtTrackPress::phrase_for_block(editor, ctx.selected_leaf, &why);
            if (!phrase && editor.port) editor.port->status(why);
            return phrase;
        };
    }
    MedtTransaction transaction(editor,
                                move ? MedtTransaction::join_open : MedtTransaction::new_group);
    bool done = work(ctx);
    // A press whose block was refused is taken back whole; a move keeps what it reached.
    if (setter.failed && !move) {
        transaction.rollback();
        done = false;
    }
    transaction.keep_open();  // the release closes the group
    return done;
}

// The length in steps of `track` that a block of the phrase `leaf` dropped at `pos` takes: the
// phrase's length rounded up to whole steps, ending at the latest where the next block starts.
// 0 when the phrase cannot be read or holds nothing.
int32_t dropped_length(const MseqTrackRefer& track, int32_t pos, MseqObject* leaf) {
    ref_ptr<MseqEntity> entity = leaf ? mseq_open(leaf) : ref_ptr<MseqEntity>();
    auto* phrase = entity ? entity->cast_to<MseqMusic>(MTYPE_LEAF_PHRASE) : nullptr;
    if (!phrase || track.m_Beat < 1) return 0;
    const int64_t unit = MseqTrack::kTicksPerBar / track.m_Beat;
    int64_t steps = (phrase->length_ticks() + unit - 1) / unit;
    auto next = track.blocks().upper_bound(pos);
    if (next != track.blocks().end()) steps = std::min<int64_t>(steps, next->first - pos);
    return static_cast<int32_t>(std::clamp<int64_t>(steps, 0, INT32_MAX - int64_t{pos}));
}

template <class Work>
bool popup_result(MedtMusicInvoker& editor, MedtTrack& track, Work work) {
    MedtPressContext ctx;
    const bool done = gesture(editor, track, false, ctx, work);
    editor.button_release();  // a pop-up's answer is a whole gesture
    return done;
}

}  // namespace

bool MedtTrackPress::press(MedtMusicInvoker& editor, MedtTrack& track, const MedtPress& p,
                           MedtPressContext ctx) {
    return gesture(editor, track, p.move, ctx, [&](MedtPressContext& c) {
        MseqTrack* stored = track.stored();
        if (auto* notes = stored->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE))
            return MedtNotePress::press(*notes, p, c);
        if (auto* refer = stored->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER))
            return MedtReferPress::press(*refer, p, c);
        return false;
    });
}

bool MedtTrackPress::chord_press(MedtMusicInvoker& editor, MedtTrack& track, MedtChordRowKind row,
                                 int32_t pos, bool right, MedtPressContext ctx) {
    return gesture(editor, track, false, ctx, [&](MedtPressContext& c) {
        auto* chords = track.stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
        return chords && MedtChordPress::press(*chords, row, pos, right, c);
    });
}

void MedtTrackPress::release(MedtMusicInvoker& editor) {
    editor.button_release();
}

bool MedtTrackPress::lag_edit(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos, bool end,
                              std::string_view text) {
    return popup_result(editor, track, [&](MedtPressContext& c) {
        auto* notes = track.stored()->cast_to<MseqTrackNote>(MTYPE_TRACK_NOTE);
        return notes && MedtNotePress::apply_lag_text(*notes, pos, end, text, c);
    });
}

bool MedtTrackPress::start_marker(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                                  const CkvString& name) {
    return popup_result(editor, track, [&](MedtPressContext& c) {
        auto* refer = track.stored()->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER);
        return refer && MedtReferPress::apply_start_marker(*refer, pos, name, c);
    });
}

bool MedtTrackPress::pick_degree(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                                 int32_t slot) {
    return popup_result(editor, track, [&](MedtPressContext& c) {
        auto* chords = track.stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
        return chords && MedtChordPress::set_degree(*chords, pos, slot, c);
    });
}

bool MedtTrackPress::set_chord(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                               const MseqBlockChord& chord) {
    return popup_result(editor, track, [&](MedtPressContext& c) {
        auto* chords = track.stored()->cast_to<MseqTrackChord>(MTYPE_TRACK_CHORD);
        return chords && MedtChordPress::set_chord(*chords, pos, chord, c);
    });
}

bool MedtTrackPress::drop_phrase(MedtMusicInvoker& editor, MedtTrack& track, int32_t pos,
                                 MseqObject* leaf) {
    MseqTrack* stored = track.stored();
    auto* refer = stored ? stored->cast_to<MseqTrackRefer>(MTYPE_TRACK_REFER) : nullptr;
    if (!refer) {
        if (editor.port) editor.port->status(medt_text(medt_msg::PHRASE_NEEDS_PHRASE_TRACK));
        return false;
    }
    MedtPressContext ctx;
    ctx.selected_leaf = leaf;
    const bool done = gesture(editor, track, false, ctx, [&](MedtPressContext& c) {
        const bool free = pos >= 0 && !refer->block_at(pos);
        if (!MedtReferPress::place(*refer, pos, c)) return false;
        // A press places one step, which a drag lengthens; a drop has no drag, so a new block
        // takes the phrase's own length (up to the next block), and the whole phrase plays.
        const MseqBlockRefer* placed = refer->block_at(pos);
        const int32_t steps = placed && free ? dropped_length(*refer, pos, leaf) : 0;
        if (!placed || steps <= placed->m_Length) return true;
        MseqBlockRefer longer = *placed;
        longer.m_Length = steps;
        return c.setter->set_block(pos, &longer);
    });
    editor.button_release();  // a drop is a whole gesture
    return done;
}

MSEQ_ID MedtTrackPress::phrase_for_block(MedtMusicInvoker& editor, const MseqObject* leaf,
                                         CkvString* why) {
    const auto refuse = [why](medt_msg text) {
        if (why) *why = medt_text(text);
        return MSEQ_ID{0};
    };
    if (!leaf || leaf->type != MTYPE_LEAF_PHRASE) return refuse(medt_msg::PHRASE_NOT_CHOSEN);
    MedtPressContext own;
    own.music = editor.music();
    own.selected_leaf = const_cast<MseqObject*>(leaf);
    if (const MSEQ_ID ref = MedtReferPress::selected_phrase(own)) return ref;
    MseqBook* book = McmdBookLink::book_of(editor.music());
    if (!book) return refuse(medt_msg::PHRASE_NO_BOOK);
    MseqFullPath full;
    if (!mseq_path::resolve(leaf, false, &full)) return refuse(medt_msg::PHRASE_FILE_UNKNOWN);
    // A link of the music's book to the same file serves as it is.
    if (const MseqObject* same = book->find_by_path(full)) {
        if (same->type == MTYPE_LEAF_PHRASE) return mseq_own_book_id(same->id);
    }
    MrecCompiler header;
    if (!header.read_header(full) || header.result.header.type != MTYPE_LEAF_PHRASE)
        return refuse(medt_msg::PHRASE_FILE_UNREADABLE);
    ref_ptr<McmdBookLink> link =
        McmdBookLink::add(MTYPE_LEAF_PHRASE, header.result.header.name, full);
    if (!MedtTransaction(editor, MedtTransaction::join_open).post(link.get()) || !link->made)
        return refuse(medt_msg::PHRASE_LINK_FAILED);
    return mseq_own_book_id(link->made->id);
}
