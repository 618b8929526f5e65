#include "edit/press/MedtBlockPress.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>

#include "edit/MedtText.h"

#include "model/core/MseqObject.h"
#include "model/core/floor_math.h"
#include "model/core/parse_int.h"
#include "model/library/MseqConfig.h"
#include "model/library/MseqMusic.h"
#include "model/theory/MseqNoteTheory.h"
#include "model/track/MseqTrackLabel.h"
#include "model/track/MseqTrackNote.h"
#include "model/track/MseqTrackRefer.h"
#include "platform/TextCodec.h"

namespace {

struct AreaName {
    const char* name;
    MedtPressArea area;
};

const AreaName kAreaNames[] = {
    {"anchor", MedtPressArea::Anchor},
    {"pitch", MedtPressArea::Pitch},
    {"third", MedtPressArea::Third},
    {"fourth", MedtPressArea::Fourth},
    {"start-lag", MedtPressArea::StartLag},
    {"end-lag", MedtPressArea::EndLag},
    {"velocity", MedtPressArea::Velocity},
    {"velocity-max", MedtPressArea::VelocityMax},
    {"velocity-min", MedtPressArea::VelocityMin},
};

// A length may grow by a press in the pitch area up to this many steps.
constexpr int64_t kMaxStretch = 4096;
constexpr int32_t kMaxLag = 240;
// The marker track of a phrase has this fixed identifier.
constexpr MSEQ_ID kMarkerTrackId = 0x100106;

// The menu's first entry, in the language shown.
const CkvString& home_marker() {
    return medt_text(medt_msg::HOME_MARKER);
}

// The block sequence of a track seen through the rules of the press: which block starts at a
// position, which contains it, and which starts last before it.
template <class Track>
struct Row {
    using Block =
        typename std::remove_cvref_t<decltype(std::declval<Track>().blocks())>::mapped_type;
    const Track& track;

    const Block* at(int32_t pos) const { return track.block_at(pos); }

    // The last block starting before `pos`, with its start; nullptr when none.
    const Block* previous(int32_t pos, int32_t* start) const {
        return track.block_in_effect(int64_t{pos} - 1, start);
    }

    // The block whose range contains `pos`, with its start; nullptr when none.
    const Block* under(int32_t pos, int32_t* start) const {
        return track.block_covering(pos, start);
    }
};

// Sets `block` at `pos` unless the same block is already there.
template <class Block>
bool put(MedtPressContext& ctx, int32_t pos, const Block* current, const Block& block) {
    if (current && *current == block) return false;
    return ctx.setter->set_block(pos, &block);
}

bool erase(MedtPressContext& ctx, int32_t pos) {
    return ctx.setter->set_block(pos, nullptr);
}

// Anchor area, common to both tracks: `make` builds the new block for a left press on an empty
// position (false: nothing can be placed).
template <class Track, class Make>
bool anchor_press(const Track& track, const MedtPress& press, MedtPressContext& ctx, Make make) {
    Row<Track> row{track};
    const int32_t p = press.pos;
    if (press.right) {
        int32_t start = 0;
        return row.under(p, &start) && erase(ctx, start);
    }
    if (const auto* here = row.at(p)) {
        // Joining and erasing happen on the press itself, never while the pointer moves.
        if (press.move || !mseq_config().m_LClickDelete) return false;
        int32_t start = 0;
        const auto* prev = row.previous(p, &start);
        if (prev && int64_t{start} + prev->m_Length == p) {
            auto joined = *prev;
            joined.m_Length = static_cast<int32_t>(
                clamp_range(int64_t{prev->m_Length} + here->m_Length, 1, INT32_MAX));
            const bool done = put(ctx, start, prev, joined);
            return erase(ctx, p) || done;
        }
        return erase(ctx, p);
    }
    int32_t start = 0;
    const auto* prev = row.previous(p, &start);
    auto block = typename Row<Track>::Block();
    if (!make(prev, &block)) return false;
    block.m_Length = 1;
    bool done = false;
    const int64_t prev_end = prev ? int64_t{start} + prev->m_Length : 0;
    if (prev && prev_end > p) {
        // Splitting: the previous block ends here and the new one takes over the rest.
        auto cut = *prev;
        cut.m_Length = p - start;
        done = put(ctx, start, prev, cut);
        block.m_Length = static_cast<int32_t>(prev_end - p);
    }
    return ctx.setter->set_block(p, &block) || done;
}

// Pitch area on an empty position: the previous block is made to end with the position.
template <class Track>
bool stretch_previous(const Track& track, int32_t p, MedtPressContext& ctx) {
    Row<Track> row{track};
    int32_t start = 0;
    const auto* prev = row.previous(p, &start);
    if (!prev) return false;
    const int64_t reach = int64_t{p} - start;
    if (reach > kMaxStretch) return false;
    auto changed = *prev;
    const bool inside = int64_t{start} + prev->m_Length > p;
    changed.m_Length = static_cast<int32_t>(inside ? reach : reach + 1);
    return put(ctx, start, prev, changed);
}

// Parses the lag editor's text: a decimal number, spaces around it allowed.
bool parse_number(std::string_view text, int64_t* value) {
    // A number beyond 64 bits is as far out of range as the largest one.
    return parse_int(text, INT64_MIN, INT64_MAX, value, PARSE_INT_TRIM | PARSE_INT_CLAMP) ==
           parse_int_error::none;
}

bool is_blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

int32_t cycle(int64_t value, int64_t period, int64_t offset) {
    return static_cast<int32_t>(floor_mod(value, period) + offset);
}

}  // namespace

