#pragma once
// The mail as it goes to the server: headers, a plain-text and an HTML alternative, and a file
// attachment when one is named. Bodies arrive with CR, LF or CR LF line ends (the reports use a
// single CR) and leave with CR LF, quoted-printable in UTF-8, so that no line is longer than
// SMTP allows however long the report (the HTML body is one line).

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// A mail that cannot be formed: an address that is empty or holds a line break or another
// control character (it would end the command or header it is written into).
class MailError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One call of SendEmail: recipient, subject, the two bodies, the file to attach (empty: none).
struct MailContent {
    std::string SendTo;
    std::string Subject;
    std::string BodyText;
    std::string BodyHTML;
    std::string AttachmentName;
};

struct MailHeaders {
    std::string fromAddress;
    std::string fromName;  // display name of the sender; empty: the bare address
    std::string date;      // RFC 5322 date-time, e.g. "Thu, 11 Dec 2025 14:05:09 +0100"
    std::string messageId; // without the angle brackets: "unique@host"
    std::string boundary;  // unique token for the part boundaries
};

struct MailAttachment {
    std::string name; // file name as shown to the recipient
    std::string bytes;
};

// Throws MailError when `address` cannot be used as a sender or recipient. The address is
// otherwise passed as it is (one recipient, no splitting of lists): the server judges it.
void checkAddress(std::string_view address, std::string_view role);

// The whole message, lines ended by CR LF: multipart/alternative with text/plain first and
// text/html second, or multipart/related with a text/plain attachment after them. Throws
// MailError for unusable addresses.
std::string mimeMessage(const MailContent& content, const MailHeaders& headers,
                        const std::optional<MailAttachment>& attachment);

// The lines of a body split at CR, LF or CR LF; a final line end ends the last line.
std::vector<std::string_view> bodyLines(std::string_view body);
// The body as quoted-printable lines (each at most 76 characters, soft breaks where needed),
// ended by CR LF.
std::string quotedPrintable(std::string_view body);
// A header text as it may stand in a header: printable ASCII as it is, anything else as
// RFC 2047 encoded words (UTF-8, base64), folded so no line is too long. Control characters
// become blanks.
std::string headerText(std::string_view text);

} // namespace lw
