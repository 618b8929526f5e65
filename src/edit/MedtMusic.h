#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "edit/MedtEditObserver.h"
#include "edit/MedtEntity.h"
#include "edit/MedtHistory.h"
#include "edit/MedtLaneSet.h"
#include "edit/MedtMetrics.h"
#include "edit/MedtTrack.h"
#include "model/block/MseqBlockWord.h"
#include "model/core/MseqId.h"
#include "model/core/MseqType.h"
#include "model/core/ref_ptr.h"

class MedtTransaction;
class MedtUserPort;
class MseqMusic;
class MseqObject;

// Edit flags of a music editor.
enum : uint32_t {
    MEDT_READ_ONLY = 0x1,  // the panel is locked (for example during playback)
    MEDT_FOCUS = 0x2,      // the panel has the keyboard focus
    MEDT_TOGGLE = 0x4,     // a display toggle of the view
};

// The actions of the action operation: cursor actions and edit actions.
enum : int {
    MACT_TRACK_PREV = 11,
    MACT_TRACK_NEXT = 12,
    MACT_LEFT = 21,
    MACT_RIGHT = 22,
    MACT_EXTEND_LEFT = 23,
    MACT_EXTEND_RIGHT = 24,
    MACT_STEP_LEFT = 31,
    MACT_STEP_RIGHT = 32,
    MACT_EXTEND_STEP_LEFT = 33,
    MACT_EXTEND_STEP_RIGHT = 34,
    MACT_HOME = 41,
    MACT_END = 42,
    MACT_EXTEND_HOME = 43,
    MACT_EXTEND_END = 44,
    MACT_SELECT_ALL = 51,
    // Edit actions: they post sequence commands on the current track.
    MACT_CUT = 121,
    MACT_COPY = 122,
    MACT_PASTE = 123,
    MACT_OVERWRITE = 124,
    MACT_DELETE = 125,
    MACT_DELETE_BEFORE = 126,
    MACT_SPACE = 127,
};

// A pixel box.
struct MedtRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const MedtRect&) const = default;
};

// The editor of a music or phrase: the editor-track tree mirroring the music's track tree, the
// display grid, the play cursor, the cursor and selection, and the two clipboards the
// application owns. It observes its music (through MedtMusicNotify) and carries out the commands
// posted to it. User-interface thread only.
class MedtMusic : public MedtEntity {
public:
    // An editor attached to `music` (one reference; the music is marked as being edited and
    // stamped). The tree is built at once; a music whose tree cannot be mirrored leaves the
    // editor without tracks.
    MedtMusic(MseqMusic* music, MseqObject* sequence_clipboard, MseqObject* leaf_clipboard);
    ~MedtMusic() override;

    uint32_t kind() const override { return MKIND_EDT_MUSIC; }
    MseqEntity* edited_entity() override;
    void set_play_tick(int32_t tick) override;
    int32_t play_tick() const override;
    // The tick at `pixels` from the music's start on the display grid, as the play cursor reads
    // its pixels (the bar ruler sets the play cursor through it); 0 for negative pixels.
    int32_t tick_of_pixels(int32_t pixels) const;
    void play_position(int32_t* bar, int32_t* beat, int32_t* tick) const override;
    void set_play_range(int32_t from_tick, int32_t to_tick) override;

    // Drops the editor tracks, the current track, the play state and the music.
    virtual void reset();

    // The observer protocol, called through MedtMusicNotify: validate (zero declines), execute
    // (non-zero when carried out) and finish.
    virtual int validate_command(MgenCommand* command);
    int execute_command(MgenCommand* command);
    virtual void finish_command(MgenCommand* command);
    // Non-zero while an undo, a redo or a roll-back runs (the cursor follows what it changes).
    int undoing() const { return undoing_; }

