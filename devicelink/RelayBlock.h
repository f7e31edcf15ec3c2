#pragma once
// The unit of the relay stream from the service to the monitors: exactly 255 bytes, no header.
// A block carries either a received frame (with its acceptance time at kTimeOffset) or a
// status text of the service.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FrameBuffer.h"
#include "Receiver.h"

namespace lw {

using RelayBlock = std::array<uint8_t, kBufferSize>;

// Status blocks start with this text; a monitor recognises them by its first seven characters.
inline constexpr std::string_view kStatusBlockPrefix = "Service:";

// "Service:" + text, one byte per character, cut to one block, the rest zero bytes.
RelayBlock makeStatusBlock(std::string_view text);
// True when the block's first seven bytes spell "Service": no frame starts that way.
bool isStatusBlock(const RelayBlock& block);
// The status text: the bytes after the prefix up to the first zero byte or the block's end.
std::string statusText(const RelayBlock& block);

// Saved-frame files in the program folder hold the last block of each unit: "LastData-" + the
// tank ID in decimal + ".bin". The service writes them, its relay sends them to new monitors.
inline constexpr std::string_view kSavedFramePrefix = "LastData-";
inline constexpr std::string_view kSavedFrameSuffix = ".bin";
std::string savedFrameFileName(uint64_t id);
// The ID in a saved-frame file name as the service writes it (plain decimal, no sign, no leading
// zero); empty for any other name.
std::optional<uint64_t> savedFrameFileId(std::string_view fileName);
// The ID an accepted frame is saved under: the R200 tank ID register, or the low 16 bits of the
// first R300 tank's 32-bit ID.
uint16_t savedFrameId(FrameKind kind, const FrameBuffer& rx);

} // namespace lw
