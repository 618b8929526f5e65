#include "ui/ParseCommand.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "model/core/MseqType.h"
#include "platform/TextCodec.h"
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
                line += kv_codec::utf8_from_cp932(name);
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

void print_error(uint32_t code) {
    std::printf("error %s\n", code_text(code).c_str());
}

}  // namespace

int run_parse_command(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: korvante parse FILE\n");
        return 2;
    }
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        print_error(MREC_E_NO_FILE);
        return 1;
    }
    std::string buffer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        print_error(MREC_E_READ_FAILED);
        return 1;
    }
    if (buffer.empty()) {
        print_error(MREC_E_NO_FILE);
        return 1;
    }
    buffer.push_back('\0');  // the reader needs the text to end with a NUL byte

    MrecReader reader;
    MrecReadResult result;
    if (!reader.parse_file_text(buffer.data(), buffer.size(), result)) {
        print_error(result.error);
        return 1;
    }
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
