#pragma once

#include <QLocale>

#include "Formats.h"

namespace lw {

// The formats the programs use, from a locale: its long time format without any time-zone
// part, decimal separator, time separator and abbreviated month names; the short date is
// always "M/d/yyyy" with "/".
Formats formatsFromLocale(const QLocale& locale = QLocale::system());

} // namespace lw
