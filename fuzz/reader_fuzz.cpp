// Feeds arbitrary bytes to the text-format reader: as a whole file (terminated, and raw), as one
// expression under every flag combination, and reads every field of what a successful read
// produced. Any crash, hang, leak or out-of-bounds read is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/AnalyzeFields.h"
#include "text/MrecReader.h"
#include "text/analyze.h"

namespace {

void touch_record(const AnalyzeRecord& record, unsigned& sink) {
    for (const analyze_value& item : record.items()) {
        sink += item.kind_word();
        sink += static_cast<unsigned>(item.text().size());
        if (const AnalyzeRecord* nested = item.record()) touch_record(*nested, sink);
    }
    for (const auto& attribute : record.attributes())
        sink += static_cast<unsigned>(attribute.first.size());
}

// Reads every declared field of `record` in every way, as a record compiler might.
void read_fields(const MrecReadResult& result, const AnalyzeType& type, const AnalyzeRecord& record,
                 unsigned& sink) {
    for (const AnalyzeField& f : type.fields()) {
        AnalyzeFieldReader r(result.types, type.name(), record);
        int32_t i = 0;
        uint32_t u = 0;
        CkvString s;
        const AnalyzeRecord* nested = nullptr;
        r.read_int(f.name, i);
        AnalyzeFieldReader r2(result.types, type.name(), record);
        r2.read_uint(f.name, u);
        AnalyzeFieldReader r3(result.types, type.name(), record);
        r3.read_string(f.name, s);
        AnalyzeFieldReader r4(result.types, type.name(), record);
        r4.read_record(f.name, nested);
        AnalyzeFieldReader r5(result.types, type.name(), record);
        AnalyzeArrayReader array;
        if (r5.read_array(f.name, array)) {
            for (std::size_t k = 0; k <= array.size(); ++k) {
                AnalyzeFieldReader element;
                array.read_int(k, i);
                if (array.read_element(k, element)) sink += element.ok();
            }
        }
        sink += static_cast<unsigned>(i) + u + static_cast<unsigned>(s.size()) + r.error() +
                r2.error() + r3.error() + r4.error() + r5.error();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string text(bytes, size);
    text.push_back('\0');
    unsigned sink = 0;

    MrecReader reader;
    MrecReadResult result;
    if (reader.parse_file_text(text.data(), text.size(), result) && result.main) {
        touch_record(*result.main, sink);
        for (const auto& type : result.types.types())
            read_fields(result, *type, *result.main, sink);
        auto copy = result.main->clone();
        touch_record(*copy, sink);
    }
    // The buffer as it came, without a terminator of ours: must be refused or read in bounds.
    reader.parse_file_text(bytes, size, result);
    reader.parse_header_text(text.data(), text.size(), result);

    // The bytes as one expression, under every combination of flags.
    for (uint32_t flags : {0u, 0x1u, 0x4u, 0x8u, 0xDu}) {
        analyze a(flags);
        a.set_text(text.c_str());
        analyze_value v;
        if (a.evaluate(v)) sink += static_cast<unsigned>(v.number() == 0.0);
    }
    return static_cast<int>(sink & 0);
}
