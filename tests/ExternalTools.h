#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Runs the independent programs that check our files (midicsv, csvmidi, Python's mido, sox).
// tools/setup.sh installs them; a test whose tool is missing skips with a message naming it.
namespace kv_test {

// True when `program` is found on the search path.
inline bool have_program(const std::string& program) {
    const std::string cmd = "command -v " + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// True when the system Python can import mido (Debian's python3-mido).
inline bool have_mido() {
    return std::system("/usr/bin/python3 -c 'import mido' >/dev/null 2>&1") == 0;
}

// Runs a shell command and returns its exit status; its standard output goes to `out`.
inline int run_capture(const std::string& cmd, std::string* out) {
    out->clear();
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out->append(buf, n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Python, run by Debian's interpreter (the one python3-mido belongs to), with `file` as argv[1].
inline int run_python(const std::string& script, const std::string& file, std::string* out) {
    std::string quoted;
    for (char c : script) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return run_capture("/usr/bin/python3 -c '" + quoted + "' '" + file + "' 2>&1", out);
}

}  // namespace kv_test
