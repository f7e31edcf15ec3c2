#pragma once
// `ostrel-sim decode HEX`: decodes one reply frame or relay block given in hex (blanks allowed)
// as the monitor decodes a relayed block: the short check first, then the long one. Prints the
// Detail lines, then per slot "slot <k> ID=<id>" and one "<Field>=<value>" line per field the
// update wrote, in the order written, into a table that holds an empty row for every tank.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace lw::sim {

inline constexpr std::string_view kNoValidFrame = "no valid frame";

// The arguments after "decode", joined by blanks; returns the process exit code: 0 decoded,
// 1 no valid frame, 2 the arguments are not hex of at most 255 bytes.
int decodeCommand(const std::vector<std::string>& args);

// The same with the current time given; a 255-byte block uses its own time instead.
int decodeHex(std::string_view hex, double now, std::ostream& out, std::ostream& err);

} // namespace lw::sim
