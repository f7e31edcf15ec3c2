#pragma once
// The service's side of the poll list file: loads it into the poll list and loads it again
// whenever its last-write time changes (the monitor rewrites it when its tanks change).

#include <QString>
#include <optional>

#include "PollList.h"

namespace lw {

class PollFileLoader {
public:
    PollFileLoader(PollList& list, QString path);

    // Loads the file when it exists, remembering its date first (a rewrite while it is read then
    // shows as a new date). Returns whether the list was loaded; without a file it is unchanged.
    bool SetupPollModbus();
    // Loads the file again when it exists with a date other than the one last loaded.
    bool reloadIfChanged();

    std::optional<double> PollFileDate() const { return pollFileDate_; }

private:
    PollList& list_;
    QString path_;
    std::optional<double> pollFileDate_;
};

} // namespace lw
