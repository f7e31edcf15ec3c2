#include "RelayBlock.h"

#include <algorithm>
#include <charconv>

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

std::string savedFrameFileName(uint64_t id) {
    return std::string(kSavedFramePrefix) + std::to_string(id) + std::string(kSavedFrameSuffix);
}

std::optional<uint64_t> savedFrameFileId(std::string_view fileName) {
    if (!fileName.starts_with(kSavedFramePrefix) || !fileName.ends_with(kSavedFrameSuffix))
        return std::nullopt;
    const std::string_view digits =
        fileName.substr(kSavedFramePrefix.size(),
                        fileName.size() - kSavedFramePrefix.size() - kSavedFrameSuffix.size());
    if (digits.empty() || (digits.size() > 1 && digits[0] == '0') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    uint64_t id = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return id;
}

uint16_t savedFrameId(FrameKind kind, const FrameBuffer& rx) {
    if (kind == FrameKind::ShortR200)
        return RxInput(rx, reg::kR200Tank1 + reg::R200Tank::kId);
    return static_cast<uint16_t>(RxInput2(rx, reg::r300Tank(1) + reg::R300Tank::kId) & 0xFFFFu);
}

} // namespace lw
