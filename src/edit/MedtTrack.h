#pragma once

#include <cstdint>
#include <vector>

#include "edit/MedtPropertyRow.h"
#include "model/block/MseqBlock.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"
#include "model/core/dir_unit.h"

class MedtMusic;
class MseqObject;
class MseqTrack;

// One row of a track's property list. Texts in CP932.
struct MedtProperty {
    int32_t number;  // the key of the row; rows come in ascending order
    uint32_t style;  // MPS_*
    int32_t group;   // MPG_*
    CkvString name;
    CkvString help;
};

// The value of a number typed into a property row. A number beyond the 32-bit range is held at
// its nearest end, so that the row clamps it into its own range (a volume of 2^31 becomes 127)
// instead of wrapping it round to a negative one. Any thread.
MseqBlockWord medt_typed_number(int64_t typed);

// An editor track: the editor's view of one stored track, in a tree that mirrors the music's
// track tree. It describes the track's row and property list and turns property edits and block
// edits into changes of the stored track (blocks only through McmdSetBlock). The subclasses
// (MedtTrackKinds.h) declare each track family's table of rows. User-interface thread only.
class MedtTrack : public dir_unit<MedtTrack> {
public:
    MedtTrack(MedtMusic* editor, MseqObject* node) : editor_(editor), node_(node) {}
    ~MedtTrack() override = default;
    MedtTrack* self() override { return this; }

    // The stored track it wraps; nullptr when the node lost its content.
    MseqTrack* stored() const;
    // The track node, its identifier (0 without a node) and the editor the track belongs to.
    MseqObject* node() const { return node_; }
    MSEQ_ID id() const;
    MedtMusic* editor() const { return editor_; }

    // The height of the row's block band in pixels (the editor's view scale); 0 or less hides
    // the row.
    virtual int32_t row_height() const;
    // The stored track's name (what renaming changes and the property list's name row shows);
    // empty without a node.
    CkvString name() const;
    // The name shown in the track list: the stored track's name (note tracks add their channel
    // while the view shows track information).
    virtual CkvString display_name() const;
    // The text describing the item at `position` (link tracks name the linked leaf); empty in
    // the base.
    virtual CkvString item_text(int32_t position) const;
    // A mouse press at `position` with `buttons`; non-zero when handled. Nothing in the base.
    virtual int mouse_action(int32_t position, uint32_t buttons);
    // The table of the track's property rows in its present context (the root's differs in a
    // music and a phrase), ascending by number, hidden rows included. The base holds rows 1-3.
    virtual MedtPropertyTable property_rows() const;
    // The row `number` of the table as it applies here: nullptr when there is none, and for the
    // per-channel rows inside a phrase.
    const MedtPropertyRow* property_row(int32_t number) const;
    // The style `row` has here: display only for the per-channel rows inside a group (the
    // group's channel rules its members), the table's style otherwise.
    uint32_t row_style(const MedtPropertyRow& row) const;

    // Builds the property list: the listed rows of the table, in ascending number.
    void build_properties(std::vector<MedtProperty>& out) const;
    // The value of property `number` as text; `style` (may be null) receives the row's style.
    // Empty (and display only) for an unknown number.
    CkvString property_text(int32_t number, uint32_t* style) const;
    // True when the typed value of property `number` is a text rather than a number.
    bool property_is_text(int32_t number) const;
    // Choice `index` of property `number`: `value` and `text` (either may be null) receive it.
    // MCHOICE_PAST_END past the last, MCHOICE_NONE when the property has no choices, else
    // MCHOICE_ITEM, or MCHOICE_CURRENT when the choice is the current value.
    int property_choice(int32_t number, int32_t index, MseqBlockWord* value, CkvString* text) const;
    // Sets property `number` from `value`, clamped into its range. False for display-only and
    // unknown rows and for values the row cannot take; nothing changes then. Posting
    // McmdSetProperty (or MedtPropertyEdit) is the editing path; this is what it runs.
    bool set_property(int32_t number, const MseqBlockWord& value);
    // The drop-or-rename hook: a marker named `name` of the phrase referenced at `position` was
    // dropped on the block there; with `all` every matching reference of the track is renamed
    // after the user agreed. Returns 1 when the blocks were changed; 0 in the base.
    virtual int drop_marker(int32_t position, const CkvString& name, bool all);
    // Asks the view to redraw the block at `position`.
    virtual void redraw_block(int32_t position);
    // Posts a McmdSetBlock for `position` (nullptr erases) to the editor and returns its result:
    // 0 when the command was declined or failed.
    virtual int set_block(int32_t position, const MseqBlock* block);

    // The track's beats (its grid); 1 when it has no track.
    int32_t beats() const;
    // True when the display beats divide evenly by the track's beats, so the row is drawn.
    bool shown() const;
    // The text shown instead of the blocks when the row is not drawn; empty when it is.
    CkvString mismatch_text() const;
    // The width of one track unit in beat units (MedtViewScale) at the editor's view scale; 0
    // when the row is not drawn.
    int64_t unit_width() const;
    // The pixel where unit `pos` starts, and the unit a click at pixel `x` lands on (the first
    // unit starting inside that pixel, else the unit covering it); 0 when the row is not drawn.
    int32_t pos_x(int64_t pos) const;
    int32_t pos_at(int32_t x) const;
    // True when the track sits inside a group (its channel comes from the group).
    bool in_group() const;
    // True when the track belongs to a phrase rather than a music.
    bool in_phrase() const;

protected:
    MedtMusic* editor_;
    MseqObject* node_;
};
