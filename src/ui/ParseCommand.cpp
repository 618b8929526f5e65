#include "ui/ParseCommand.h"

#include <cstdio>
#include <string>

#include "model/core/CkvText.h"
#include "model/core/MseqType.h"
#include "platform/FileSystem.h"
#include "text/AnalyzeErrors.h"
#include "text/MrecReader.h"
#include "ui/Terminal.h"

namespace kv_ui {

namespace {

std::string number_text(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A scalar cell: a number, a quoted string, or nothing for an empty cell.
std::string scalar_text(const analyze_value& v) {
    if (v.is_number()) return number_text(v.number());
    if (v.is_string()) return terminal_quoted(v.text());
    return std::string();
}

void print_items(const AnalyzeRecord& record, const std::string& prefix) {
    for (std::size_t i = 0; i < record.size(); ++i) {
        const std::string path = prefix + std::to_string(i);
        const analyze_value& item = record.items()[i];
        std::string line = path + " ";
        if (const AnalyzeRecord* nested = item.record()) {
            line += "{}";
            for (const auto& [name, value] : nested->attributes()) {
                line += " @";
                line += ckv_to_utf8(name);
                const std::string shown = scalar_text(value);
                if (!shown.empty()) line += "=" + shown;
            }
            std::printf("%s\n", line.c_str());
            print_items(*nested, path + ".");
        } else {
            line += item.is_empty() ? std::string("(empty)") : scalar_text(item);
            std::printf("%s\n", line.c_str());
        }
    }
}

// The failure of a read of `file`, on standard error.
int fail(const std::string& file, const MrecReadResult& result) {
    MrecLoadProblem problem;
    problem.path = MseqFullPath(CkvString(kv_fs::from_host(file)));
    problem.error = result.error;
    problem.line = result.line;
    problem.column = result.column;
    problem.hint = result.hint;
    problem.file = result.file;
    std::fprintf(stderr, "%s\n", problem_message(problem).c_str());
    return 1;
}

}  // namespace

int run_parse_command(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: korvante parse FILE\n");
        return 2;
    }
    MrecReadResult result;
    std::string buffer;
    const std::string path = kv_fs::from_host(args[0]);
    if (!kv_fs::read_file(path, &buffer, &result.file)) {
        // As check reports it: a missing file is 0x10002, one that cannot be read 0x10003.
        result.error =
            result.file.kind == kv_fs::file_error::missing ? MREC_E_NO_FILE : MREC_E_READ_FAILED;
        return fail(args[0], result);
    }
    if (buffer.empty()) {
        result.error = MREC_E_NO_FILE;
        return fail(args[0], result);
    }
    buffer.push_back('\0');  // the reader needs the text to end with a NUL byte

    MrecReader reader;
    if (!reader.parse_file_text(buffer.data(), buffer.size(), result)) return fail(args[0], result);
    const MrecHeader& h = result.header;
    const char* target = mrec_target_word(h.target);
    const char* type = mseq_type_constant(h.type);
    std::printf("ok\n");
    std::printf("header soft_version=0x%08x data_version=0x%08x target=%s type=%s name=%s\n",
                h.soft_version, h.data_version, target ? target : "", type ? type : "",
                terminal_quoted(h.name).c_str());
    if (result.main) print_items(*result.main, "");
    return 0;
}

}  // namespace kv_ui
