#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

// What one run of the built program printed on standard output, and its exit status.
struct ProgramRun {
    std::string out;
    int status = -1;
};

// Runs the built `korvante` with a shell-quoted argument string, after the shell's variable
// assignments `environment` ("NAME=VALUE ...", may be empty).
inline ProgramRun run_program_in(const std::string& environment, const std::string& arguments) {
    ProgramRun run;
    const std::string command = environment + " " + std::string(KV_PROGRAM) + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs the built `korvante` with a shell-quoted argument string.
inline ProgramRun run_program(const std::string& arguments) {
    return run_program_in("", arguments);
}
