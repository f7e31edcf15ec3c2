#include "ReportExport.h"

#include <algorithm>
#include <ostream>
#include <type_traits>

#include "DateTime.h"

namespace lw {
namespace {

constexpr std::string_view kUsage =
    "usage: Levelwatch --export history|monthly --tank ID --date YYYY-MM-DD "
    "[--format csv|html]";

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYY-MM-DD" of a real day.
std::optional<double> isoDate(std::string_view s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !allDigits(s.substr(0, 4)) ||
        !allDigits(s.substr(5, 2)) || !allDigits(s.substr(8, 2)))
        return std::nullopt;
    const int year = *parseInteger(s.substr(0, 4));
    const int month = *parseInteger(s.substr(5, 2));
    const int day = *parseInteger(s.substr(8, 2));
    if (year < 1 || !isValidDate(year, month, day))
        return std::nullopt;
    return encodeDateTime({year, month, day});
}

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled.
void appendCsvField(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

template <class Row>
std::string csv(std::span<const ReportColumn<Row>> columns, std::span<const Row> rows) {
    const Formats f = Formats::enUS();
    std::string out;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (c)
            out += ',';
        out += columns[c].field.info.name;
    }
    out += "\r\n";
    for (const Row& row : rows) {
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c)
                out += ',';
            appendCsvField(out, reportCellText(row, columns[c], f));
        }
        out += "\r\n";
    }
    return out;
}

// Every text of these pages is a digit string, a date or one of the fixed captions, so none
// needs escaping.
template <class Row>
std::string html(const std::string& title, const std::string& header,
                 std::span<const ReportColumn<Row>> columns, std::span<const Row> rows) {
    const Formats f = Formats::enUS();
    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                      "</title>\n</head>\n<body>\n<h1>" + title +
                      "</h1>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<thead>\n" +
                      header + "</thead>\n<tbody>\n";
    for (const Row& row : rows) {
        out += "<tr>";
        for (const auto& column : columns) {
            const bool number = column.field.info.type != FieldType::DateTime;
            out += number ? "<td align=\"right\">" : "<td>";
            out += reportCellText(row, column, f);
            out += "</td>";
        }
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n</body>\n</html>\n";
    return out;
}

std::string th(std::string_view text, std::string_view attributes = {}) {
    std::string out = "<th";
    if (!attributes.empty())
        out += ' ' + std::string(attributes);
    return out + '>' + std::string(text) + "</th>";
}

template <class Rows> void write(std::ostream& out, const ExportRequest& r, const Rows& rows) {
    const bool html = r.format == ExportRequest::Format::Html;
    if constexpr (std::is_same_v<typename Rows::value_type, HistRow>)
        out << (html ? historyHtml(r.tankText, r.date, rows) : historyCsv(rows));
    else
        out << (html ? monthHtml(r.tankText, r.date, rows) : monthCsv(rows));
}

} // namespace

std::variant<ExportRequest, std::string> parseExportArguments(std::span<const std::string> args) {
    ExportRequest r;
    std::optional<std::string> kind, tank, date, format;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        std::optional<std::string>* slot = name == kExportSwitch ? &kind
                                           : name == "--tank"    ? &tank
                                           : name == "--date"    ? &date
                                           : name == "--format"  ? &format
                                                                 : nullptr;
        if (!slot)
            return "unknown argument '" + name + "'";
        if (!value)
            return name + " needs a value";
        *slot = std::move(value);
    }
    if (!kind || (*kind != "history" && *kind != "monthly"))
        return "--export takes 'history' or 'monthly'" +
               (kind ? ", not '" + *kind + "'" : std::string());
    r.kind = *kind == "history" ? ExportRequest::Kind::History : ExportRequest::Kind::Monthly;
    if (!tank)
        return "--tank ID is missing";
    const std::optional<std::string> text =
        allDigits(*tank) ? historyTankText(*tank) : std::nullopt;
    if (!text)
        return "'" + *tank + "' is no tank ID: an ID is a whole number (0 or more)";
    r.tankText = *text;
    if (!date)
        return "--date YYYY-MM-DD is missing";
    const std::optional<double> day = isoDate(*date);
    if (!day)
        return "'" + *date + "' is no date of the form YYYY-MM-DD";
    r.date = *day;
    if (format && *format != "csv" && *format != "html")
        return "--format takes 'csv' or 'html', not '" + *format + "'";
    r.format = format == "html" ? ExportRequest::Format::Html : ExportRequest::Format::Csv;
    return r;
}

std::string historyCsv(std::span<const HistRow> rows) {
    return csv(histColumns(), rows);
}

std::string monthCsv(std::span<const MonthRow> rows) {
    return csv(monthColumns(), rows);
}

std::string historyHtml(std::string_view tankText, double date, std::span<const HistRow> rows) {
    std::string header = "<tr>";
    for (const auto& column : histColumns())
        header += th(column.caption);
    header += "</tr>\n";
    return html("History Report " + histReportTitle(tankText, date, Formats::enUS()), header,
                histColumns(), rows);
}

std::string monthHtml(std::string_view tankText, double date, std::span<const MonthRow> rows) {
    const auto columns = monthColumns();
    std::string bands = "<tr>" + th(columns[0].caption, "rowspan=\"2\"");
    std::string captions = "<tr>";
    for (size_t c = 1; c < columns.size(); ++c) {
        if (c % 2 == 1)
            bands += th(columns[c].band, "colspan=\"2\"");
        captions += th(columns[c].caption);
    }
    return html("Monthly Report " + monthReportTitle(tankText, date, Formats::enUS()),
                bands + "</tr>\n" + captions + "</tr>\n", columns, rows);
}

int runExport(std::span<const std::string> args, const std::filesystem::path& folder,
              const Formats& locale, std::ostream& out, std::ostream& err) {
    const auto parsed = parseExportArguments(args);
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        err << "Levelwatch: " << *message << "\n" << kUsage << "\n";
        return kExportBadArguments;
    }
    const ExportRequest& r = std::get<ExportRequest>(parsed);
    std::string error;
    if (r.kind == ExportRequest::Kind::History) {
        DayLoad day = loadHistoryDay(folder, r.date, r.tankText, locale);
        write(out, r, day.rows);
        error = std::move(day.error);
    } else {
        MonthLoad month = loadMonth(folder, r.date, r.tankText, locale);
        write(out, r, month.rows);
        error = std::move(month.error);
    }
    out.flush();
    if (error.empty())
        return kExportOk;
    err << "Levelwatch: " << folder.string() << '/' << error << "\n";
    return kExportUnreadable;
}

} // namespace lw
