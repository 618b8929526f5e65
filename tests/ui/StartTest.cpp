// The terminal program starts without the synthesizer's and the sound-file encoder's
// libraries (some sixty with what they bring): the commands that need them open them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace start_test {

// The libraries the dynamic loader maps for the program before it runs, as it lists them.
std::string loaded_at_start() {
    FILE* pipe = popen("LD_TRACE_LOADED_OBJECTS=1 '" KV_PROGRAM "'", "r");
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST(ProgramStart, LoadsNeitherTheSynthesizerNorTheEncoder) {
    const std::string libraries = loaded_at_start();
    ASSERT_NE(libraries.find("libc.so"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libfluidsynth"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("libsndfile"), std::string::npos) << libraries;
}

}  // namespace start_test
