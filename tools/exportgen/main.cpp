// exportgen: converts survey job files to raw-data formats, replays generator scripts and
// writes synthetic jobs. Every command lives in the exportgen_host library.
#include <iostream>

#include "cli/commands.h"
#include "output/output.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    exportgen::protectOutputs();
    return exportgen::run(argc, argv, std::cout, std::cerr);
}
