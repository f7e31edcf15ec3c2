// The message format: body lines, quoted-printable, header texts, addresses and the layout of
// the parts. Whole messages are judged by a real SMTP server and a MIME parser in the
// submission tests.

#include <gtest/gtest.h>

#include "MailMessage.h"

using namespace lw;

namespace {

MailHeaders headers() {
    return {"tanks@example.com", "", "Wed, 09 Dec 2026 14:05:09 +0100", "id1@example.com",
            "=_lw_b1"};
}

} // namespace

TEST(MailMessage, BodiesAreSplitAtEveryKindOfLineEnd) {
    EXPECT_EQ(bodyLines("a\rb\nc\r\nd"), (std::vector<std::string_view>{"a", "b", "c", "d"}));
    EXPECT_EQ(bodyLines("a\r\r"), (std::vector<std::string_view>{"a", ""}));
    EXPECT_EQ(bodyLines("\n\r\n"), (std::vector<std::string_view>{"", ""}));
    EXPECT_TRUE(bodyLines("").empty());
}

TEST(MailMessage, QuotedPrintable) {
    const std::pair<std::string, std::string> cases[] = {
        {"Level: 12.5\rStatus: Good\r\r", "Level: 12.5\r\nStatus: Good\r\n\r\n"},
        {"a=b", "a=3Db\r\n"},
        {"trailing \tblank ", "trailing \tblank=20\r\n"},
        {"Tank \xC3\x9C", "Tank =C3=9C\r\n"},
        {".dot", ".dot\r\n"}, // dots at a line start are the transport's business
    };
    for (const auto& [body, encoded] : cases)
        EXPECT_EQ(quotedPrintable(body), encoded) << body;

    // One long line (the HTML body) becomes lines of at most 76 characters that join again.
    std::string html;
    for (int i = 0; i < 500; ++i)
        html += "<TD>T\xC3\xA4nk=" + std::to_string(i) + "</TD>";
    const std::string qp = quotedPrintable(html);
    std::string joined;
    size_t start = 0;
    for (size_t end; (end = qp.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = qp.substr(start, end - start);
        EXPECT_LE(line.size(), 76u);
        joined += line.ends_with('=') ? line.substr(0, line.size() - 1) : line;
    }
    std::string expected;
    for (int i = 0; i < 500; ++i)
        expected += "<TD>T=C3=A4nk=3D" + std::to_string(i) + "</TD>";
    EXPECT_EQ(joined, expected);
}

TEST(MailMessage, HeaderTexts) {
    EXPECT_EQ(headerText("Levelwatch Report - 12/9/2026 2:05:09 PM"),
              "Levelwatch Report - 12/9/2026 2:05:09 PM");
    EXPECT_EQ(headerText("Tank \xC3\x9C"), "=?UTF-8?B?VGFuayDDnA==?=");
    // A line break would end the header and start another one.
    EXPECT_EQ(headerText("a\r\nBcc: x@example.com"), "a  Bcc: x@example.com");
    // Long texts are folded into encoded words of at most 75 characters.
    std::string name;
    for (int i = 0; i < 40; ++i)
        name += "\xC3\x9C";
    const std::string folded = headerText(name);
    size_t start = 0;
    int words = 0;
    for (size_t end = 0; end != std::string::npos; start = end + 3, ++words) {
        end = folded.find("\r\n ", start);
        const std::string word = folded.substr(start, end == std::string::npos ? end : end - start);
        EXPECT_LE(word.size(), 75u) << word;
        EXPECT_TRUE(word.starts_with("=?UTF-8?B?") && word.ends_with("?=")) << word;
    }
    EXPECT_EQ(words, 2);
}

TEST(MailMessage, AddressesThatCannotBeSent) {
    for (const char* bad : {"", "ops@example.com\r\nRCPT TO:<x@example.com>", "a\tb@example.com"})
        EXPECT_THROW(checkAddress(bad, "recipient"), MailError) << bad;
    // A list stays one recipient for the server to judge.
    EXPECT_NO_THROW(checkAddress("a@example.com, b@example.com", "recipient"));
    MailContent content{"", "s", "t", "h", ""};
    EXPECT_THROW(mimeMessage(content, headers(), std::nullopt), MailError);
    content.SendTo = "ops@example.com";
    MailHeaders noSender = headers();
    noSender.fromAddress.clear();
    EXPECT_THROW(mimeMessage(content, noSender, std::nullopt), MailError);
}

TEST(MailMessage, Layout) {
    const MailContent content{"ops@example.com", "Subject", "Text\r", "<HTML></HTML>", ""};
    MailHeaders h = headers();
    h.fromName = "Tank \"Farm\"";
    EXPECT_EQ(mimeMessage(content, h, std::nullopt),
              "Date: Wed, 09 Dec 2026 14:05:09 +0100\r\n"
              "From: \"Tank \\\"Farm\\\"\" <tanks@example.com>\r\n"
              "To: ops@example.com\r\n"
              "Subject: Subject\r\n"
              "Message-ID: <id1@example.com>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/alternative; boundary=\"=_lw_b1\"\r\n"
              "\r\n"
              "--=_lw_b1\r\n"
              "Content-Type: text/plain; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n"
              "Text\r\n"
              "\r\n"
              "--=_lw_b1\r\n"
              "Content-Type: text/html; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n"
              "<HTML></HTML>\r\n"
              "\r\n"
              "--=_lw_b1--\r\n");
    const std::string related =
        mimeMessage(content, headers(), MailAttachment{"levels.txt", "1\t2\r\n"});
    EXPECT_NE(related.find("From: tanks@example.com\r\n"), std::string::npos);
    EXPECT_NE(related.find("Content-Type: multipart/related; boundary=\"=_lw_b1\"\r\n"),
              std::string::npos);
    EXPECT_NE(related.find("--=_lw_b1\r\nContent-Type: text/plain; name=\"levels.txt\"\r\n"
                           "Content-Transfer-Encoding: base64\r\n"
                           "Content-Disposition: attachment; filename=\"levels.txt\"\r\n\r\n"
                           "MQkyDQo=\r\n--=_lw_b1--\r\n"),
              std::string::npos)
        << related;
}
