#include "RequestScanner.h"

#include <algorithm>

#include "FrameBuffer.h"

namespace lw::sim {

RequestScanner::Found RequestScanner::feed(uint8_t byte) {
    if (filled_ == window_.size()) {
        std::shift_left(window_.begin(), window_.end(), 1);
        --filled_;
    }
    window_[filled_++] = byte;

    const auto end = window_.begin() + static_cast<std::ptrdiff_t>(filled_);
    if (filled_ >= kWirelessTestAnswer.size() &&
        std::equal(kWirelessTestAnswer.begin(), kWirelessTestAnswer.end(),
                   end - static_cast<std::ptrdiff_t>(kWirelessTestAnswer.size()))) {
        filled_ = 0;
        return Found::WirelessAnswer;
    }
    if (filled_ == window_.size()) {
        const uint16_t crc = crc16(window_.data(), window_.size() - 2);
        if (window_[6] == crc >> 8 && window_[7] == (crc & 0xFF)) {
            request_ = window_;
            filled_ = 0;
            return Found::Request;
        }
    }
    return Found::Nothing;
}

} // namespace lw::sim
