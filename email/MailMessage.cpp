#include "MailMessage.h"

#include <algorithm>
#include <cstdint>

namespace lw {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kQpLine = 76;
// Encoded words are at most 75 characters: "=?UTF-8?B?" + 60 base64 characters + "?=" fits.
constexpr size_t kWordBytes = 45;
constexpr size_t kPlainHeaderLimit = 900;
constexpr char kHex[] = "0123456789ABCDEF";

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

// Base64 in lines of 76 characters, each ended by CR LF.
std::string base64Lines(std::string_view bytes) {
    const std::string text = base64(bytes);
    std::string out;
    for (size_t i = 0; i < text.size(); i += kQpLine) {
        out += text.substr(i, kQpLine);
        out += kCrLf;
    }
    return out;
}

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray continuation byte).
size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// A quoted string for a display name of printable ASCII.
std::string quoted(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

bool printableAscii(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || isControl(u))
            return false;
    }
    return true;
}

std::string mailbox(const std::string& address, const std::string& name) {
    if (name.empty())
        return address;
    const std::string display = printableAscii(name) ? quoted(name) : headerText(name);
    return display + " <" + address + ">";
}

void appendPart(std::string& out, const std::string& boundary, std::string_view type,
                std::string_view body) {
    out += "--" + boundary + "\r\n";
    out += "Content-Type: ";
    out += type;
    out += "; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    out += quotedPrintable(body);
    // The line end before a boundary belongs to the boundary: the body's last one must stay.
    out += kCrLf;
}

} // namespace

void checkAddress(std::string_view address, std::string_view role) {
    if (address.empty())
        throw MailError("no " + std::string(role) + " address");
    for (const char c : address)
        if (isControl(static_cast<unsigned char>(c)))
            throw MailError("the " + std::string(role) +
                            " address holds a line break or control character");
}

std::vector<std::string_view> bodyLines(std::string_view body) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\r' && body[i] != '\n')
            continue;
        lines.push_back(body.substr(start, i - start));
        if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < body.size())
        lines.push_back(body.substr(start));
    return lines;
}

std::string quotedPrintable(std::string_view body) {
    std::string out;
    out.reserve(body.size() + body.size() / 16);
    for (const std::string_view line : bodyLines(body)) {
        size_t column = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            // Blanks at the end of a line would be taken away in transit.
            const bool plain =
                (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
            const size_t width = plain ? 1 : 3;
            // Room for a soft break "=" unless this is the line's last character.
            if (column + width > (last ? kQpLine : kQpLine - 1)) {
                out += "=\r\n";
                column = 0;
            }
            if (plain) {
                out += static_cast<char>(c);
            } else {
                out += '=';
                out += kHex[c >> 4];
                out += kHex[c & 0x0F];
            }
            column += width;
        }
        out += kCrLf;
    }
    return out;
}

std::string headerText(std::string_view text) {
    std::string clean(text);
    for (char& c : clean)
        if (isControl(static_cast<unsigned char>(c)))
            c = ' ';
    if (printableAscii(clean) && clean.size() <= kPlainHeaderLimit)
        return clean;
    std::string out;
    for (size_t i = 0; i < clean.size();) {
        // Whole characters only: a word must not end inside a UTF-8 sequence.
        size_t end = i;
        while (end < clean.size()) {
            const size_t n = sequenceLength(static_cast<unsigned char>(clean[end]));
            if (end + n - i > kWordBytes && end > i)
                break;
            end = std::min(clean.size(), end + n);
        }
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + base64(std::string_view(clean).substr(i, end - i)) + "?=";
        i = end;
    }
    return out;
}

std::string mimeMessage(const MailContent& content, const MailHeaders& headers,
                        const std::optional<MailAttachment>& attachment) {
    checkAddress(content.SendTo, "recipient");
    checkAddress(headers.fromAddress, "sender");
    const std::string& b = headers.boundary;
    std::string out;
    out.reserve(content.BodyText.size() + content.BodyHTML.size() * 11 / 10 + 1024);
    out += "Date: " + headers.date + "\r\n";
    out += "From: " + mailbox(headers.fromAddress, headers.fromName) + "\r\n";
    out += "To: " + content.SendTo + "\r\n";
    out += "Subject: " + headerText(content.Subject) + "\r\n";
    out += "Message-ID: <" + headers.messageId + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += std::string("Content-Type: ") +
           (attachment ? "multipart/related" : "multipart/alternative") + "; boundary=\"" + b +
           "\"\r\n\r\n";
    appendPart(out, b, "text/plain", content.BodyText);
    appendPart(out, b, "text/html", content.BodyHTML);
    if (attachment) {
        const std::string name = headerText(attachment->name);
        out += "--" + b + "\r\n";
        out += "Content-Type: text/plain; name=" + quoted(name) + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment; filename=" + quoted(name) + "\r\n\r\n";
        out += base64Lines(attachment->bytes);
    }
    out += "--" + b + "--\r\n";
    return out;
}

} // namespace lw
