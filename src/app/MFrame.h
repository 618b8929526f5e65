#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/MAppCommands.h"
#include "app/MAppMidiInput.h"
#include "app/MAppRecovery.h"
#include "app/MAppUserPort.h"
#include "app/MFrameEditList.h"
#include "app/MFrameLibrary.h"
#include "app/MFramePlayback.h"
#include "model/core/CkvString.h"
#include "model/core/MseqFileStore.h"
#include "model/core/MseqObject.h"
#include "model/core/ref_ptr.h"
#include "model/lang/KvLanguage.h"
#include "platform/MessageQueue.h"

class KvClock;
class MseqDesk;
class MseqEntity;
class MseqMapScale;
class MseqRoom;
class MplyDevice;
class MplyDeviceDMusic;
class MplyDeviceSystem;
class MplyExport;
class MplyPlayer;

namespace kv_midi {
class midi_in;
class midi_out;
}  // namespace kv_midi
namespace kv_synth {
class synth_port;
}
namespace kv_shell {
class shell;
}

// The services the frame works with. Everything not given is the real system's; tests give
// recorders so that nothing sounds, opens or leaves the temporary application folder.
struct MAppServices {
    MAppUserPort* port = nullptr;           // required: every message and question goes here
    kv_midi::midi_out* midi = nullptr;      // the system MIDI output; null: ALSA (or none)
    kv_synth::synth_port* synth = nullptr;  // the synthesizer port; null: FluidSynth (or none)
    kv_midi::midi_in* midi_in = nullptr;    // the system MIDI input; null: ALSA and JACK
    kv_shell::shell* shell = nullptr;       // opens the manual; null: xdg-open
    KvClock* clock = nullptr;               // the player's clock; null: the system clock
    std::string home;                       // application folder (host path); empty: the
                                            // executable's folder
    std::string recovery;                   // folder of the recovery copies (host path);
                                            // empty: no autosave and no recovery
};

// The main window's placement as the front end reports it at exit.
struct MAppPlacement {
    bool valid = false;  // false: keep what the configuration holds
    int show = 1;        // 1 normal, 3 maximized
    bool restore_to_maximized = false;
    int max_x = 0, max_y = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // the normal rectangle
    int split_h = 0, split_v = 0;                  // the two pane widths
};

// The application's main frame: the one object that owns the open library, the edit list, the
// player and its devices, and carries out every command of the main window, the library tree
// and the edit list. It knows no window toolkit: it talks to the user through the user port and
// the front end reads its state back (menus, enabled states, title, tree and list contents).
// One per process; every member runs on the user-interface thread.
class MFrame {
public:
    // The instance name of the single-instance lock.
    static constexpr const char* kInstanceName = "KORVANTE_2004_01_kv";
    // The application version packed one byte per part, major in the top byte.
    static uint32_t packed_version();

    // The frame of the process, or nullptr while none exists.
    static MFrame* get();

    // Creates the non-window members in their order and publishes the frame. `services.port`
    // must be set; at most one frame exists at a time.
    explicit MFrame(const MAppServices& services);
    // Stops the player (up to 10000 ms), closes the desk's files, deletes the open library and
    // withdraws the frame.
    ~MFrame();
    MFrame(const MFrame&) = delete;
    MFrame& operator=(const MFrame&) = delete;

    // The start-up steps of the main window: configuration, device check, version, word map,
    // scale map, the library named by `command_line` (one path, quotes removed), menus, and the
    // last library. False (after its message) when start-up must end: the configuration cannot
    // be read.
    bool create(const CkvString& command_line);

    // ---- Commands ----
    // Runs a command of the main window, the library tree (on the selected node) or the edit
    // list (on the selected entry). False when the number is unknown or the command is disabled.
    bool run(uint32_t id);
    // True when the command may run now.
    bool enabled(uint32_t id) const;
    // True when the command's menu entry carries a check mark.
    bool checked(uint32_t id) const;
    // The entries of a menu with their enabled states and, for the file and drop-down menus, the
    // recent libraries.
    std::vector<MAppMenuEntry> menu(MAppMenu which) const;
    // The window title: "name[ *] [compact path] - Korvante", or "Korvante" without a file.
    CkvString title() const;

    // ---- Library workflow ----
    // Closes the open library and opens `path` (Windows form); with `create` links the standard
    // pattern book. False (after its message) when no library results; none is open then.
    bool open_room(const CkvString& path, bool create);
    // Stops the player, empties the desk, the edit list and the library tree, deletes the root.
    void close_room();
    // Asks whether to save unsaved files before `action` (CP932). True to proceed.
    bool ask_to_save(const CkvString& action);
    // Saves one file, asking first when it came from a newer data format. False when not written.
    bool save_file(MseqEntity* entity);
    // Saves every modified file. False when some were not written or the user declined.
    bool save_all();
    // After an undo: when the file's content is again the bytes of its file on disk, it is no
    // longer modified (the title and the lists lose its "*"). False when it stays modified.
    bool settle_modified(MseqEntity* entity);
    // The exit flow: ask to save, store the placement, write the configuration and (when
    // modified) the scale map. False when the user cancelled and the window stays open.
    bool exit(const MAppPlacement& placement);
    // How many files save and save-all could not write (or were not allowed to write over) in
    // this process, over every frame; `korvante script` ends with a failure when it is not 0.
    static int failed_saves();
    // True once the exit flow has run to its end (also through command 57665): the front end
    // then destroys the window and the frame.
    bool exited() const { return exited_; }

