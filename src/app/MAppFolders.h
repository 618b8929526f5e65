#pragma once

#include <string>

#include "model/core/CkvString.h"

// The user's folders of the application, for an application folder that is only read
// (installed): settings, the user's own copy of the demo library and the recovery copies of
// unsaved files. Each is empty when the user's base folder is unknown (no $HOME and no XDG
// variable). User-interface thread.

// Where the configuration and the scale map are written (Windows form):
// $XDG_CONFIG_HOME/korvante.
CkvString mapp_user_settings_folder();

// Where the user's libraries start (host path): $XDG_DATA_HOME/korvante.
std::string mapp_user_library_folder();

// Where the recovery copies of unsaved files are kept (host path):
// $XDG_STATE_HOME/korvante/recovery.
std::string mapp_recovery_folder();

// The demo library of a "mymusic" folder (`folder`, Windows form): its English twin
// "en\library.kvnr" when the program speaks English and the folder holds it, else the Japanese
// "library.kvnr" (which need not exist: a first start then opens it as a new library).
CkvString mapp_demo_library(const CkvString& folder);

// The library the first start opens from a read-only application folder (Windows form): the
// user's copy of the demo library (mapp_demo_library of "mymusic" in the user's library
// folder), copied from the application folder `home` (host path) when it is not there yet,
// with the pattern book's folder its demo books link their patterns in.
// Empty when there is no user folder. A failed copy still names the path: it then opens as a
// new library.
CkvString mapp_user_first_library(const std::string& home);
