#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/MAppUserPort.h"

// A user port that answers from queues instead of windows: for `korvante script` and the tests.
// Every message box is reported as one line when it is shown ("warn: ", "info: " or "ask: ",
// the text in UTF-8 with line breaks written "\n", and for a question " -> " and the answer
// used). Unanswered questions take the box's default button (Yes for Yes/No, Cancel for
// Yes/No/Cancel); an unanswered file dialog or dialog is cancelled. The user-interface thread.
class MAppScriptPort : public MAppUserPort {
public:
    using Sink = std::function<void(const std::string& line)>;

    // Reports each line to `sink` (nothing when empty); the lines are also kept in `log`.
    explicit MAppScriptPort(Sink sink = Sink()) : sink_(std::move(sink)) {}

    // Queues answers for the coming questions.
    void answer(MAppAnswer a) { answers_.push_back(a); }
    // Queues the path (Windows form) the next file or folder dialog returns.
    void file(const CkvString& path) { files_.push_back(path); }
    // Queues a cancelled file dialog.
    void cancel_file() { files_.push_back(nullopt_marker()); }
    // Queues values for the next dialog: each set is one press of OK; fields not named keep
    // their values.
    void dialog(const std::vector<std::pair<std::string, CkvString>>& values) {
        dialogs_.push_back(values);
    }

    void warn(const CkvString& text) override;
    void inform(const CkvString& text) override;
    bool ask_yes_no(const CkvString& text) override;
    MAppAnswer ask_yes_no_cancel(const CkvString& text) override;
    bool choose_file(const MAppFileRequest& request, CkvString* path) override;
    bool run_dialog(MAppDialog dialog, MAppFields& fields, const MAppDialogCheck& check) override;
    void wait_cursor(bool) override {}
    void refresh(MAppRefresh what, const MseqObject*, const MseqEntity*) override;

    // Every reported line, in order.
    std::vector<std::string> log;
    // The last file request and the fields of the last dialog, as they were offered.
    MAppFileRequest last_request;
    MAppFields last_fields;
    // How often the front end was asked to come to the front.
    int raise_count = 0;
    // The number of unanswered boxes (defaults used).
    int defaults_used = 0;

private:
    static CkvString nullopt_marker() { return CkvString(std::string(1, '\0')); }
    void report(const char* kind, const CkvString& text, const char* answer = nullptr);

    Sink sink_;
    std::deque<MAppAnswer> answers_;
    std::deque<CkvString> files_;
    std::deque<std::vector<std::pair<std::string, CkvString>>> dialogs_;
};

// The UTF-8 form of a text with line breaks written "\n" and tabs "\t": how message texts are
// reported on one line. Any thread.
std::string mapp_one_line(const CkvString& text);
