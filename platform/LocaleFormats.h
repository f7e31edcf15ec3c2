#pragma once

#include <QLocale>

#include "Formats.h"

namespace lw {

// The formats the programs use, from a locale: its long time format without any time-zone
// part, decimal separator, time separator and abbreviated month names; the short date is
// always "M/d/yyyy" with "/".
Formats formatsFromLocale(const QLocale& locale = QLocale::system());

// The long time format as a Qt time pattern, for time editors: ':' becomes the time separator.
QString qtTimeFormat(const Formats& f);

} // namespace lw
