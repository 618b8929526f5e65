#pragma once

// Shared helpers of the map view tests: a scripted question port and the saved text of a map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edit/MedtUserPort.h"
#include "model/core/MseqDesk.h"
#include "model/core/MseqEntity.h"
#include "platform/TextCodec.h"
#include "text/MrecEntityWriter.h"

// Answers every question with `answer` and keeps the questions, in UTF-8.
class ScriptedQuestions : public MedtUserPort {
public:
    explicit ScriptedQuestions(bool answer) : answer(answer) {}
    bool ask_yes_no(const CkvString& text) override {
        asked.push_back(kv_codec::utf8_from_cp932(text));
        return answer;
    }
    void warn(const CkvString& text) override { asked.push_back("warn:" + text); }
    void inform(const CkvString& text) override { asked.push_back("inform:" + text); }
    MedtAnswer ask_yes_no_cancel(const CkvString& text, MedtAnswer) override {
        return ask_yes_no(text) ? MedtAnswer::Yes : MedtAnswer::No;
    }
    bool answer;
    std::vector<std::string> asked;
};

// The bytes saving the entity would write.
inline std::string saved(MseqEntity* e) {
    std::string text;
    EXPECT_TRUE(mrec_write_entity(e, &text));
    return text;
}

// The line of the saved text that starts with `prefix` (UTF-8), or "" when there is none.
inline std::string saved_line(MseqEntity* e, const std::string& prefix) {
    const std::string text = kv_codec::utf8_from_cp932(saved(e));
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0) return line;
        at = end + 2;
    }
    return "";
}

// Whether the entity is marked modified: its flag and the desk's modified set agree.
inline bool marked_modified(MseqEntity* e) {
    const bool flag = (e->flags & MEF_MODIFIED) != 0;
    EXPECT_EQ(flag, MseqDesk::instance().modified.count(e) != 0);
    return flag;
}

// Leaves the desk's modified set as the test found it.
struct ModifiedGuard {
    explicit ModifiedGuard(MseqEntity* e) : e(e) {}
    ~ModifiedGuard() { MseqDesk::instance().clear_modified(e); }
    MseqEntity* e;
};