bool medt_press_area(std::string_view name, MedtPressArea* area) {
    for (const AreaName& a : kAreaNames) {
        if (name == a.name) {
            *area = a.area;
            return true;
        }
    }
    return false;
}

bool MedtPressPort::edit_number(int32_t, CkvString*) {
    return false;
}

int32_t MedtPressPort::choose_marker(const std::vector<CkvString>&) {
    return -1;
}

void MedtPressPort::select_phrase(MSEQ_ID) {}

int32_t MedtPressPort::pick_degree(const MedtDegreePicker&) {
    return -1;
}

bool MedtPressPort::edit_chord(MedtChordEditor&) {
    return false;
}

// ---- note tracks ----

uint32_t MedtNotePress::new_note_type(const MseqTrackNote& track, const MseqMusic* music) {
    int64_t type = track.m_NoteType;
    if (type == 0x8000) type = music ? int64_t{music->m_NoteState} : int64_t{MNBT_TONE};
    return static_cast<uint32_t>(clamp_range(type, MNBT_PURE, MNBT_RHYTHM));
}

bool MedtNotePress::press(const MseqTrackNote& track, const MedtPress& press,
                          MedtPressContext& ctx) {
    if (!ctx.setter || press.pos < 0) return false;
    Row<MseqTrackNote> row{track};
    const int32_t delta = press.right ? -1 : 1;
    if (press.area == MedtPressArea::Anchor) {
        const uint32_t type = new_note_type(track, ctx.music);
        return anchor_press(track, press, ctx, [type](const MseqBlockNote* prev, MseqBlockNote* b) {
            b->set_type(type);
            if (prev && prev->m_Type == type) {
                b->m_Octave = prev->m_Octave;
                b->m_Whole = prev->m_Whole;
                b->m_Semi = prev->m_Semi;
            }
            return true;
        });
    }
    if (press.area == MedtPressArea::Pitch) {
        if (press.move) return false;
        const MseqBlockNote* here = row.at(press.pos);
        if (!here) return !press.right && stretch_previous(track, press.pos, ctx);
        MseqBlockNote note = *here;
        if (note.m_Type == MNBT_PURE || note.m_Type == MNBT_TONE) note.m_Semi = 0;
        note.m_Whole = static_cast<int8_t>(note.m_Whole + delta);
        mseq_note_normalize(note, 0);
        return put(ctx, press.pos, here, note);
    }
    int32_t start = 0;
    const MseqBlockNote* under = row.under(press.pos, &start);
    if (!under) return false;
    MseqBlockNote note = *under;
    switch (press.area) {
        case MedtPressArea::Third:
            if (press.move) return false;
            note.m_Octave = static_cast<int8_t>(note.m_Octave + delta);
            mseq_note_normalize(note, 0);
            break;
        case MedtPressArea::Fourth:
            if (press.move) return false;
            mseq_note_normalize(note, delta);
            break;
        case MedtPressArea::StartLag:
        case MedtPressArea::EndLag: {
            if (press.move) return false;
            const bool end = press.area == MedtPressArea::EndLag;
            if (!press.right) {
                int32_t value = 0;
                CkvString text;
                lag_in_force(track, start, end, &value);
                if (!ctx.port || !ctx.port->edit_number(value, &text)) return false;
                return apply_lag_text(track, start, end, text, ctx);
            }
            // The track's lag applies again.
            note.m_Flags &= ~(end ? MNBF_OWN_ETIME : MNBF_OWN_STIME);
            (end ? note.m_ETime : note.m_STime) = 0;
            break;
        }
        case MedtPressArea::Velocity: {
            if (press.right) {
                // The right button puts the note back to the velocity a new note has.
                if (press.move) return false;
                note.m_Velocity = 100;
                break;
            }
            if (!std::isfinite(press.height)) return false;
            const double v = std::lround(std::clamp(press.height, 0.0, 1.0) * 127.0);
            note.m_Velocity = static_cast<uint8_t>(v);
            break;
        }
        case MedtPressArea::VelocityMax:
        case MedtPressArea::VelocityMin:
            if (press.move) return false;
            note.m_Velocity = press.area == MedtPressArea::VelocityMax ? 127 : 0;
            break;
        default:
            return false;
    }
    return put(ctx, start, under, note);
}

