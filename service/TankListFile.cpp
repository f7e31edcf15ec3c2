#include "TankListFile.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>
#include <utility>

#include "TableFile.h"
#include "TankTableFile.h"

namespace lw {

TankListFile::TankListFile(QString path, const Formats& formats, LogSink& log)
    : file_(std::move(path)), formats_(formats), log_(log) {}

const TankTable& TankListFile::tankList() {
    log_.Log("FileDate.", 5);
    const std::string name = QFileInfo(file_.path()).fileName().toStdString();
    try {
        file_.reloadIfChanged([&] {
            loaded_ = false;
            loadTankTable(list_, QFile::encodeName(file_.path()).toStdString(), formats_);
            loaded_ = true;
        });
    } catch (const TableFileError& e) {
        log_.Log("ERROR: " + name + " " + e.what(), 0);
    } catch (const std::exception& e) {
        log_.Log("ERROR: " + name + ": " + e.what(), 0);
    }
    if (!QFile::exists(file_.path()))
        throw std::runtime_error(name + " missing");
    if (!loaded_)
        throw std::runtime_error(name + " cannot be read");
    return list_;
}

} // namespace lw
