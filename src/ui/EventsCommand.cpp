#include "ui/EventsCommand.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/parse_int.h"
#include "model/library/MseqMusic.h"
#include "play/engine/MplyMusic.h"
#include "play/engine/MplyOutput.h"
#include "play/engine/MplyPlayer.h"
#include "ui/LibraryLeaf.h"
#include "ui/ToolPrologue.h"

namespace kv_ui {

namespace {

// An offline output that prints every call it receives.
class ListingOutput final : public MplyOutput {
public:
    bool IsOffline() const override { return true; }
    int Finish() override {
        std::fputs("finish\n", stdout);
        return 1;
    }
    int Stop() override {
        std::fputs("stop\n", stdout);
        return 1;
    }
    int SendTempo(const MplyEventTempo& e) override {
        std::printf("%d\ttempo\t%d\n", e.time, e.tempo);
        return 1;
    }
    int SendNoteOn(const MplyEventNoteOn& e) override {
        std::printf("%d\tnote-on\t%u\t%u\t%u\t%d\n", e.time, e.channel, e.key, e.velocity,
                    e.duration);
        return 1;
    }
    int SendNoteOff(const MplyEventNoteOff& e) override {
        std::printf("%d\tnote-off\t%u\t%u\n", e.time, e.channel, e.key);
        return 1;
    }
    int SendControl(const MplyEventControl& e) override {
        std::printf("%d\tcontrol\t%u\t%u\t%u\n", e.time, e.channel, e.controller, e.value);
        return 1;
    }
    int SendExclusive(const MplyEventExclusive& e) override {
        std::printf("%d\texclusive\t%s\n", e.time, hex(e.body).c_str());
        return 1;
    }
    int SendText(const MplyEventString& e) override {
        std::printf("%d\ttext\t%u\t%s\n", e.time, e.text_type, quoted(*e.text).c_str());
        return 1;
    }
    int SendRawMessage(const MplyEventMsg& e) override {
        std::printf("%d\tmessage\t%s\n", e.time, hex(e.message).c_str());
        return 1;
    }

private:
    static std::string hex(const std::vector<uint8_t>& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (uint8_t b : bytes) {
            if (!out.empty()) out += ' ';
            out += digits[b >> 4];
            out += digits[b & 0x0F];
        }
        return out;
    }
    // The text in UTF-8 between double quotes, `\` and `"` escaped.
    static std::string quoted(const CkvString& cp932) {
        std::string out = "\"";
        for (char c : ckv_to_utf8(cp932)) {
            if (c == '\\' || c == '"') out.push_back('\\');
            out.push_back(c);
        }
        out.push_back('"');
        return out;
    }
};

int usage() {
    return tool_usage("usage: korvante events LIBRARY LEAF [--from TICK]\n");
}

}  // namespace

int run_events_command(const std::vector<std::string>& args) {
    std::vector<std::string> names;
    int32_t from = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from") {
            if (i + 1 >= args.size()) return usage();
            int64_t tick = 0;
            if (parse_int(args[++i], 0, INT32_MAX, &tick) != parse_int_error::none) return usage();
            from = static_cast<int32_t>(tick);
        } else {
            names.push_back(args[i]);
        }
    }
    if (names.size() != 2) return usage();

    LibraryLeaf lib;
    MseqMusic* music = open_tool_music(lib, names[0], &names[1]);
    if (!music) return 1;
    std::unique_ptr<MplyEntity> compiled(music->create_player_model());
    ListingOutput output;
    MplyPlayer player;
    player.SetStartTick(from);
    if (!compiled || !player.Start(&output, compiled)) {
        std::fprintf(stderr, "%s: cannot be played\n", names[1].c_str());
        return 1;
    }
    std::fflush(stdout);
    print_warnings(lib);
    return 0;
}

}  // namespace kv_ui