    // The window placement stored in the configuration, for the front end to apply before it
    // shows the window: valid only for show state 1 (normal) or 3 (maximized); pane widths of 2
    // or less become 240.
    MAppPlacement stored_placement() const;
    // Whether the menu bar is attached (m_ShowMenuBar).
    bool show_menu_bar() const;

    // The open library's root node and room; nullptr while no library is open.
    MseqObject* room_node() const { return library_->room_node(); }
    MseqRoom* room() const { return library_->room(); }

    // ---- Dialogs ----
    // The file or folder dialog behind a dialog field's browse button (the create-library
    // dialog's "parent", the new-music dialog's "parent", "book", "music", "stage", "chord"),
    // starting from the field's current value; a request of kind folder with an empty title for
    // fields without one.
    MAppFileRequest browse_request(MAppDialog dialog, const std::string& field,
                                   const MAppFields& current) const;
    // Checks a file chosen for a new-music field on page 2 (after its message): a book or music
    // file must not exist; an existing stage or chord file must hold that kind. False when the
    // choice is refused (the field is then emptied).
    bool check_browsed(const std::string& field, const CkvString& path);

    // ---- Library tree ----
    // Selects a node of the open library's tree (nullptr: none).
    void select_node(MseqObject* node) { library_->select_node(node); }
    // The selected node; nullptr for none.
    MseqObject* selected_node() const { return library_->selected_node(); }
    // Renames a node of the open library after renaming in place (40045): the node, a book's
    // entity, and the file that stores the name is marked modified. False for an empty or
    // invalid name or a node outside the library.
    bool rename_node(MseqObject* node, const CkvString& name);
    // How the library tree marks the node's own file, as the terminal tools do: "missing" when
    // its content is new because no file is there, "empty" when a file is there but gave no
    // content (0 bytes, or unreadable and shown as empty); "" otherwise.
    const char* file_mark(const MseqObject* node) const;
    // Whether the link-information bar is shown.
    bool link_info_shown() const { return library_->link_info_shown(); }

    // ---- Edit list ----
    // Adds the entity to the edit list (or finds it) and, with `select`, shows it. The index of
    // its entry; -1 when the entity is null.
    int open_in_edit_list(MseqEntity* entity, MseqObject* node, bool select);
    // The open files' entries in list order (the root entry, -1, is not among them).
    const std::vector<MAppEditEntry>& edit_list() const { return edits_->entries(); }
    // The selected entry; -1 for the root entry (the about view).
    int edit_selection() const { return edits_->selection(); }
    // Selects an entry (-1: the root); out-of-range indexes select the root.
    void select_edit(int index);
    // The file shown in the editor pane, or nullptr for the about view.
    MseqEntity* shown_file() const;
    // The view for the shown file: music, stage map or chord map editor, else the about view.
    MAppView shown_view() const;
    // The front end could not show the shown file in its view: warns and shows the about view
    // (the edit list's root entry).
    void view_failed();
    // The front end could not load its drawing resources: warns; start-up then ends.
    void design_failed();

    // ---- Autosave and recovery ----
    // The seconds between two autosaves (the user's setting at the start, else 60; at most
    // 86400); 0 switches autosave off. The next autosave is due that long after this call. The
    // setting's file is not written (see save_autosave_setting).
    void set_autosave_interval(uint32_t seconds);
    // Keeps the current interval as the user's setting for the next start; false after a warning
    // naming the file and the reason.
    bool save_autosave_setting();
    // Keeps `language` as the user's choice for the next start and says that the language
    // changes then; false after a warning naming the file and the reason.
    bool save_language_setting(kv_language language);
    uint32_t autosave_interval() const { return autosave_seconds_; }
    // Writes a recovery copy of every modified file now (the timer and the window's loss of
    // focus call it) and drops the copies of files saved since. False when some copy could not
    // be written, after a warning naming the file and the reason.
    bool autosave();
    // How many autosaves have run to their end since the start.
    uint32_t autosave_runs() const { return autosave_runs_; }
    // The recovery copies in the folder, those left by earlier runs first (`include_own` adds
    // this run's own). Empty without a recovery folder.
    std::vector<MAppRecoveryEntry> recoverable(bool include_own = false) const;
    // Restores an earlier run's copy: the file's content becomes the copy's, it opens modified in
    // the edit list, and only a save writes it to its own path. The copy is removed once this
    // run holds the content. False (after a warning) when the copy cannot be read or the file
    // is not one of the open library's.
    bool recover(const MAppRecoveryEntry& entry);
    // Deletes every copy left by earlier runs.
    void discard_recovery();

