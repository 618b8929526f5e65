#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ui/Commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return kv_ui::run_command(args);
}
