#pragma once
// Table files: a header line of column names, then one line per row, the values separated by
// tabs, every line ended by CR LF. Value texts follow the regional formats passed in. Any table
// whose columns are described as RowFields can be saved and loaded; typed front ends for the
// tank tables, the e-mail schedule and the history files sit beside this one.

#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "AtomicFile.h"
#include "Formats.h"
#include "RowFields.h"

namespace lw {

// The error of a load that met a line with more values than the header has names; it is
// raised after every other line is in the table.
inline constexpr std::string_view kInvalidStreamFormat = "Invalid stream format";

// A load that failed: kInvalidStreamFormat (line: the first line skipped), a header that names
// no column of the table (line 1: the file is not this table's, and nothing is read), or a
// value that does not convert to its column's type (the load stops there; the rows before
// that line stay in the table). what() is "line <n>: <reason>", or the reason alone for a value
// converted outside a file (line 0). Files that cannot be opened, read or written raise
// std::filesystem::filesystem_error instead.
class TableFileError : public std::runtime_error {
public:
    TableFileError(int line, const std::string& reason)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + reason : reason),
          line_(line), reason_(reason) {}
    int line() const { return line_; }
    const std::string& reason() const { return reason_; }

private:
    int line_;
    std::string reason_;
};

// The reason of a header that names no column of the table.
inline constexpr std::string_view kNoKnownColumn = "the header line names no column of this table";

// An in-memory table that may be closed (nullopt): a closed table saves nothing.
template <class Row> using Table = std::optional<std::vector<Row>>;

// The first `width` characters of a UTF-8 text (continuation bytes do not count); the whole
// text when `width` is 0 or less.
std::string_view cutToWidth(std::string_view text, int width);

// The text of a value in its column (nothing for an empty value). Tabs and line breaks inside
// a text become blanks: they would split the row when it is read back.
void appendValueText(std::string& out, const FieldValue& value, const FieldInfo& column,
                     const Formats& f);
// The value of a non-empty text; a text column keeps at most `width` characters (all when the
// width is 0). Date-times and times are read in the formats' long time form and also in the
// 24-hour and the 12-hour (AM/PM) forms, since the program that wrote the file may run in
// another locale. Throws TableFileError (line 0) when the text does not convert.
FieldValue parseValueText(std::string_view text, const FieldInfo& column, const Formats& f);

// Splits a file's text into lines (CR, LF or CR LF end a line; a byte-order mark selects the
// encoding) and converts each line after the header into the values of the table's columns.
class TableTextReader {
public:
    TableTextReader(std::string bytes, std::vector<FieldInfo> columns, const Formats& f);

    // False when the text holds no line at all. Throws TableFileError (kNoKnownColumn) when
    // the first line names none of `columns`.
    bool hasHeader() const { return hasHeader_; }
    // The values of the next row by column, empty where the line has none; false at the end.
    // A line with more values than the header has names is skipped and remembered; a value
    // that does not convert throws TableFileError.
    bool next(std::vector<FieldValue>& values);
    // The first line skipped for too many values; 0 when none was.
    int firstSkippedLine() const { return firstSkipped_; }

private:
    // Splits the next line at its tabs into parts_; false at the end of the text.
    bool splitLine();

    std::string text_;
    std::vector<FieldInfo> columns_;
    const Formats& formats_;
    size_t pos_ = 0;
    int line_ = 0; // of the line split last, from 1
    bool hasHeader_ = false;
    int firstSkipped_ = 0;
    std::vector<int> columnAt_; // column index per header position, -1 when unused
    std::vector<std::string_view> parts_;
};

// The whole file as bytes; throws std::filesystem::filesystem_error when it cannot be read.
std::string readWholeFile(const std::filesystem::path& file);
// Replaces the file atomically; throws std::filesystem::filesystem_error when it cannot.
void writeWholeFile(const std::filesystem::path& file, std::string_view bytes,
                    Durability durability = Durability::Flushed);

template <class Row>
std::string tableText(const std::vector<Row>& rows, std::span<const RowField<Row>> fields,
                      const Formats& f) {
    std::string out;
    for (size_t c = 0; c < fields.size(); ++c) {
        if (c)
            out += '\t';
        out += fields[c].info.name;
    }
    out += "\r\n";
    for (const Row& row : rows) {
        for (size_t c = 0; c < fields.size(); ++c) {
            if (c)
                out += '\t';
            appendValueText(out, getRowField(row, fields[c].member), fields[c].info, f);
        }
        out += "\r\n";
    }
    return out;
}

// Replaces `rows` with the rows of `bytes`, or leaves them alone and returns false when the text
// holds no line. Throws TableFileError (see there) with `rows` holding the rows read until then.
template <class Row>
bool readTableText(std::string bytes, std::vector<Row>& rows, std::span<const RowField<Row>> fields,
                   const Formats& f) {
    std::vector<FieldInfo> columns;
    for (const RowField<Row>& field : fields)
        columns.push_back(field.info);
    TableTextReader reader(std::move(bytes), std::move(columns), f);
    if (!reader.hasHeader())
        return false;
    rows.clear();
    std::vector<FieldValue> values;
    while (reader.next(values)) {
        Row& row = rows.emplace_back();
        for (size_t c = 0; c < fields.size(); ++c)
            if (!std::holds_alternative<std::monostate>(values[c]))
                setRowField(row, fields[c].member, values[c]);
    }
    if (reader.firstSkippedLine())
        throw TableFileError(reader.firstSkippedLine(), std::string(kInvalidStreamFormat));
    return true;
}

template <class Row>
void saveTableFile(const Table<Row>& table, std::span<const RowField<Row>> fields,
                   const std::filesystem::path& file, const Formats& f) {
    if (table)
        writeWholeFile(file, tableText(*table, fields, f));
}

// Opens the table (empty) if it was closed, then reads the file into it as readTableText does.
template <class Row>
void loadTableFile(Table<Row>& table, std::span<const RowField<Row>> fields,
                   const std::filesystem::path& file, const Formats& f) {
    std::string bytes = readWholeFile(file);
    if (!table)
        table.emplace();
    readTableText(std::move(bytes), *table, fields, f);
}

} // namespace lw
