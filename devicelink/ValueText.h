#pragma once
// The general text form of a stored value, as reports, mails and tools show it.

#include <string>

#include "Formats.h"
#include "TankRecord.h"

namespace lw {

// Empty field: empty text; Boolean: "True" or "False"; numbers: formatNumber (whole numbers
// without decimals, else up to 15 significant digits with the locale's decimal separator).
std::string valueText(const FieldValue& value, const Formats& formats);

} // namespace lw