bool MedtNotePress::lag_in_force(const MseqTrackNote& track, int32_t pos, bool end,
                                 int32_t* value) {
    int32_t start = 0;
    const MseqBlockNote* note = Row<MseqTrackNote>{track}.under(pos, &start);
    if (!note) return false;
    if (!end) {
        *value = (note->m_Flags & MNBF_OWN_STIME) ? note->m_STime : track.m_STime;
        return true;
    }
    if (note->m_Flags & MNBF_OWN_ETIME) {
        *value = note->m_ETime;
        return true;
    }
    // The sounding length's difference from the written one: the rate's share plus the
    // track's end lag.
    const int64_t h = int64_t{note->m_Length} * MseqTrack::kTicksPerBar / std::max(track.m_Beat, 1);
    *value = static_cast<int32_t>(h * track.m_LRate / 100 + track.m_ETime - h);
    return true;
}

bool MedtNotePress::apply_lag_text(const MseqTrackNote& track, int32_t pos, bool end,
                                   std::string_view text, MedtPressContext& ctx) {
    if (!ctx.setter) return false;
    int32_t start = 0;
    const MseqBlockNote* under = Row<MseqTrackNote>{track}.under(pos, &start);
    if (!under) return false;
    MseqBlockNote note = *under;
    const uint32_t flag = end ? MNBF_OWN_ETIME : MNBF_OWN_STIME;
    if (is_blank(text)) {
        note.m_Flags &= ~flag;
    } else {
        int64_t v = 0;
        if (!parse_number(text, &v)) return false;
        (end ? note.m_ETime : note.m_STime) =
            static_cast<int32_t>(clamp_range(v, -kMaxLag, kMaxLag));
        note.m_Flags |= flag;
    }
    return put(ctx, start, under, note);
}

// ---- phrase tracks ----

MSEQ_ID MedtReferPress::selected_phrase(const MedtPressContext& ctx) {
    const MseqObject* leaf = ctx.selected_leaf;
    if (!leaf || !ctx.music || leaf->type != MTYPE_LEAF_PHRASE) return 0;
    const MSEQ_ID ref = mseq_own_book_id(leaf->id);
    // Only a phrase of the music's own book can be named this way.
    return ctx.music->find(ref) == leaf ? ref : 0;
}

namespace {

// The phrase a new block takes: the selected phrase of the music's own book, else the one the
// context's hook links in (asked only when a block is really placed, so that a press that
// erases or joins links nothing).
MSEQ_ID phrase_to_place(const MedtPressContext& ctx) {
    const MSEQ_ID own = MedtReferPress::selected_phrase(ctx);
    if (own || !ctx.place_phrase) return own;
    return ctx.place_phrase();
}

}  // namespace

bool MedtReferPress::place(const MseqTrackRefer& track, int32_t pos, MedtPressContext& ctx) {
    if (!ctx.setter || pos < 0) return false;
    const MseqBlockRefer* here = track.block_at(pos);
    if (!here) return press(track, MedtPress{MedtPressArea::Anchor, pos}, ctx);
    const MSEQ_ID phrase = phrase_to_place(ctx);
    if (!phrase) return false;
    MseqBlockRefer refer = *here;
    refer.m_PhraseID = phrase;
    return put(ctx, pos, here, refer);
}

