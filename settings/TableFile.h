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

// A load that failed: kInvalidStreamFormat, or a value that does not convert to its column's
// type (the load stops there; the rows before that line stay in the table). Files that cannot
// be opened, read or written raise std::filesystem::filesystem_error instead.
class TableFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An in-memory table that may be closed (nullopt): a closed table saves nothing.
template <class Row> using Table = std::optional<std::vector<Row>>;

// The first `width` characters of a UTF-8 text (continuation bytes do not count); the whole
// text when `width` is 0 or less.
std::string_view cutToWidth(std::string_view text, int width);

// The text of a value in its column (nothing for an empty value). Tabs and line breaks inside
// a text become blanks: they would split the row when it is read back.
void appendValueText(std::string& out, const FieldValue& value, const FieldInfo& column,
                     const Formats& f);
// The value of a non-empty text; a text column keeps at most `width` characters. Throws
// TableFileError when the text does not convert.
FieldValue parseValueText(std::string_view text, const FieldInfo& column, const Formats& f);

// Splits a file's text into lines (CR, LF or CR LF end a line; a byte-order mark selects the
// encoding) and converts each line after the header into the values of the table's columns.
class TableTextReader {
public:
    TableTextReader(std::string bytes, std::vector<FieldInfo> columns, const Formats& f);

    // False when the text holds no line at all.
    bool hasHeader() const { return hasHeader_; }
    // The values of the next row by column, empty where the line has none; false at the end.
    // A line with more values than the header has names is skipped and remembered; a value
    // that does not convert throws TableFileError.
    bool next(std::vector<FieldValue>& values);
    bool skippedLines() const { return skipped_; }

private:
    // Splits the next line at its tabs into parts_; false at the end of the text.
    bool splitLine();

    std::string text_;
    std::vector<FieldInfo> columns_;
    const Formats& formats_;
    size_t pos_ = 0;
    bool hasHeader_ = false;
    bool skipped_ = false;
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
    if (reader.skippedLines())
        throw TableFileError(std::string(kInvalidStreamFormat));
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
