#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "edit/MedtUserPort.h"
#include "model/core/CkvString.h"

class MseqObject;
class MseqEntity;

// The answer to a Yes/No/Cancel question.
enum class MAppAnswer { yes, no, cancel };

// What a file or folder dialog asks for.
enum class MAppFileKind { open, save, folder };

// One file or folder dialog: every text is CP932, every path Windows-form. The filter is in the
// "label|patterns|label|patterns||" form ("Korvante ライブラリ (*.kvnr)|*.kvnr|...||").
struct MAppFileRequest {
    MAppFileKind kind = MAppFileKind::open;
    CkvString title;
    CkvString filter;                // empty for folders
    CkvString default_ext;           // without the dot; empty for none
    CkvString initial_name;          // file name proposed in the name field
    CkvString initial_folder;        // folder the dialog starts in; empty for the dialog's choice
    bool must_exist = false;         // the chosen file must exist (open only)
    bool prompt_create = false;      // a missing file is accepted after the user confirms it
    bool confirm_overwrite = false;  // an existing file is replaced only after confirmation
};

// The dialogs the application runs through the port. Their field names are listed with each.
enum class MAppDialog {
    // Create library: "parent", "folder", "file"; read-only "full".
    create_room,
    // New music: "page" ("1" new folder, "2" chosen files); page 1: "parent", "folder";
    // page 2: "book", "music", "stage", "chord".
    new_music,
    // Settings: the configuration fields by their record names ("m_DeviceID", "m_DirectMusic",
    // "m_PlayMode", "m_StopClose", "m_StopResetMsg", "m_CacheLevel", "m_SeekInterval", ...) and
    // "autosave_seconds", the autosave interval (kept in a file of its own).
    settings,
    // Import a MIDI file: read-only "books" (the music books' names, one a line), "book" (the
    // chosen one's index in that list), "name" (the new music's name), "analysis" ("none",
    // "chord", "scale" or "tone": what the pure notes become, or no analysis).
    import_midi,
    // Export the shown file: "format" ("0" or "1": a MIDI file of that format; "musicxml": a
    // score, compressed when the file name ends in .mxl) and "text" ("cp932" or "utf8": how a
    // MIDI file spells its texts).
    export_file,
    // Render the shown music as sound: "format" ("wav", "flac" or "ogg") and "stems" ("1": one
    // more file per part, into a folder chosen next).
    render_audio,
    // Analyse the shown music: "analysis" ("chord", "scale" or "tone": what the pure notes
    // become).
    analyse_music,
};

// A dialog's fields as name/value pairs (values CP932), in the order the dialog shows them.
struct MAppFields {
    std::vector<std::pair<std::string, CkvString>> items;

    // The value of `name`; an empty string when the dialog has no such field.
    const CkvString& get(const std::string& name) const;
    // Sets (or adds) the field `name`.
    void set(const std::string& name, const CkvString& value);
};

// The result of checking a dialog's values when the user presses OK: accepted, or refused with
// the field that should take the focus (its text selected). The check has already shown its
// message; a refused dialog stays open.
struct MAppCheck {
    bool accepted = true;
    std::string focus;  // field to focus when refused; empty for none
};

// The checker a dialog calls on OK with the current values; it may rewrite them (trimmed names,
// the computed full path).
using MAppDialogCheck = std::function<MAppCheck(MAppFields&)>;

// What the front end should redraw after the application changed something.
enum class MAppRefresh {
    room_tree,    // the library tree as a whole (library opened, closed, books added)
    room_item,    // one library-tree item (the node given)
    edit_list,    // the edit list as a whole
    edit_entry,   // one edit-list entry (the entity given)
    editor_view,  // the editor pane: show the edit list's selection (or the about view)
    title,        // the window title (MFrame::title())
    menus,        // the menus: recent entries, enabled states, check marks
    play_state,   // the player started or ended: the views enter or leave their playback state
    play_cursor,  // the followed editor's play cursor moved
    raise,        // another start of the program asks this window to come to the front
};

// The devices the settings dialog offers, listed afresh each time it opens (so that the ports
// of a JACK server started since are there).
struct MAppDeviceNames {
    std::vector<std::string> midi_outputs;  // in the system output's numbering
    std::vector<std::string> synth_ports;   // the synthesizer's audio ports
    std::vector<std::string> midi_inputs;   // the MIDI input ports, by name
};

// Everything the application shows to the user or asks of them goes through this port. The
// desktop front end implements it with windows; `korvante script` and the tests with a scripted
// one. Every text is CP932 with "\n" line breaks. Every call comes from the user-interface
// thread, and every call returns only when the user has answered.
//
// The message boxes are the editing layer's (warn, inform, ask_yes_no from MedtUserPort): the
// editors ask through the same port.
class MAppUserPort : public MedtUserPort {
public:
    // The application's Yes/No/Cancel questions, with Cancel as the default button.
    virtual MAppAnswer ask_yes_no_cancel(const CkvString& text) = 0;
    // The editors' Yes/No/Cancel questions with their default button `preset`. By default asked
    // as the application's questions are (Cancel as the default button); a port that can set
    // the default button overrides it.
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) override {
        (void)preset;
        switch (ask_yes_no_cancel(text)) {
            case MAppAnswer::yes:
                return MedtAnswer::Yes;
            case MAppAnswer::no:
                return MedtAnswer::No;
            case MAppAnswer::cancel:
                break;
        }
        return MedtAnswer::Cancel;
    }

    // A file or folder dialog; false when the user cancels, else the chosen Windows-form path
    // in `path`.
    virtual bool choose_file(const MAppFileRequest& request, CkvString* path) = 0;

    // The devices the next settings dialog lists; a port without dialogs has no use for them.
    virtual void offer_devices(const MAppDeviceNames& names) { (void)names; }

    // Runs `dialog` starting from `fields`; `check` is called on every OK and the dialog closes
    // only when it accepts. True (with the accepted values in `fields`) for OK, false for Cancel.
    virtual bool run_dialog(MAppDialog dialog, MAppFields& fields,
                            const MAppDialogCheck& check) = 0;

    // Shows or hides the wait cursor around a long operation. Never fails.
    virtual void wait_cursor(bool on) = 0;

    // A long operation's progress: `text` over `steps` steps, with a cancel button when
    // `cancellable`. progress_step shows `done` steps done and lets the front end handle its
    // events, so that the window stays responsive; it answers false once the user has asked to
    // cancel. progress_end hides the display. A port without a display shows nothing and never
    // cancels.
    virtual void progress_begin(const CkvString& text, int steps, bool cancellable) {
        (void)text;
        (void)steps;
        (void)cancellable;
    }
    virtual bool progress_step(int done) {
        (void)done;
        return true;
    }
    virtual void progress_end() {}

    // Tells the front end to redraw `what`; `node` or `entity` name the item where it matters.
    // Never fails.
    virtual void refresh(MAppRefresh what, const MseqObject* node = nullptr,
                         const MseqEntity* entity = nullptr) = 0;
};
