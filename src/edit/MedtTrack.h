#pragma once

#include <cstdint>
#include <vector>

#include "model/block/MseqBlock.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/CkvString.h"
#include "model/core/MseqId.h"
#include "model/core/dir_unit.h"

class MedtMusic;
class MseqObject;
class MseqTrack;

// Edit styles of property rows.
enum : uint32_t {
    MPS_TYPED = 0x100,         // a typed number or text
    MPS_CHOICE = 0x200,        // a choice from a list
    MPS_CHOICE_CLEAR = 0x300,  // a choice that may also be cleared or switched (right click)
    MPS_LINK = 0x400,          // a link set by drag and drop, cleared by right click
    MPS_DISPLAY = 0x800,       // display only
};

// Property groups.
enum : int32_t {
    MPG_NORMAL = 1,
    MPG_CHANNEL = 2,  // per-channel entries written into the stage map
    MPG_LINK = 3,
};

// What asking for a property's choice answers.
enum : int {
    MCHOICE_PAST_END = 1,  // the index is past the last choice
    MCHOICE_ITEM = 2,      // a choice; MCHOICE_ITEM + 1 when it is the current value
    MCHOICE_CURRENT = 3,
    MCHOICE_NONE = 8,  // the property has no choices
};

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
// (MedtTrackKinds.h) add each track family's rows. User-interface thread only.
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
    // Builds the property list, rows in ascending number.
    virtual void build_properties(std::vector<MedtProperty>& out) const;
    // The value of property `number` as text; `style` (may be null) receives the row's style.
    // Empty for an unknown number.
    virtual CkvString property_text(int32_t number, uint32_t* style) const;
    // True when the typed value of property `number` is a text rather than a number.
    virtual bool property_is_text(int32_t number) const { return number == 1; }
    // Choice `index` of property `number`: `value` and `text` (either may be null) receive it.
    // MCHOICE_PAST_END past the last, MCHOICE_NONE when the property has no choices, else
    // MCHOICE_ITEM, or MCHOICE_CURRENT when the choice is the current value.
    virtual int property_choice(int32_t number, int32_t index, MseqBlockWord* value,
                                CkvString* text) const;
    // Sets property `number` from `value`, clamped into its range. False for display-only and
    // unknown rows and for values the row cannot take; nothing changes then.
    virtual bool set_property(int32_t number, const MseqBlockWord& value);
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
    // The width of one track unit in pixels at the editor's view scale; 0 when the row is not
    // drawn.
    int32_t unit_width() const;
    // True when the track sits inside a group (its channel comes from the group).
    bool in_group() const;
    // True when the track belongs to a phrase rather than a music.
    bool in_phrase() const;

protected:
    // The rows 1-3 that start every list.
    void add_common_rows(std::vector<MedtProperty>& out) const;
    // The text of rows 1-3; false for other numbers.
    bool common_text(int32_t number, CkvString* text) const;

    MedtMusic* editor_;
    MseqObject* node_;
};
