#include "RelayBlock.h"

#include <algorithm>

namespace lw {

RelayBlock makeStatusBlock(std::string_view text) {
    RelayBlock block{};
    auto out = std::copy(kStatusBlockPrefix.begin(), kStatusBlockPrefix.end(), block.begin());
    const size_t room = static_cast<size_t>(block.end() - out);
    std::copy_n(text.begin(), std::min(text.size(), room), out);
    return block;
}

bool isStatusBlock(const RelayBlock& block) {
    const std::string_view marker = kStatusBlockPrefix.substr(0, 7);
    return std::equal(marker.begin(), marker.end(), block.begin());
}

std::string statusText(const RelayBlock& block) {
    const auto first = block.begin() + kStatusBlockPrefix.size();
    return std::string(first, std::find(first, block.end(), uint8_t{0}));
}

} // namespace lw
