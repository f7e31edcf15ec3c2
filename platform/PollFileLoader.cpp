#include "PollFileLoader.h"

#include <QFile>
#include <utility>

#include "FileDate.h"

namespace lw {

PollFileLoader::PollFileLoader(PollList& list, QString path)
    : list_(list), path_(std::move(path)) {}

bool PollFileLoader::SetupPollModbus() {
    const std::optional<double> date = FileDate(path_);
    if (!date)
        return false;
    pollFileDate_ = date;
    return list_.loadFile(QFile::encodeName(path_).toStdString());
}

bool PollFileLoader::reloadIfChanged() {
    const std::optional<double> date = FileDate(path_);
    return date && date != pollFileDate_ && SetupPollModbus();
}

} // namespace lw
