#pragma once
// Finds what the port owner sends in the byte stream a unit hears: 8-byte requests, recognised
// by their check bytes wherever they start, and the "OK" CR answer to a wireless signal test.

#include <cstddef>
#include <cstdint>

#include "PollList.h"

namespace lw::sim {

class RequestScanner {
public:
    enum class Found { Nothing, Request, WirelessAnswer };

    // Takes the next byte; tells what it completed. The bytes of a find are not reused.
    Found feed(uint8_t byte);
    // The request that the last Found::Request completed.
    const PollRequest& request() const { return request_; }

private:
    PollRequest window_{}; // the last bytes heard, oldest first
    size_t filled_ = 0;
    PollRequest request_{};
};

} // namespace lw::sim
