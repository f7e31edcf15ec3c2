#pragma once
// The file helpers for tests that speak Qt's strings.

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <optional>

#include "Files.h"

namespace lw::test {

inline std::filesystem::path fsPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The file's text; empty when it is missing or cannot be read.
inline QString readText(const QString& path) {
    return QString::fromStdString(readFile(fsPath(path)));
}

// The file holds `bytes`, last modified at `modified` when given; throws std::system_error when
// it cannot be written.
inline void writeFile(const QString& path, const QByteArray& bytes,
                      const std::optional<QDateTime>& modified = std::nullopt) {
    writeFile(fsPath(path), bytes.toStdString());
    QFile f(path);
    if (modified && !(f.open(QIODevice::ReadWrite) &&
                      f.setFileTime(*modified, QFileDevice::FileModificationTime)))
        throw std::system_error(EIO, std::generic_category(),
                                "set the date of " + fsPath(path).string());
}

} // namespace lw::test