    // ---- Playback ----
    // Handles the player's posted notifications and the follow timer; the front end calls it
    // from its event loop (and `korvante script` after each line).
    void pump();
    // Whether the player is playing; how the last playback ended, and the tick it started from.
    bool playing() const;
    MAppPlayEnd play_end() const { return playback_->play_end(); }
    int32_t play_start() const { return playback_->play_start(); }
    // Waits (pumping) until the player has ended, at most `timeout_ms`. True when it ended.
    bool wait_play_end(uint32_t timeout_ms);
    // Moves the play cursor of the edit-list entry showing `entity`.
    void set_play_cursor(MseqEntity* entity, int32_t tick);
    // The play cursor of that entry; 0 when the entity is not in the edit list.
    int32_t play_cursor(const MseqEntity* entity) const;
    // Moves the shown file's play cursor to `tick` (a press or drag in the bar ruler); while a
    // run plays, it starts over from there. Nothing without a playable file shown.
    void move_play_cursor(int32_t tick);
    // The frame's player, and the output device chosen by the settings (nullptr before the
    // start-up chose one).
    MplyPlayer& player() { return playback_->player(); }
    MplyDevice* current_device() const { return playback_->device(); }

    // ---- The parts behind the frame ----
    // The library (room, tree, selection), the edit list and playback (player, devices,
    // export, follow). The frame's own operations above are the ones other code calls; the
    // parts reach each other through these.
    MFrameLibrary& library() const { return *library_; }
    MFrameEditList& edits() const { return *edits_; }
    MFramePlayback& playback() const { return *playback_; }
    // The MIDI input and its recording modes.
    MAppMidiInput& midi_input() const { return *midi_input_; }
    // The editor of the music or phrase the editor pane shows, or null.
    MedtMusicInvoker* shown_editor() const;
    // The problem of the last read of the entity's file when a file was there but gave no
    // content; null when it was read, or no file was there.
    const MseqLoadProblem* unread_problem(const MseqEntity* entity) const;

    // The user port the frame was started with.
    MAppUserPort& port() const { return *port_; }
    // The application folder as a host path.
    const std::string& home() const { return home_; }
    // True when the application folder is only read (installed): what the program writes goes
    // to the user's folders.
    bool read_only_home() const { return read_only_; }

private:
    struct Impl;
    friend struct Impl;

    // Start-up steps.
    // Lists the copies an earlier run left and asks: restore all, discard all, or later.
    void offer_recovery();
    // Runs the autosave when its interval has passed (from pump()).
    void autosave_when_due();
    // Reads the user's autosave interval; a damaged setting warns, naming the file, and keeps
    // the default.
    void load_autosave_setting();
    // The node of the open library whose file is `path`, or nullptr.
    MseqObject* node_for_file(const CkvString& path);
    bool load_configuration();
    void load_scale_map();
    void open_command_line(const CkvString& command_line);
    void open_last_room();

    // Library workflow helpers.
    // open_room, with the warning about an unreadable library file shown only when asked;
    // `why` (may be null) receives why the file gave no library.
    bool load_room(const CkvString& path, bool create, bool warn_unreadable,
                   MseqLoadProblem* why = nullptr);
    void open_room_dialog();
    void open_recent(size_t index);
    void create_room_dialog();
    void save_selected();
    // Writes one file for save or save-all; on failure `failure` (may be null) receives its
    // file and reason lines. A file there whose content could not be read is written over only
    // after the user agreed, and is kept beside it first.
    bool write_file(MseqEntity* entity, CkvString* failure);
    // Asks before writing over `entity`'s file that exists but could not be read and, when the
    // user agrees, keeps it as NAME.bak (numbered when that exists). False: do not write.
    bool may_write_over(const MseqEntity* entity, CkvString* failure);
    void stop_player(int32_t timeout_ms);

    // Live recording on: a run from one bar before the edit cursor, keys kept from the cursor
    // on; off: the run stops and the take is entered.
    void toggle_live_record();

    // Tools.
    void settings();
    // The devices and ports present now, for the settings dialog.
    MAppDeviceNames device_names();
    void manual();

    kv_shell::shell* impl_shell() const;

    MAppUserPort* port_;
    std::string home_;
    bool read_only_ = false;
    std::unique_ptr<Impl> impl_;  // the owned services

    std::unique_ptr<MFrameLibrary> library_;
    std::unique_ptr<MFrameEditList> edits_;
    std::unique_ptr<MFramePlayback> playback_;
    std::unique_ptr<MAppMidiInput> midi_input_;
    bool exited_ = false;
    MseqLoadProblem scale_map_problem_;  // why the scale-map file gave no list, if it did not

    std::unique_ptr<MAppRecovery> recovery_;
    KvClock* clock_ = nullptr;
    uint32_t autosave_seconds_ = 60;
    uint32_t autosave_from_ms_ = 0;
    uint32_t autosave_runs_ = 0;
    std::string autosave_warned_;  // the failure last warned about, until an autosave succeeds
};

// The name the export dialog proposes for a leaf: its file name without folder and extension,
// then ".mid"; "default.mid" when the leaf has no file or its path is too long. Any thread.
CkvString mapp_default_midi_name(const MseqEntity* leaf);
// True for what the player can play: a music or a phrase (false for null). Any thread.
bool mapp_playable(const MseqEntity* entity);
