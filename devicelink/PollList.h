#pragma once
// The poll list: the unit addresses that the port owner asks in turn, one request per timer
// tick, with the display type that each unit's replies revealed (it decides how many registers
// the request asks for). The monitor builds the list from its tank rows and writes it to the
// poll list file; the service loads that file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Formats.h"
#include "FrameBuffer.h"
#include "LearnedTypes.h"
#include "TankRecord.h"

namespace lw {

inline constexpr int kPollListSize = 255;
inline constexpr char kPollListFileName[] = "OstrelServicePoll.txt";
inline constexpr size_t kPollFileReadLimit = 1024; // the service reads no more of the file
inline constexpr int kPollCycleMs = 5000;          // the monitor polls each unit about this often
inline constexpr int kPollRequestLength = 8;

// Sent to a unit that runs a wireless signal test, after its reply was accepted.
inline constexpr std::array<uint8_t, 3> kWirelessTestAnswer{'O', 'K', '\r'};
inline constexpr char kWirelessTestText[] = "Testing Wireless Signal Strength.";

struct TPoll {
    uint8_t ID = 0;       // unit address; 0 ends the list
    int32_t ComType = -1; // copied from the tank row, -1 when it has none; not used by polling
    int32_t DispType = 0; // learned from the unit's short replies
};

using PollRequest = std::array<uint8_t, kPollRequestLength>;

// 48 registers for the R300 types, 24 for everything else.
int registerCountFor(int dispType);
// Address, function 4, first register 0, the register count, CRC16Tx high byte first.
PollRequest pollRequest(uint8_t address, int registerCount);

// The address that polls a tank row: IDs 9001..9255 and 8001..8255 map to 1..255 whatever the
// row's communication type; IDs 1..255 are polled only over RS422/485 or RS232. Empty when the
// row is not polled (no ID, a non-numeric ID, another range or communication type).
std::optional<uint8_t> pollAddress(const TankRecord& row);

// The monitor's poll interval for a list of `entries` units; an empty list keeps `current`.
int pollInterval(int entries, int current);

// "DATE=" + date and time + " Poll ID " + address: the Detail / log line of a sent request.
std::string pollLogText(double now, const Formats& formats, int address);

// An accepted reply whose function byte asks for the wireless signal-test answer.
bool isSignalTestReply(const FrameBuffer& rx);

class PollList final : public LearnedTypes {
public:
    struct Poll {
        uint8_t address;
        PollRequest request;
    };

    // The monitor's rebuild: one entry per polled row, in the given (display) order, up to 255.
    // Entries keep the display type learned at their position. Polling restarts at entry 1.
    // Returns the number of entries.
    int rebuild(std::span<const TankRecord> rows);

    // The poll list file for the current entries: one decimal address per line, CR LF.
    std::string fileText() const;

    // The service's load of a poll list file's bytes: only the first 1024 bytes count; digits
    // accumulate, a CR or the last byte ends an entry, any other byte is ignored. An entry's
    // address is the low byte of its number; a number that is 0 or whose low byte is 0 gives no
    // entry, and entries beyond the 255th are dropped. Polling restarts at entry 1.
    // Returns the number of entries.
    int load(std::string_view fileBytes);
    // Loads the file at `path`; false (the list unchanged) when it cannot be read.
    bool loadFile(const std::filesystem::path& path);

    // Entries in use, from entry 1 up to the first whose address is 0.
    int count() const;
    // Entry 1..255.
    const TPoll& entry(int index) const;
    // The entry that the next request goes to.
    int pollTankNum() const { return PollTankNum; }

    // The request for the entry at pollTankNum() (entry 1 when it is past the end of the list),
    // and the step to the following entry, wrapping from 255 to 1. Empty when the list is empty.
    std::optional<Poll> next();

    std::optional<int> learnedType(int address) const override;
    void setLearnedType(int address, int type) override;

private:
    // The first entry polling `address`, 0 when none does.
    int indexOf(int address) const;
    void endListAt(int index);

    std::array<TPoll, kPollListSize + 1> PollTanks{}; // 1-based; element 0 unused
    int PollTankNum = 1;
};

} // namespace lw
