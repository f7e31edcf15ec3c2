#pragma once
// A file that another program rewrites whole (the poll list, "LiveData.txt", "Email.txt",
// "LinkStatus.txt", the settings file), loaded again when its last-write time changes. Nothing
// locks these files: the last-write time is how each program notices the other's writes.

#include <QString>
#include <functional>
#include <optional>

namespace lw {

class FileWatch {
public:
    explicit FileWatch(QString path);

    const QString& path() const { return path_; }
    // The last-write time taken for the last load; empty before the first.
    std::optional<double> loadedDate() const { return loadedDate_; }

    // Runs `load` when the file exists and its last-write time differs from the one of the
    // last load (always the first time). The time is taken before `load` runs, so a rewrite
    // during the load shows as a change next time. Whatever `load` throws reaches the caller
    // with the time kept all the same: a file that failed is tried again once it is rewritten,
    // not at every call. Returns whether `load` ran; a missing file leaves everything as it was.
    bool reloadIfChanged(const std::function<void()>& load);
    // The next reloadIfChanged() loads whatever the file's date.
    void forget() { loadedDate_.reset(); }
    // This program has just written the file: what it holds is what was loaded.
    void noteWritten();

private:
    QString path_;
    std::optional<double> loadedDate_;
};

} // namespace lw
