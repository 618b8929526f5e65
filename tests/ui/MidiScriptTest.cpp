// The MIDI input lines of `korvante script`: `midi-in` plays keys into the input, `record`
// chooses what they do; on the demo song, nothing saved.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/AppData.h"
#include "ui/RunProgram.h"

namespace midi_script_test {

ProgramRun Script(const std::string& lines) {
    const std::string file = "/tmp/kv-midi-script-" + std::to_string(::getpid()) + ".txt";
    std::ofstream(file, std::ios::binary) << "open \"" << kv_test::app_data("mymusic/library.kvnr")
                                          << "\" \"デモソング/はじまりの朝\"\n"
                                          << lines;
    ProgramRun run = run_program("script '" + file + "' 2>&1");
    std::remove(file.c_str());
    return run;
}

// The keys `print keys` lists, in order.
std::vector<int> Keys(const std::string& out) {
    std::vector<int> keys;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        int tick = 0, key = 0, velocity = 0, length = 0;
        if (std::sscanf(line.c_str(), "%d %d %d %d", &tick, &key, &velocity, &length) == 4)
            keys.push_back(key);
    }
    return keys;
}

TEST(MidiScript, StepEntryEntersThePlayedKeysAndChords) {
    const ProgramRun run = Script(
        "track メロディ\nnote-value quarter\ncursor 0\nrecord step\n"
        "midi-in 62\nmidi-in 65 70\nmidi-in 60,64,67\nprint keys 0 1920\n"
        "track ヘッダ/コード\nnote-value whole\ncursor 2\nmidi-in 50,65,69\n"
        "midi-in 55,59,62,65\nrecord off\nmidi-in 40\n");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::vector<int> keys = Keys(run.out);
    ASSERT_GE(keys.size(), 3u) << run.out;
    EXPECT_EQ(std::vector<int>(keys.begin(), keys.begin() + 3), (std::vector<int>{62, 65, 67}))
        << run.out;
    EXPECT_NE(run.out.find("chord: Dm\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("chord: Gmaj (nearest; not in it: F; missing: -)"), std::string::npos)
        << run.out;
}

TEST(MidiScript, RefusesWhatIsNoKeyAndLiveRecordingWithoutThePlayer) {
    EXPECT_NE(Script("midi-in 128\n").status, 0);
    EXPECT_NE(Script("midi-in 60 0\n").status, 0);
    EXPECT_NE(Script("record sideways\n").status, 0);
    const ProgramRun live = Script("record live\n");
    EXPECT_NE(live.status, 0);
    EXPECT_NE(live.out.find("needs the application"), std::string::npos) << live.out;
}

}  // namespace midi_script_test
