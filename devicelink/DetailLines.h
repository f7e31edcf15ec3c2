#pragma once
// The Detail window's lines for a decoded frame: raw register values in decimal, unscaled.

#include <string>
#include <vector>

#include "Formats.h"
#include "FrameBuffer.h"
#include "FrameDecoder.h"

namespace lw {

using Lines = std::vector<std::string>;

// "DATE=", registers 1 to 26 (to 48 for a quad unit), the slave address and slot 1's tank ID.
Lines commonDetailLines(const FrameBuffer& rx, const DecodedFrame& frame, double now,
                        const Formats& formats);
// Before a later slot's row is searched: "TANK ID2     =" and so on.
std::string tankIdDetailLine(const DecodedSlot& slot);
// Once a slot's row is open: for slot 1 the shared registers and tank 1's values under the
// labels of its display type, for later slots their own six values.
Lines slotDetailLines(const FrameBuffer& rx, const DecodedFrame& frame, const DecodedSlot& slot);
// The family's counter and a line holding one space.
Lines counterDetailLines(const FrameBuffer& rx, const DecodedFrame& frame);

} // namespace lw