    // The edited music and the editor track of its root; nullptr before a music is attached
    // and after reset().
    MseqMusic* music() const { return music_; }
    MedtTrack* root() const { return root_.get(); }
    // The editor track of a track identifier (file number forced to 1); nullptr when none.
    MedtTrack* find_track(MSEQ_ID id) const;
    // Builds editor tracks for the stored subtree of `top`, mirroring it under the editor track
    // of its parent; false (the tracks made so far removed again) when a node's neighbour has no
    // editor track, a node is not a track or an identifier is already present.
    bool build_tracks(MseqObject* top);
    // Removes the editor tracks of `track` and its subtree.
    void remove_tracks(MedtTrack* track);
    // Rebuilds the whole editor-track tree from the music, keeping the current track when it
    // still exists.
    void rebuild();

    // Cursor and selection, in units of the current track.
    MedtTrack* current() const { return current_; }
    int32_t cursor() const { return cursor_; }
    int32_t selection_end() const { return selection_end_; }
    int cursor_valid() const { return cursor_valid_; }
    // The box of the cursor or selection on the current track in the music view's pixels (its
    // view scale and row bands, as MedtTimelineLayout lays the rows out: x from tick 0, y from
    // the top of the first row); all zero without a current track.
    MedtRect cursor_rect() const;
    // Puts the cursor on `track` at `position` with the selection end at `end` (negative values
    // become 0). False, nothing changed, when the track is not one of this editor's.
    bool set_cursor(MedtTrack* track, int32_t position, int32_t end);
    // Without a current track, puts the cursor at the start of the first track that can hold it
    // (shown, with a row, finer than one beat a bar), as a view or script opening the music
    // starts. True when there is a current track afterwards.
    bool place_first_cursor();
    // The length of the current track in its own units; 0 without one.
    int32_t current_length() const;
    // Runs a cursor action (11-51); non-zero when the action was known and ran.
    virtual int action(int code);

    // The music was changed by a command: mark it modified (and enter the desk's modified set)
    // when it was not, and tell the view.
    void mark_modified();
    // The track's row changed (a block, a property): recompute the cursor box and tell the view.
    void refresh_track(MedtTrack* track);

    // The drawing metrics and the user port the editor asks through (may be null: every
    // question is then answered No).
    const MedtMetrics& metrics() const { return *metrics_; }
    MedtUserPort* port = nullptr;
    // Told of the blocks each gesture placed or changed (may be null: nobody is told).
    MedtEditObserver* edit_observer = nullptr;

    int32_t bar_grid = 16;       // display beats per bar of the shown time signature
    int32_t display_beats = 16;  // beats per 4/4 bar shown on screen
    int32_t display_extra = 8;   // a further display setting of the views
    int32_t play_cursor = 0;     // pixels at the shared metrics' beat width, whatever the
                                 // view's zoom (views place it through play_tick())
    int32_t play_range[2] = {0, 0};
    uint32_t edit_flags = 0;  // MEDT_*
    MseqObject* sequence_clipboard;
    MseqObject* leaf_clipboard;

    bool read_only() const { return (edit_flags & MEDT_READ_ONLY) != 0; }
    // The number of tracks in the editor-track tree.
    size_t track_count() const { return tracks_.size(); }
    // The top of a track's row in the music view's pixels (rows in tree order with their bands,
    // hidden rows taking no room), as MedtTimelineLayout lays them out.
    int32_t row_top(const MedtTrack* track) const;
    // The scale the music view draws this music at (zoom and row height), kept here in memory
    // while the music is open and never stored in it; the shared metrics' at first.
    const MedtViewScale& view_scale() const { return scale_; }
    // Sets the view scale (brought into range) and tells the view; the cursor box follows.
    void set_view_scale(const MedtViewScale& scale);
    // The resolved-pitch lanes the music view shows under note and phrase tracks, kept here in
    // memory while the music is open, like the view scale.
    MedtLaneSet lanes;

protected:
    // Takes over the music's view settings (display beats, grid, note kind, show flags),
    // bringing them into range, and writes them back.
    void take_view_settings();
    void update_cursor_rect();
    // Moves the cursor to the previous or next shown track, keeping its time.
    bool move_track(int direction);
    // True when holding `track` as current is allowed (it is drawn and has a row).
    static bool navigable(const MedtTrack* track);

