#include "PollList.h"

#include <fstream>

#include "CodeTables.h"
#include "DateTime.h"

namespace lw {
namespace {

constexpr uint8_t kComTypeRs485 = 0;
constexpr uint8_t kComTypeRs232 = 1;

// Tank IDs that name a unit address whatever the row's communication type.
struct AddressRange {
    int first;
    int offset;
};
constexpr AddressRange kMappedRanges[] = {{9001, 9000}, {8001, 8000}};

} // namespace

int registerCountFor(int dispType) {
    return isR300Type(dispType) ? kLongRegisterCount : kShortRegisterCount;
}

PollRequest pollRequest(uint8_t address, int registerCount) {
    FrameBuffer tx;
    tx[1] = address;
    tx[2] = kFunctionRead;
    tx[3] = 0;
    tx[4] = 0;
    tx[5] = 0;
    tx[6] = static_cast<uint8_t>(registerCount);
    const uint16_t crc = CRC16Tx(tx);
    tx[7] = static_cast<uint8_t>(crc >> 8);
    tx[8] = static_cast<uint8_t>(crc & 0xFF);
    PollRequest out{};
    for (int i = 0; i < kPollRequestLength; ++i)
        out[static_cast<size_t>(i)] = tx[i + 1];
    return out;
}

std::optional<uint8_t> pollAddress(const TankRecord& row) {
    if (!row.ID)
        return std::nullopt;
    const std::optional<int32_t> n = parseInteger(*row.ID);
    if (!n)
        return std::nullopt;
    for (const AddressRange& r : kMappedRanges) {
        if (*n >= r.first && *n < r.first + kPollListSize)
            return static_cast<uint8_t>(*n - r.offset);
    }
    const bool wired = row.ComType == kComTypeRs485 || row.ComType == kComTypeRs232;
    if (wired && *n >= 1 && *n <= kPollListSize)
        return static_cast<uint8_t>(*n);
    return std::nullopt;
}

int pollInterval(int entries, int current) {
    return entries > 0 ? kPollCycleMs / entries : current;
}

std::string pollLogText(double now, const Formats& formats, int address) {
    return "DATE=" + formatDateTime(now, formats) + " Poll ID " + std::to_string(address);
}

bool isSignalTestReply(const FrameBuffer& rx) {
    return rx[reg::kFunctionByte] == kFunctionSignalTest;
}

int PollList::rebuild(std::span<const TankRecord> rows) {
    int n = 0;
    for (const TankRecord& row : rows) {
        if (n == kPollListSize)
            break;
        const std::optional<uint8_t> address = pollAddress(row);
        if (!address)
            continue;
        TPoll& e = PollTanks[static_cast<size_t>(++n)];
        e.ID = *address;
        e.ComType = row.ComType.value_or(-1);
    }
    endListAt(n + 1);
    return n;
}

std::string PollList::fileText() const {
    std::string text;
    for (int i = 1; i <= count(); ++i)
        text += std::to_string(entry(i).ID) + "\r\n";
    return text;
}

int PollList::load(std::string_view fileBytes) {
    const std::string_view bytes = fileBytes.substr(0, kPollFileReadLimit);
    int n = 0;
    // Only the low byte of the number and whether it is above 0 matter, so the accumulator
    // cannot overflow however long a run of digits is.
    uint8_t lowByte = 0;
    bool aboveZero = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9') {
            lowByte = static_cast<uint8_t>(lowByte * 10 + (c - '0'));
            aboveZero = aboveZero || c != '0';
        }
        if (c != '\r' && i + 1 != bytes.size())
            continue;
        // A low byte of 0 would end the list early, hiding every entry after it.
        if (aboveZero && lowByte != 0 && n < kPollListSize)
            PollTanks[static_cast<size_t>(++n)].ID = lowByte;
        lowByte = 0;
        aboveZero = false;
    }
    endListAt(n + 1);
    return n;
}

bool PollList::loadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string bytes(kPollFileReadLimit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return false;
    bytes.resize(static_cast<size_t>(in.gcount()));
    load(bytes);
    return true;
}

int PollList::count() const {
    int n = 0;
    while (n < kPollListSize && entry(n + 1).ID != 0)
        ++n;
    return n;
}

const TPoll& PollList::entry(int index) const {
    return PollTanks.at(static_cast<size_t>(index));
}

std::optional<PollList::Poll> PollList::next() {
    if (PollTankNum > kPollListSize || entry(PollTankNum).ID == 0)
        PollTankNum = 1;
    const TPoll& e = entry(PollTankNum);
    if (e.ID == 0)
        return std::nullopt;
    ++PollTankNum;
    return Poll{e.ID, pollRequest(e.ID, registerCountFor(e.DispType))};
}

std::optional<int> PollList::learnedType(int address) const {
    const int i = indexOf(address);
    return i ? std::optional<int>(entry(i).DispType) : std::nullopt;
}

void PollList::setLearnedType(int address, int type) {
    if (const int i = indexOf(address))
        PollTanks[static_cast<size_t>(i)].DispType = type;
}

int PollList::indexOf(int address) const {
    if (address < 1 || address > kPollListSize)
        return 0;
    for (int i = 1; i <= kPollListSize; ++i) {
        if (entry(i).ID == address)
            return i;
    }
    return 0;
}

void PollList::endListAt(int index) {
    for (int i = index; i <= kPollListSize; ++i)
        PollTanks[static_cast<size_t>(i)].ID = 0;
    PollTankNum = 1;
}

} // namespace lw
