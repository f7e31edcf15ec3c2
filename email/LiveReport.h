#pragma once
// The live report: every tank of the live table with its current values, once as an HTML table
// and once as plain text, sent together as alternatives of one mail. The operator's program
// builds it from its live table alone; the collector takes the tank list and names from the
// operator's live table and the values from its own table.
//
// HTML: one table of 13 columns, no line breaks, value texts escaped. Text: lines ended by a
// single CR, a blank line after each tank. An empty value is an empty cell, or "?" in the text
// ("Status: Unkown" for an empty status).

#include <string>

#include "Formats.h"
#include "LogSink.h"
#include "TankTable.h"

namespace lw {

// "Levelwatch Report - " + the date and time of `now`: the heading, and the mail's subject.
std::string liveReportTitle(double now, const Formats& f);

// The operator's program: every value from the live table's rows; an empty tank name gives an
// empty cell and the line "Tank Name:".
std::string GetHTML(const TankTable& LiveData, double now, const Formats& f);
std::string GetText(const TankTable& LiveData, double now, const Formats& f);

// The collector: for each tank of `LiveData` (its ID and name), the values of the first row of
// `LastData` whose ID is the same number ("012" is 12; an ID that is no number matches none).
// A tank without such a row gets its ID and name cells and one empty cell, and the text
// "Last Update: ?" alone; an empty name gives "Tank Name: ?". The routines' log lines go to
// `log` (levels 2 and 5).
std::string GetHTMLData(const TankTable& LiveData, const TankTable& LastData, double now,
                        const Formats& f, LogSink& log);
std::string GetTextData(const TankTable& LiveData, const TankTable& LastData, double now,
                        const Formats& f, LogSink& log);

} // namespace lw
