#include "DecodeCommand.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>

#include "DateTime.h"
#include "FrameDecoder.h"
#include "LiveUpdate.h"
#include "Receiver.h"
#include "ValueText.h"

namespace lw::sim {
namespace {

std::optional<std::vector<uint8_t>> parseHex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        int nibble;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else
            return std::nullopt;
        if (high < 0) {
            high = nibble;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

double localNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return encodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec, static_cast<int>(ms)});
}

// Keeps the Detail lines and, per slot, the fields written.
class Capture final : public LiveUpdateHooks {
public:
    std::vector<std::string> detail;
    std::map<int, std::vector<std::string>> writes;

    void detailLine(const std::string& line) override { detail.push_back(line); }
    void fieldWritten(int slot, int, TankField field, const FieldValue& value) override {
        writes[slot].push_back(std::string(fieldInfo(field).name) + "=" +
                               valueText(value, Formats::enUS()));
    }
};

// A row's ID holds at most five digits; larger tank IDs get no row, as in a real table.
constexpr uint32_t kLargestRowId = 99'999;

} // namespace

int decodeHex(std::string_view hex, double now, std::ostream& out, std::ostream& err) {
    const auto bytes = parseHex(hex);
    if (!bytes || bytes->size() > static_cast<size_t>(kBufferSize)) {
        err << "decode: expected a frame or relay block of at most 255 bytes in hex\n";
        return 2;
    }
    const FrameBuffer rx = FrameBuffer::fromBytes(*bytes);
    const size_t length = bytes->size();
    CrcMatch match = checkRelayedBlock(rx);
    // Bytes not given are no frame, even if zeros happen to pass a check.
    if ((match == CrcMatch::Short && length < kShortFrameLength) ||
        (match == CrcMatch::Long && length < kLongFrameLength))
        match = CrcMatch::None;
    if (match == CrcMatch::None) {
        out << kNoValidFrame << '\n';
        return 1;
    }

    const bool block = length == static_cast<size_t>(kBufferSize);
    if (block && isValidDateTime(blockTime(rx)))
        now = blockTime(rx);
    const int registers = match == CrcMatch::Short ? kShortRegisterCount : kLongRegisterCount;
    const DecodedFrame frame = decodeFrame(rx, registers, now);

    TankTable table;
    for (const auto& slot : frame.decodedSlots())
        if (slot.tankId <= kLargestRowId && !table.findId(std::to_string(slot.tankId))) {
            TankRecord row;
            row.ID = std::to_string(slot.tankId);
            table.appendRow(std::move(row));
        }
    Capture capture;
    LiveUpdate update(table, capture, Formats::enUS());
    update.NewTankData(rx, registers, block ? FrameSource::Relayed : FrameSource::Serial, now);

    for (const auto& line : capture.detail)
        out << line << '\n';
    for (const auto& slot : frame.decodedSlots()) {
        out << "slot " << slot.number << " ID=" << slot.tankId << '\n';
        for (const auto& line : capture.writes[slot.number])
            out << line << '\n';
    }
    return 0;
}

int decodeCommand(const std::vector<std::string>& args) {
    std::string hex;
    for (const auto& a : args)
        hex += a + " ";
    return decodeHex(hex, localNow(), std::cout, std::cerr);
}

} // namespace lw::sim