bool MedtReferPress::press(const MseqTrackRefer& track, const MedtPress& press,
                           MedtPressContext& ctx) {
    if (!ctx.setter || press.pos < 0) return false;
    Row<MseqTrackRefer> row{track};
    const int32_t delta = press.right ? -1 : 1;
    if (press.area == MedtPressArea::Anchor) {
        return anchor_press(track, press, ctx, [&ctx](const MseqBlockRefer*, MseqBlockRefer* b) {
            b->m_PhraseID = phrase_to_place(ctx);
            return b->m_PhraseID != 0;
        });
    }
    if (press.move) return false;
    if (press.area == MedtPressArea::Pitch) {
        const MseqBlockRefer* here = row.at(press.pos);
        if (!here) return !press.right && stretch_previous(track, press.pos, ctx);
        if (press.right) {
            if (ctx.port) ctx.port->select_phrase(here->m_PhraseID);
            return false;
        }
        const std::vector<CkvString> items = marker_items(track, press.pos, ctx);
        if (items.empty() || !ctx.port) return false;
        const int32_t chosen = ctx.port->choose_marker(items);
        if (chosen < 0 || chosen >= static_cast<int32_t>(items.size())) return false;
        // The menu's first entry is the phrase's beginning, whatever the marker labels are
        // called: a marker named like that entry is still a marker.
        return set_start_marker(track, press.pos, chosen == 0 ? CkvString() : items[chosen], ctx);
    }
    int32_t start = 0;
    const MseqBlockRefer* under = row.under(press.pos, &start);
    if (!under) return false;
    MseqBlockRefer refer = *under;
    if (press.area == MedtPressArea::Third) {
        refer.m_Rotation = cycle(int64_t{refer.m_Rotation} + delta + 8, 17, -8);
    } else if (press.area == MedtPressArea::Fourth) {
        refer.m_Mode = static_cast<uint32_t>(cycle(int64_t{refer.m_Mode} - 1 + delta, 4, 1));
    } else {
        return false;
    }
    return put(ctx, start, under, refer);
}

std::vector<CkvString> MedtReferPress::marker_items(const MseqTrackRefer& track, int32_t pos,
                                                    MedtPressContext& ctx) {
    std::vector<CkvString> items;
    const MseqBlockRefer* here = track.block_at(pos);
    if (!here || !ctx.music) return items;
    MseqObject* node = ctx.music->find(here->m_PhraseID);
    if (!node || node->type != MTYPE_LEAF_PHRASE) return items;
    ref_ptr<MseqEntity> entity = mseq_open(node);
    MseqMusic* phrase = entity->cast_to<MseqMusic>(MTYPE_LEAF_MUSIC);
    if (!phrase) return items;
    items.push_back(home_marker());
    MseqObject* marker = phrase->find_track(kMarkerTrackId);
    auto* labels = marker && marker->entity()
                       ? marker->entity()->cast_to<MseqTrackLabel>(MTYPE_TRACK_MARKER)
                       : nullptr;
    if (labels) {
        for (const auto& [index, label] : labels->blocks())
            items.push_back(label.m_Label);
    }
    return items;
}

bool MedtReferPress::apply_start_marker(const MseqTrackRefer& track, int32_t pos,
                                        const CkvString& name, MedtPressContext& ctx) {
    // A typed name: the word of the menu's first entry means the beginning.
    return set_start_marker(track, pos, name == home_marker() ? CkvString() : name, ctx);
}

bool MedtReferPress::set_start_marker(const MseqTrackRefer& track, int32_t pos,
                                      const CkvString& marker, MedtPressContext& ctx) {
    if (!ctx.setter) return false;
    int32_t start = 0;
    const MseqBlockRefer* under = Row<MseqTrackRefer>{track}.under(pos, &start);
    if (!under) return false;
    MseqBlockRefer refer = *under;
    refer.m_StartMarker = marker;
    if (refer == *under) return false;
    // The editor track's hook renames the marker as a dropped marker would.
    if (ctx.drop_marker) return ctx.drop_marker(start, refer.m_StartMarker);
    return put(ctx, start, under, refer);
}
