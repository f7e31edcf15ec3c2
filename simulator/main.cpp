// ostrel-sim: the display-unit emulator's command-line tool.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "DecodeCommand.h"
#include "RunCommand.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"run", lw::sim::runCommand, "run --unit ADDR:TYPE ...  play display units on a serial line"},
    {"decode", lw::sim::decodeCommand,
     "decode HEX                decode one reply frame or relay block"},
};

int usage() {
    std::cerr << "usage: ostrel-sim COMMAND [ARGS]\n";
    for (const auto& c : kCommands)
        std::cerr << "  " << c.usage << '\n';
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    for (const auto& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
    return usage();
}
