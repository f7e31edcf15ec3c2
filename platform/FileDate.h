#pragma once
// A file's last-write time, by which each program notices that the other rewrote a shared file.

#include <QString>
#include <optional>

namespace lw {

// Last-write time as a local date-time (days since 1899-12-30), to the millisecond; empty when
// the file does not exist or cannot be examined.
std::optional<double> FileDate(const QString& path);

} // namespace lw
