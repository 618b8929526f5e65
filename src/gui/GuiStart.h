#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/core/CkvString.h"
#include "model/lang/KvLanguage.h"

class MseqObject;
class QCoreApplication;
class QTranslator;

// The options of the desktop program: `korvante-gui [LIBRARY] [--home DIR] [--lang ja|en]
// [--open LEAF] [--screenshot FILE.png] [--size WxH] [--bar N] [--zoom fit|LEVELS] [--lanes]
// [--view-only] [--step-keys KEY,...] [--dialog settings] [--report-first-paint]`.
struct GuiOptions {
    std::string library;                  // host path of the library to open; empty: the last one
    std::string home;                     // application folder; empty: the program's folder
    std::optional<kv_language> language;  // --lang; none: the setting, else the locale
    std::string open_leaf;            // UTF-8 name or book/.../leaf path to open in the editor pane
    std::string screenshot;           // PNG file to write, then end
    int width = 0, height = 0;        // window size; 0: the stored or default size
    int bar = 0;                      // the bar the music view opens scrolled to; 0: the start
    bool zoom_fit = false;            // the music view opens with the whole music fitted
    int zoom = 0;                     // zoom levels in (positive) or out the music view opens at
    bool lanes = false;               // the music view opens with every resolved-pitch lane shown
    bool view_only = false;           // the picture shows the editor pane's view, not the window
    std::string dialog;               // "settings": the picture shows that dialog over the window
    bool report_first_paint = false;  // print the start-up time, then end
    std::string error;                // why the options were refused
    // Step recording switched on at the opened bar of the first note track, these keys entered
    // there as if played on the MIDI input (pictures of step entry).
    std::vector<int32_t> step_keys;
};

// Reads the options; `error` says what was wrong (empty when they are fine). Any thread.
GuiOptions gui_parse_options(const std::vector<std::string>& args);

// The node named by `path` (CP932): names joined by "/" from a book of the library down, or one
// name found anywhere in the library (books are opened on the way). nullptr when none matches.
// The user-interface thread.
MseqObject* gui_find_node(MseqObject* room, const CkvString& path);

// Makes Qt's own texts (the buttons of message boxes, the file dialog, the context menus of text
// fields) speak the language shown (kv_current_language), as the rest of the window does: in
// Japanese it loads Qt's Japanese translation into `app`, in English it loads none (English is
// Qt's own). A translation this function installed before is taken out first, and QLocale's
// default becomes the language's, so that Qt's dialogs write numbers and dates its way.
// The translator, owned by `app`; nullptr in English and when the translation files are not
// installed (the Debian package qt6-translations-l10n), where the dialogs stay in English.
// The user-interface thread, after the language is chosen and before any window opens.
QTranslator* gui_install_qt_translations(QCoreApplication& app);
