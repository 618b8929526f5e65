#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/MAppUserPort.h"

// A user port that answers from queues instead of windows: for `korvante script` and the tests.
// Every message box is reported as one line when it is shown ("warn: ", "info: " or "ask: ",
// the text in UTF-8 with line breaks written "\n", and for a question " -> " and the answer
// used). Unanswered questions take the box's default button (Yes for Yes/No; for Yes/No/Cancel
// the given one, Cancel for the application's questions) or, in strict mode, count as a failure
// that take_failure reports and are answered No (Cancel). An unanswered file dialog or dialog is
// cancelled. The user-interface thread.
class MAppScriptPort : public MAppUserPort {
public:
    // Where each reported line goes (UTF-8, without its line break).
    using Sink = std::function<void(const std::string& line)>;

    // Reports each line to `sink` (nothing when empty); the lines are also kept in `log`.
    explicit MAppScriptPort(Sink sink = Sink()) : sink_(std::move(sink)) {}

    // Queues answers for the coming questions.
    void answer(MAppAnswer a) {
        answers_.push_back(a == MAppAnswer::yes ? "yes" : a == MAppAnswer::no ? "no" : "cancel");
    }
    // Queues "yes", "no", "cancel" or "ok" (the last one acknowledges the next warning or
    // information box); false for any other word.
    bool queue(const std::string& word);
    // Queues the path (Windows form) the next file or folder dialog returns.
    void file(const CkvString& path) { files_.push_back(path); }
    // Queues a cancelled file dialog.
    void cancel_file() { files_.push_back(cancel_marker()); }
    // Queues values for the next dialog: each set is one press of OK; fields not named keep
    // their values.
    void dialog(const std::vector<std::pair<std::string, CkvString>>& values) {
        dialogs_.push_back(values);
    }
    // The failure of the last question that had no fitting answer in strict mode, cleared by
    // reading it; empty when none.
    std::string take_failure();

    void warn(const CkvString& text) override;
    void inform(const CkvString& text) override;
    bool ask_yes_no(const CkvString& text) override;
    // Unanswered: Cancel.
    MAppAnswer ask_yes_no_cancel(const CkvString& text) override;
    // Unanswered: the default button `preset` (Cancel in strict mode).
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer preset) override;
    // Kept in the log as "status: " lines, not reported (the status bar is no message box).
    void status(const CkvString& text) override;
    bool choose_file(const MAppFileRequest& request, CkvString* path) override;
    bool run_dialog(MAppDialog dialog, MAppFields& fields, const MAppDialogCheck& check) override;
    void wait_cursor(bool) override {}
    // Kept in the log as "progress: " lines (the text, then each new step as "n/steps"); a step at
    // or past `cancel_progress_at` answers that the user cancelled.
    void progress_begin(const CkvString& text, int steps, bool cancellable) override;
    bool progress_step(int done) override;
    void progress_end() override;
    void refresh(MAppRefresh what, const MseqObject*, const MseqEntity*) override;

    // Strict mode: questions must be answered by the queue.
    bool strict = false;
    // Every reported line, in order.
    std::vector<std::string> log;
    // The last file request and the fields of the last dialog, as they were offered.
    MAppFileRequest last_request;
    MAppFields last_fields;
    // The first progress step that counts as cancelled; -1 for none.
    int cancel_progress_at = -1;
    // How often the front end was asked to come to the front.
    int raise_count = 0;
    // The number of unanswered boxes (defaults used).
    int defaults_used = 0;
    // How many questions were asked so far.
    int questions() const { return questions_; }

private:
    static CkvString cancel_marker() { return CkvString(std::string(1, '\0')); }
    void report(const char* kind, const CkvString& text, const char* answer = nullptr);
    void acknowledge();

    Sink sink_;
    std::deque<std::string> answers_;
    std::deque<CkvString> files_;
    std::deque<std::vector<std::pair<std::string, CkvString>>> dialogs_;
    std::string failure_;
    int questions_ = 0;
    int progress_steps_ = 0;
    int progress_shown_ = -1;
};

// The UTF-8 form of a text with line breaks written "\n" and tabs "\t": how message texts are
// reported on one line. Any thread.
std::string mapp_one_line(const CkvString& text);