    MseqMusic* music_ = nullptr;
    std::map<MSEQ_ID, MedtTrack*> tracks_;
    std::unique_ptr<MedtTrack> root_;
    const MedtMetrics* metrics_;
    MedtTrack* current_ = nullptr;
    int32_t cursor_ = 0;
    int32_t selection_end_ = 0;
    int cursor_valid_ = 0;
    MedtViewScale scale_;
    int undoing_ = 0;
    // The cursor's time in ticks while the user only moves between tracks; -1 otherwise. It keeps
    // the time across a row of coarser beats (a group or the part has 1 beat), which would
    // otherwise round the position down to the bar.
    int64_t kept_time_ = -1;
};

// What linking a node to a link row came to (MedtMusicInvoker::link_node).
enum class MedtLink {
    linked,
    not_a_link_row,  // no such row, or the row is not a link, or no track
    other_music,     // a track of another music
    other_book,      // a leaf of another book than the music's own
    refused,         // the row does not take the node (another kind of leaf), or read-only
};

// The editor actually made for a music: adds the undo history and the operations that post
// commands. Front ends post through a MedtTransaction (one gesture, one undo group).
// User-interface thread only.
class MedtMusicInvoker final : public MedtMusic {
public:
    MedtMusicInvoker(MseqMusic* music, MseqObject* sequence_clipboard, MseqObject* leaf_clipboard);
    ~MedtMusicInvoker() override;

    uint32_t kind() const override { return MKIND_EDT_MUSIC_INVOKER; }
    MgenRef* cast(uint32_t k) override {
        return k == MKIND_EDT_MUSIC_INVOKER || k == MKIND_EDT_MUSIC ? this : nullptr;
    }

    // Resets the editor and empties the history.
    void reset() override;
    int validate_command(MgenCommand* command) override;
    void finish_command(MgenCommand* command) override;
    // Cursor actions as MedtMusic; the edit actions 121-127 post sequence commands (cut, copy,
    // paste, overwrite, delete, delete before, space) on the current track and return 1 when the
    // command was done. Edit actions are ignored while read-only and without a current track.
    int action(int code) override;
    // Posts `command` to the edited music; its state tells the outcome. Nothing without a music.
    void execute(MgenCommand* command);
    // Undoes the newest group, newest entry first, and keeps what redoes it. Nothing when the
    // history is empty.
    void undo();
    // Redoes the newest undone group as a new group: the music gets back exactly the bytes the
    // undo took away. Any other edit since drops what could be redone. Nothing when there is
    // nothing to redo and while read-only.
    void redo();
    // Non-zero when there is nothing to undo, or to redo.
    int nothing_to_undo() const { return history_.empty() ? 1 : 0; }
    int nothing_to_redo() const { return history_.redo_empty() ? 1 : 0; }
    // The history's group closing and auto-advance (see MedtHistory). The front ends leave these
    // to MedtTransaction.
    void close_group() { history_.close_group(); }
    void set_auto_advance(int on) { history_.set_auto_advance(on); }
    // A menu command of the music view and its track list (MedtViewCommandId), acting on the
    // current track: the edit actions, undo, redo, delete track (asks first), copy track, paste
    // track, and adding a track of the sub-menu's type (the rhythm track, MVC_ADD_RHYTHM, needs
    // the view's pop-up first: see add_rhythm_track). Failures are shown as warnings through
    // the user port. Returns 1 when the command is one of these and 0 otherwise.
    int command(int id);
    // MVC_ADD_RHYTHM after the view's pop-up: adds a rhythm note track under the current track,
    // named after the drum sound `sound` and sounding it. A warning through the user port when the
    // track cannot be added there. Returns 1 when the track was added; 0 otherwise (also when
    // `sound` is not a drum sound of the word dictionary, nothing then changes or shows).
    int add_rhythm_track(const MseqBlockWord& sound);
    // Renaming track `id` in place (the track list's label edit, the script's rename): posts
    // McmdSetProperty(id, 1, name); an empty name gives the track its type's name. Names are not
    // undoable. 1 when renamed; 0 while read-only, for an unknown track or a refused name.
    int rename_track(MSEQ_ID id, const CkvString& name);
    // Dragging track `id` in the track list: posts McmdMoveLeafs(id, anchor, place) (MPLACE_*)
    // as one undo group of its own. A refused move (the root, header or part, a group into its
    // own member, a container that does not take the track) changes nothing and is shown as a
    // warning through the user port. 1 when moved; 0 otherwise (also while read-only, silently).
    int move_leaf(MSEQ_ID id, MSEQ_ID anchor, int place);
    // A mouse press on the row of track `id` at `position`: the press closes the group and the
    // commands of the gesture join one group until the release. Returns the editor track's
    // answer; 0 while read-only and for an unknown track.
    int button_press(MSEQ_ID id, int32_t position, uint32_t buttons);
    // The end of the gesture: closes its group.
    void button_release();
    // Undoes what the open group has recorded, newest first, down to the first `keep` entries of
    // the history, so that a gesture whose command failed leaves the music as it was before the
    // gesture. Returns the number of entries undone. (MedtTransaction::rollback for the front
    // ends.)
    size_t undo_open_group(size_t keep = 0);

