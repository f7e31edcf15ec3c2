#include "FileDate.h"

#include <QFileInfo>

#include "SystemClock.h"

namespace lw {

std::optional<double> FileDate(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    const QDateTime modified = info.lastModified();
    if (!modified.isValid())
        return std::nullopt;
    return toDateTime(modified.toLocalTime());
}

} // namespace lw
