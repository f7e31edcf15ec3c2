#include "FileWatch.h"

#include <utility>

#include "FileDate.h"

namespace lw {

FileWatch::FileWatch(QString path) : path_(std::move(path)) {}

bool FileWatch::reloadIfChanged(const std::function<void()>& load) {
    const std::optional<double> date = FileDate(path_);
    if (!date || (loadedDate_ && *date == *loadedDate_))
        return false;
    loadedDate_ = date;
    load();
    return true;
}

void FileWatch::noteWritten() {
    loadedDate_ = FileDate(path_);
}

} // namespace lw
