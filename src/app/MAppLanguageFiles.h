#pragma once

#include <string>
#include <string_view>

#include "model/lang/KvLanguage.h"

// The files beside the application that exist once per language: the manual and the templates
// new files are made from. The Japanese ones are where they always were (".\manual\index.html",
// ".\template\music01\music.kvnl"); the English ones are in a folder "en" inside the first
// folder (".\manual\en\index.html", ".\template\en\music01\music.kvnl"). An English file that
// is missing falls back to the Japanese one, so that an application folder without the English
// files still works. User-interface thread.

// `rest` (relative to the application folder, Windows form, starting ".\") as `language` keeps
// it: the language's own file when it exists, else `rest` itself.
std::string mapp_language_file(std::string_view rest, kv_language language);
// The same in the current language.
std::string mapp_language_file(std::string_view rest);
