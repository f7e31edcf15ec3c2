// Hand-edited settings files: each line that the store would read otherwise than meant is
// found, with its number; lines it reads as meant pass, however they look.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "IniCheck.h"
#include "Profile.h"
#include "QtFiles.h"

using namespace lw;

TEST(IniCheck, FindsTheFirstLineTheStoreWouldMisread) {
    const struct {
        const char* text;
        int line; // 0: no fault
        const char* reason;
    } cases[] = {
        {"[ComPortInfo]\nComNumber=2\n\n; a note\n  ; indented\n[STMP]\nHost=\"a;b\"\n", 0, ""},
        {"[A]\r\nk=1 ; trailing note\r\nPath=C:\\\\x\r\nList=a,b\r\n[B] ; note\r\nj=\r\n", 0, ""},
        {"[A]\nk=1\nHost=\"smtp.example.com\n[B]\nj=1\n", 3, "a double quote is not closed"},
        {"[A]\nk=ab\"c\n", 2, "a double quote is not closed"},
        {"[A]\nk=\"x\\\"\n", 2, "a double quote is not closed"},
        {"[A]\nk=1\\\n[B]\n", 2, "the line ends in '\\'"},
        {"xx\x01\x02junk\n[A]\nk=1\n", 1, "the line holds control characters"},
        {"junk\n[A]\nk=1\n", 1, "the line is neither"},
        {"# note\n[A]\n", 1, "'#' does not start a comment"},
        {"[A\nk=1\n", 1, "the section header has no closing ']'"},
        {"\xEF\xBB\xBF[A]\nk=1\n", 1, "the file starts with a byte-order mark"},
    };
    for (const auto& c : cases) {
        const auto fault = findIniFault(c.text);
        if (c.line == 0) {
            EXPECT_FALSE(fault) << c.text << " -> " << fault->reason;
            continue;
        }
        ASSERT_TRUE(fault) << c.text;
        EXPECT_EQ(fault->line, c.line) << c.text;
        EXPECT_TRUE(fault->reason.starts_with(c.reason)) << c.text << " -> " << fault->reason;
    }
    EXPECT_EQ(findIniFault("[A]\nk=1\nHost=\"smtp\n")->text, "Host=\"smtp");
}

TEST(IniCheck, ProfileNamesTheFileAndLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("machine.ini");
    Profile profile(path);
    EXPECT_FALSE(profile.check()); // missing: every setting is its default

    lw::test::writeFile(
        path, "[ComPortInfo]\nComNumber=2\n[STMP]\nHost=\"smtp\n[TCPPortInfo]\nPortNumber=7000\n");
    const auto fault = profile.check();
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->toString(), path + " line 4: a double quote is not closed on this line, so "
                                        "the value would run on into the lines below: Host=\"smtp");
}
