#pragma once

#include <exception>
#include <string>
#include <vector>

namespace kv_ui {

// One command-line tool: its name, a one-line usage and the function that runs it with the
// arguments after the name. The function returns the process exit status.
struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& args);
};

// Every tool the program offers, in the order `--help` lists them.
const std::vector<Command>& commands();

// Dispatches the arguments (the first names the tool) and returns the exit status; a command
// that meets an exception (memory running out) ends with status 1 and a message. UI thread.
int run_command(const std::vector<std::string>& args);

// A short English text for an exception the system raised ("out of memory", ...). Any thread.
const char* system_failure_text(const std::exception& e);

}  // namespace kv_ui
