// Loads a tank table file over and over while another process rewrites it, and reports every
// load that did not see one whole version of the file: every version the writer saves has the
// same number of rows, all with the same Level.
//
// Usage: tablefile_probe FILE ROWS STOPFILE. Exit 0 when every load was whole; prints the count.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "TankTableFile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE ROWS STOPFILE\n", argv[0]);
        return 2;
    }
    const std::filesystem::path file = argv[1];
    const int rows = std::atoi(argv[2]);
    const std::filesystem::path stop = argv[3];
    long loads = 0;
    long torn = 0;
    while (!std::filesystem::exists(stop)) {
        lw::TankTable table;
        bool whole = true;
        try {
            lw::loadTankTable(table, file, lw::Formats::enUS());
            whole = table.size() == rows;
            for (int i = 0; whole && i < table.size(); ++i)
                whole = table[i].Level && table[i].Level == table[0].Level;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "load failed: %s\n", e.what());
            whole = false;
        }
        ++loads;
        torn += whole ? 0 : 1;
    }
    std::printf("loads=%ld torn=%ld\n", loads, torn);
    return torn == 0 ? 0 : 1;
}
