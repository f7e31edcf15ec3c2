#pragma once
// "LiveData.txt" as the collector reads it: the monitor's tank list, for the tank names of the
// alarm mails, loaded again whenever the monitor has rewritten it.

#include <QString>

#include "FileWatch.h"
#include "Formats.h"
#include "LogSink.h"
#include "TankTable.h"

namespace lw {

class TankListFile {
public:
    TankListFile(QString path, const Formats& formats, LogSink& log);

    // The list, loaded again first when the file's last-write time changed. Throws
    // std::runtime_error when the file is missing or its current version cannot be read whole;
    // why it cannot is logged at level 0 once per version, with the file, line and reason.
    const TankTable& tankList();
    // The list as the last load left it: whole, or the rows read before a fault.
    const TankTable& loaded() const { return list_; }

private:
    FileWatch file_;
    Formats formats_;
    LogSink& log_;
    TankTable list_;
    bool loaded_ = false; // the version last looked at loaded whole
};

} // namespace lw
