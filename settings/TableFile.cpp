#include "TableFile.h"

#include <cerrno>
#include <charconv>
#include <fstream>

#include "Ascii.h"
#include "AtomicFile.h"
#include "DateTime.h"

namespace lw {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD; // a lone surrogate
        appendUtf8(out, c);
    }
    return out;
}

// The text in our encoding (UTF-8): without a byte-order mark, UTF-16 converted.
std::string decodeText(std::string bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return bytes.substr(3);
    if (bytes.starts_with("\xFF\xFE"))
        return utf16ToUtf8(std::string_view(bytes).substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return utf16ToUtf8(std::string_view(bytes).substr(2), true);
    return bytes;
}

// "f", "Fa", "FALSE" read as false; "t", "TRUE" as true; anything else is no Boolean.
std::optional<bool> parseBoolean(std::string_view text) {
    for (const bool value : {false, true}) {
        const std::string_view word = value ? "true" : "false";
        if (text.size() <= word.size() && equalsIgnoreCase(text, word.substr(0, text.size())))
            return value;
    }
    return std::nullopt;
}

[[noreturn]] void conversionError(std::string_view text, std::string_view what) {
    throw TableFileError(0, "'" + std::string(text) + "' is not a valid " + std::string(what));
}

// The long time forms a file from a program in another locale may hold: 24-hour and 12-hour
// with AM/PM, each with the reader's time separator and ':', and the reader's AM/PM texts and
// the English ones.
std::vector<Formats> otherLongTimeForms(const Formats& f) {
    std::vector<Formats> forms;
    auto add = [&](std::string pattern, char separator, std::string am, std::string pm) {
        Formats g = f;
        g.longTimeFormat = std::move(pattern);
        g.timeSeparator = separator;
        g.amText = std::move(am);
        g.pmText = std::move(pm);
        forms.push_back(std::move(g));
    };
    for (const char separator : {f.timeSeparator, ':'}) {
        add("H:mm:ss", separator, f.amText, f.pmText);
        add("h:mm:ss AP", separator, f.amText, f.pmText);
        if (f.amText != "AM" || f.pmText != "PM")
            add("h:mm:ss AP", separator, "AM", "PM");
        if (f.timeSeparator == ':')
            break;
    }
    return forms;
}

template <class Parse>
std::optional<double> parseAnyLongTime(std::string_view text, const Formats& f, Parse parse) {
    if (const auto v = parse(text, f))
        return v;
    for (const Formats& g : otherLongTimeForms(f))
        if (const auto v = parse(text, g))
            return v;
    return std::nullopt;
}

bool isMidnight(double dateTime) {
    const CivilTime t = decodeDateTime(dateTime);
    return t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
}

} // namespace

// The first `width` characters of a UTF-8 text (continuation bytes do not count).
std::string_view cutToWidth(std::string_view text, int width) {
    if (width <= 0 || text.size() <= static_cast<size_t>(width))
        return text;
    int chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == width)
            return text.substr(0, i);
    }
    return text;
}

void appendValueText(std::string& out, const FieldValue& value, const FieldInfo& column,
                     const Formats& f) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        for (const char c : *text)
            out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    } else if (const auto* i = std::get_if<int32_t>(&value)) {
        char buf[16];
        out.append(buf, std::to_chars(buf, buf + sizeof buf, *i).ptr);
    } else if (const auto* b = std::get_if<bool>(&value)) {
        out += *b ? "True" : "False";
    } else if (const auto* d = std::get_if<double>(&value)) {
        if (column.type != FieldType::Float && !isValidDateTime(*d))
            return; // no date a text can show: written as empty rather than as garbage
        switch (column.type) {
        case FieldType::DateTime:
            out += isMidnight(*d) ? formatDate(*d, f) : formatDateTime(*d, f);
            break;
        case FieldType::Time:
            out += formatTime(*d, f);
            break;
        default:
            out += formatNumber(*d, f);
            break;
        }
    }
}

FieldValue parseValueText(std::string_view text, const FieldInfo& column, const Formats& f) {
    switch (column.type) {
    case FieldType::Text:
        return std::string(cutToWidth(text, column.width));
    case FieldType::Integer:
        if (const auto v = parseInteger(text))
            return *v;
        conversionError(text, "integer value");
    case FieldType::Float:
        if (const auto v = parseNumber(text, f))
            return *v;
        conversionError(text, "floating point value");
    case FieldType::Boolean:
        if (const auto v = parseBoolean(text))
            return *v;
        conversionError(text, "boolean value");
    case FieldType::DateTime:
        if (const auto v = parseAnyLongTime(text, f, parseDateTime))
            return *v;
        conversionError(text, "date and time");
    case FieldType::Time:
        if (const auto v = parseAnyLongTime(text, f, parseTime))
            return *v;
        conversionError(text, "time");
    }
    conversionError(text, "value");
}

TableTextReader::TableTextReader(std::string bytes, std::vector<FieldInfo> columns,
                                 const Formats& f)
    : text_(decodeText(std::move(bytes))), columns_(std::move(columns)), formats_(f) {
    hasHeader_ = splitLine();
    if (!hasHeader_)
        return;
    bool known = false;
    for (const std::string_view name : parts_) {
        int index = -1;
        for (size_t c = 0; c < columns_.size() && index < 0; ++c)
            if (equalsIgnoreCase(columns_[c].name, name))
                index = static_cast<int>(c);
        columnAt_.push_back(index);
        known |= index >= 0;
    }
    // Rows under such a header would load with no values at all, and the next save would
    // replace whatever the file held with empty rows.
    if (!known)
        throw TableFileError(line_, std::string(kNoKnownColumn));
}

bool TableTextReader::splitLine() {
    const size_t size = text_.size();
    if (pos_ >= size)
        return false;
    parts_.clear();
    const char* data = text_.data();
    size_t start = pos_;
    size_t end = pos_;
    for (; end < size; ++end) {
        const char c = data[end];
        if (c == '\t') {
            parts_.emplace_back(data + start, end - start);
            start = end + 1;
        } else if (c == '\r' || c == '\n') {
            break;
        }
    }
    parts_.emplace_back(data + start, end - start);
    ++line_;
    pos_ = end + 1;
    if (end < size && data[end] == '\r' && pos_ < size && data[pos_] == '\n')
        ++pos_;
    return true;
}

bool TableTextReader::next(std::vector<FieldValue>& values) {
    while (splitLine()) {
        if (parts_.size() > columnAt_.size()) {
            if (!firstSkipped_) // more values than the header has names
                firstSkipped_ = line_;
            continue;
        }
        values.assign(columns_.size(), std::monostate{});
        for (size_t position = 0; position < parts_.size(); ++position) {
            const int column = columnAt_[position];
            if (column < 0 || parts_[position].empty())
                continue;
            try {
                values[static_cast<size_t>(column)] = parseValueText(
                    parts_[position], columns_[static_cast<size_t>(column)], formats_);
            } catch (const TableFileError& e) {
                throw TableFileError(line_, e.reason());
            }
        }
        return true;
    }
    return false;
}

std::string readWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::filesystem::filesystem_error("Cannot open file", file,
                                                std::error_code(errno, std::generic_category()));
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (size < 0 || in.bad())
        throw std::filesystem::filesystem_error("Cannot read file", file,
                                                std::make_error_code(std::errc::io_error));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

void writeWholeFile(const std::filesystem::path& file, std::string_view bytes,
                    Durability durability) {
    if (const std::error_code error = replaceFileAtomically(file, bytes, durability))
        throw std::filesystem::filesystem_error("Cannot write file", file, error);
}

} // namespace lw