    // Links `node` (a leaf of the library tree or a track) to the link row `number` of track
    // `track`, as one gesture. A link names a leaf of the music's own book or a track of this
    // music: the stored identifier keeps only the serial, so a leaf of another book (or a track
    // of another music) with the same serial would silently be linked instead; such nodes are
    // refused before anything is posted.
    MedtLink link_node(MSEQ_ID track, int32_t number, const MseqObject* node);

    // The note or chord block at the cursor whose sound a property change may alter: on a note
    // track the block covering the cursor, on a chord track the chord in effect there; on any
    // other current track (a group, the music's own row) the first note block covering the
    // cursor's moment on a sounding note track below it, else anywhere in the music. False
    // when there is none.
    bool block_at_cursor(MedtPlacedBlock* block) const;

    // The undo history, read-only.
    const MedtHistory& history() const { return history_; }

private:
    friend class MedtTransaction;
    // A transaction begins: the first (outermost) one closes the open group unless it joins it,
    // and auto-advance stays off until the outermost one ends.
    void begin_gesture(bool join);
    // A transaction ends: the outermost one closes the group when `close` and switches
    // auto-advance back on.
    void end_gesture(bool close);

    // Adds a track of `type` under the current track; with a preset word the track is named
    // after it and its property `property` set to it. Warns when the track cannot be added.
    // 1 when added.
    int add_track(MSEQ_TYPE type, const MseqBlockWord* preset, int32_t property);
    // Takes the music's observer place with a fresh MedtMusicNotify.
    void attach_observer();
    // Clears the observer's editor pointer and the music's observer.
    void detach_observer();

    // The outermost transaction ended: the observer hears of the blocks it placed.
    void tell_placed();

    MedtHistory history_;
    int gestures_ = 0;                     // open transactions
    std::vector<MedtPlacedBlock> placed_;  // set by the open gesture, not yet told
    // The block told before a property change that is running, to be told again after it.
    bool property_told_ = false;
    MedtPlacedBlock property_block_;
};

// The observer a music editor hands to its music: forwards the protocol to the editor (nothing
// happens once the editor pointer is cleared). User-interface thread only.
class MedtMusicNotify final : public MgenNotify {
public:
    explicit MedtMusicNotify(MedtMusic* owner) : editor(owner) {}
    uint32_t kind() const override { return MKIND_NOTIFY_MUSIC; }
    int execute(MgenCommand* command) override;
    int validate(MgenCommand* command) override;
    void finish(MgenCommand* command) override;

    MedtMusic* editor;
};
