#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/MApp.h"
#include "app/MAppScriptPort.h"

class MFrame;

namespace kv_ui {

// The application's lines of `korvante script`: the start-up, commands by number, selections in
// the library tree and the edit list, dialog values and file-dialog answers queued ahead, the
// answers to questions, printouts of the frame's state, and exit. Every message box is printed
// on standard output as it is shown. The UI thread.
class AppScript {
public:
    // One line the application understands: its verb and a one-line usage.
    struct Help {
        const char* verb;
        const char* usage;
    };
    // The lines, in the order `korvante script --help` lists them.
    static const std::vector<Help>& help();

    AppScript();
    ~AppScript();

    // True when `verb` is one of the application's lines.
    static bool handles(const std::string& verb);
    // Runs one line (verb and arguments, UTF-8). False with a message in `error` when the line
    // is wrong or its target does not exist; a refused or disabled command is not an error (it
    // is printed).
    bool run(const std::string& verb, const std::vector<std::string>& args, std::string* error);

    // The frame after `start`, or nullptr.
    MFrame* frame() const { return app_ ? app_->frame() : nullptr; }
    MAppScriptPort& port() { return port_; }

private:
    bool start(const std::vector<std::string>& args, std::string* error);
    bool menu(const std::vector<std::string>& args, std::string* error);
    bool select(const std::vector<std::string>& args, std::string* error);
    bool select_edit(const std::vector<std::string>& args, std::string* error);
    bool dialog(const std::vector<std::string>& args, std::string* error);
    bool file(const std::vector<std::string>& args, std::string* error);
    bool answer(const std::vector<std::string>& args, std::string* error);
    bool print(const std::vector<std::string>& args, std::string* error);
    bool exit(std::string* error);
    bool open(const std::vector<std::string>& args, std::string* error);
    bool wait(const std::vector<std::string>& args, std::string* error);

    MAppScriptPort port_;
    std::unique_ptr<MApp> app_;
};

// Runs the lines of a script (comments start with '#'), one at a time, through the
// application's handlers; prints "line N: message" on standard error and returns 1 at the first
// line that fails, 2 for an unknown line, else 0. The UI thread.
int run_app_script(const std::vector<std::string>& lines);

// `korvante script [FILE]`: reads the lines from FILE or standard input.
int run_script_command(const std::vector<std::string>& args);

}  // namespace kv_ui
