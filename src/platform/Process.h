#pragma once

#include <string>

// Facts about the running program.
namespace kv_process {

// The host path of the running executable; empty when the system does not tell. Any thread.
std::string executable_path();

}  // namespace kv_process
