#pragma once
// `ostrel-sim run`: plays a plant of display units on a serial line until SIGTERM or SIGINT.
//
//   ostrel-sim run --unit ADDR:TYPE[:...] [--unit ...] [--plant FILE] [options]
//
// The first line of standard output is the path the programs open: the --link path when given,
// else the new pty's other end or the --device path. Every request heard and every answer given
// is logged, one line each, to --log FILE (appended) or standard error:
//   request <8 bytes in hex>          a request found in the byte stream by its check bytes
//   reply <addr> <type> <registers> <bytes in hex>[ bad-crc]
//   silent <addr> | no-unit <addr> | unsupported <addr>
//   noise <bytes in hex>
//   answer OK                          the wireless signal-test answer arrived
//   hangup | stop

#include <string>
#include <vector>

#include "Plant.h"
#include "UnitConfig.h"

namespace lw::sim {

struct RunOptions {
    std::vector<UnitConfig> units;
    std::string device;  // open this device instead of creating a pty
    std::string link;    // symlink to the line's path, replaced when present
    std::string logFile; // empty: standard error
    bool logTimes = false; // each log line starts with the wall-clock time, seconds.milliseconds
    PlantOptions plant;
    int turnaroundMs = 20;  // from the request's last byte to the reply's first
    int baud = 0;           // above 0: pace replies at this rate (10 bits a byte)
    int splitParts = 1;     // write each reply in this many pieces
    int splitDelayMs = 5;   // between the pieces
    int noiseBytes = 0;     // random bytes after each reply
    int noiseDelayMs = 100; // from the reply's end to the noise
    bool exitOnHangup = false;
};

// Throws ConfigError with a message for the user.
RunOptions parseRunOptions(const std::vector<std::string>& args);
std::string runUsage();

// The arguments after "run"; returns the process exit code.
int runCommand(const std::vector<std::string>& args);

} // namespace lw::sim
