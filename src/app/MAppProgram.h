#pragma once

#include <optional>
#include <string>

#include "app/MAppLanguageSetting.h"
#include "model/lang/KvLanguage.h"

class MrecFileStore;

// The one start-up that every front end shares, before any file is read: the application
// folder that the "<prog>" macro counts from, and the file store the desk reads and writes
// through. The command-line tools call it first; the frame calls it again with its own folder,
// which moves the folder and keeps the store, so that a frame started and ended inside a tool
// leaves the tool's reads as they were. UI thread.

// The application folder as the start-up found it.
struct MAppProgramFolder {
    std::string path;        // host path
    bool read_only = false;  // installed, or not writable: what the program writes goes to the
                             // user's folders
};

// Sets the application folder (`home`, a host path; when empty, the folder already set, or
// else the one the executable belongs to: its own folder in a build, the installed data
// folder otherwise), the folder the settings are written to, and installs the file store on
// the desk.
MAppProgramFolder mapp_init_program(const std::string& home);

// The desk's file store installed by mapp_init_program. Its log notes every file a load could
// not use.
MrecFileStore& mapp_file_store();

// Chooses the language of the program's texts, once at start after mapp_init_program and before
// the first text is made: `asked` (the command line's `--lang`), else the user's setting (read
// from the folder mapp_init_program chose), else the messages locale of the environment.
// Returns what reading the setting found, so that a front end can say why a damaged file was
// not used.
MAppLanguageSetting mapp_start_language(std::optional<kv_language> asked);
