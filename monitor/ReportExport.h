#pragma once
// The reports without a window, for scripts and cron:
//   Levelwatch --export history|monthly --tank ID --date YYYY-MM-DD [--format csv|html]
// prints the historical or the monthly report of one tank to standard output, loaded and
// computed as the windows do, with every column whatever the windows' column choices. The text
// is the same on every locale: dates "M/d/yyyy" (history rows with the en-US time), numbers in
// the general number text of en-US. Pure: the folder and the locale's formats (which name and
// read the history files) are passed in.

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "Formats.h"
#include "ReportData.h"

namespace lw {

inline constexpr std::string_view kExportSwitch = "--export";

// Exit codes of the export.
inline constexpr int kExportOk = 0;
inline constexpr int kExportBadArguments = 1; // a bad kind, tank, date or format
inline constexpr int kExportUnreadable = 2;   // a history file was not read whole

struct ExportRequest {
    enum class Kind { History, Monthly } kind = Kind::History;
    enum class Format { Csv, Html } format = Format::Csv;
    std::string tankText; // the ID as a whole number in decimal: the history files' name
    double date = 0;      // the day at midnight
};

// The request of the program's arguments (without the program name, "--export" first), or
// the message that says what is wrong with them.
std::variant<ExportRequest, std::string> parseExportArguments(std::span<const std::string> args);

// RFC 4180: a header line of the field names, then one line per row, CR LF after each line.
std::string historyCsv(std::span<const HistRow> rows);
std::string monthCsv(std::span<const MonthRow> rows);
// A page with one table under the windows' captions (and the monthly bands).
std::string historyHtml(std::string_view tankText, double date, std::span<const HistRow> rows);
std::string monthHtml(std::string_view tankText, double date, std::span<const MonthRow> rows);

// Runs the export: the report on `out`, a message on `err` for bad arguments (with the usage)
// or for a history file not read whole (the rows read are printed all the same); the exit code.
int runExport(std::span<const std::string> args, const std::filesystem::path& folder,
              const Formats& locale, std::ostream& out, std::ostream& err);

} // namespace lw
