#include "PollList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "DateTime.h"
#include "Files.h"

using namespace lw;

namespace {

TankRecord row(std::optional<std::string> id, std::optional<int32_t> comType) {
    TankRecord r;
    r.ID = std::move(id);
    r.ComType = comType;
    return r;
}

constexpr int32_t kRs485 = 0;
constexpr int32_t kRs232 = 1;
constexpr int32_t kWireless = 2;

std::vector<int> addresses(const PollList& list) {
    std::vector<int> out;
    for (int i = 1; i <= list.count(); ++i)
        out.push_back(list.entry(i).ID);
    return out;
}

std::vector<int> polledSequence(PollList& list, int requests) {
    std::vector<int> out;
    for (int i = 0; i < requests; ++i) {
        const auto poll = list.next();
        out.push_back(poll ? poll->address : 0);
    }
    return out;
}

} // namespace

TEST(PollList, BuildsFromRowsInOrder) {
    struct Case {
        const char* name;
        std::vector<TankRecord> rows;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"mapped ranges and wired types",
         {row("3", kRs232), row("9012", std::nullopt), row("8255", kWireless), row("4", kWireless),
          row("300", kRs232)},
         {3, 12, 255}},
        {"empty type polls only mapped IDs",
         {row("5", std::nullopt), row("9005", std::nullopt), row("7", kRs485)},
         {5, 7}},
        {"range bounds",
         {row("9000", kRs232), row("9256", kRs232), row("8001", std::nullopt), row("0", kRs232),
          row("255", kRs485), row("256", kRs485)},
         {1, 255}},
        {"unusable IDs",
         {row(std::nullopt, kRs232), row("", kRs232), row("x1", kRs232), row("012", kRs232)},
         {12}},
    };
    for (const Case& c : cases) {
        PollList list;
        EXPECT_EQ(list.rebuild(c.rows), static_cast<int>(c.expected.size())) << c.name;
        EXPECT_EQ(addresses(list), c.expected) << c.name;
    }
}

TEST(PollList, FileTextAndIntervalOfTheExamplePlant) {
    PollList list;
    const std::vector<TankRecord> rows{row("3", kRs232), row("9012", std::nullopt),
                                       row("8255", std::nullopt), row("4", kWireless),
                                       row("300", kRs232)};
    const int k = list.rebuild(rows);
    EXPECT_EQ(list.fileText(), "3\r\n12\r\n255\r\n");
    EXPECT_EQ(pollInterval(k, 5000), 1666);
    EXPECT_EQ(pollInterval(0, 1666), 1666); // an empty list keeps the interval
    EXPECT_EQ(list.entry(1).ComType, kRs232);
    EXPECT_EQ(list.entry(2).ComType, -1);

    list.rebuild({});
    EXPECT_EQ(list.fileText(), "");
}

TEST(PollList, RequestsCycleAndAskLearnedTypesForTheLongReply) {
    EXPECT_EQ(pollRequest(1, 24), (PollRequest{0x01, 0x04, 0, 0, 0, 0x18, 0xF0, 0x00}));
    EXPECT_EQ(pollRequest(1, 48), (PollRequest{0x01, 0x04, 0, 0, 0, 0x30, 0xF0, 0x1E}));
    for (int t : {0, 1, 3, 2, -1})
        EXPECT_EQ(registerCountFor(t), 24) << t;
    for (int t : {4, 8, 12, 16, 19})
        EXPECT_EQ(registerCountFor(t), 48) << t;

    PollList list;
    EXPECT_FALSE(list.next()); // nothing to poll
    list.rebuild(std::vector<TankRecord>{row("3", kRs232), row("9012", std::nullopt)});
    EXPECT_EQ(polledSequence(list, 3), (std::vector<int>{3, 12, 3}));

    // A short R300 reply teaches entry 2 its type: the next request there asks for 48.
    list.setLearnedType(12, 16);
    const auto poll = list.next();
    ASSERT_TRUE(poll);
    EXPECT_EQ(poll->address, 12);
    EXPECT_EQ(poll->request, pollRequest(12, 48));

    // A rebuild restarts at entry 1; the learned type stays with the position.
    list.rebuild(std::vector<TankRecord>{row("9", kRs232), row("3", kRs232)});
    EXPECT_EQ(list.pollTankNum(), 1);
    EXPECT_EQ(list.entry(2).DispType, 16);
    EXPECT_EQ(list.learnedType(3), 16);
    EXPECT_EQ(list.learnedType(12), std::nullopt);
}

TEST(PollList, LearnedTypesGoToTheFirstEntryOfAnAddress) {
    PollList list;
    list.rebuild(std::vector<TankRecord>{row("9005", std::nullopt), row("5", kRs232)});
    list.setLearnedType(5, 8);
    EXPECT_EQ(list.entry(1).DispType, 8);
    EXPECT_EQ(list.entry(2).DispType, 0);
    EXPECT_EQ(list.learnedType(5), 8);

    list.setLearnedType(6, 4); // no entry: no effect
    EXPECT_EQ(list.learnedType(6), std::nullopt);
    EXPECT_EQ(list.learnedType(0), std::nullopt); // 0 marks the end, it is no address
}

TEST(PollList, AFullListWrapsAndIgnoresFurtherRows) {
    std::vector<TankRecord> rows;
    for (int i = 1; i <= 255; ++i)
        rows.push_back(row(std::to_string(9000 + i), std::nullopt));
    rows.push_back(row("7", kRs232)); // the 256th eligible row
    PollList list;
    EXPECT_EQ(list.rebuild(rows), 255);
    EXPECT_EQ(list.entry(255).ID, 255);

    for (int i = 0; i < 254; ++i)
        list.next();
    EXPECT_EQ(polledSequence(list, 3), (std::vector<int>{255, 1, 2}));
}

TEST(PollList, LoadsTheFileBytesItCanUse) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<int> expected;
    };
    // 300 entries fit in 1024 bytes; the list holds the first 255.
    std::string manyEntries;
    std::vector<int> first255;
    for (int i = 0; i < 300; ++i) {
        const int id = i % 200 + 1;
        manyEntries += std::to_string(id) + "\r";
        if (i < 255)
            first255.push_back(id);
    }
    const Case cases[] = {
        {"no final line end", "7\r\n9", {7, 9}},
        {"empty lines", "7\r\n\r\n", {7}},
        {"LF ends no entry", "7\n9\n", {79}},
        {"garbage around digits", "a1b2\r\nxx\r\n-5 ", {12, 5}},
        {"over 255 keeps the low byte", "300\r\n", {44}},
        {"a low byte of 0 is no entry", "256\r\n512\r\n0\r\n4", {4}},
        // 10^900 - 1 leaves 255 in the low byte; no overflow, no crash.
        {"endless digits", std::string(900, '9') + "\r\n3", {255, 3}},
        // The cut falls after "12": the last byte read ends that entry, "34" is never read.
        {"cut at 1024 bytes", std::string(1022, '\n') + "12\r\n34\r\n", {12}},
        {"at most 255 entries", manyEntries, first255},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        PollList list;
        EXPECT_EQ(list.load(c.bytes), static_cast<int>(c.expected.size())) << c.name;
        EXPECT_EQ(addresses(list), c.expected) << c.name;
    }
}

TEST(PollList, LoadingAFileReplacesTheAddressesOnly) {
    const lw::test::TempDir dir("polllist");
    const auto file = dir / kPollListFileName;

    PollList list;
    list.load("5\r\n6\r\n7\r\n");
    list.setLearnedType(6, 12);
    list.next();
    EXPECT_FALSE(list.loadFile(dir / "missing.txt"));
    EXPECT_EQ(addresses(list), (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(list.pollTankNum(), 2);

    lw::test::writeFile(file, "9\r\n6\r\n");
    EXPECT_TRUE(list.loadFile(file));
    EXPECT_EQ(addresses(list), (std::vector<int>{9, 6}));
    EXPECT_EQ(list.pollTankNum(), 1);
    EXPECT_EQ(list.entry(2).DispType, 12);
}

TEST(PollList, PollLineText) {
    const double t = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    EXPECT_EQ(pollLogText(t, Formats::enUS(), 12), "DATE=12/9/2026 2:05:09 PM Poll ID 12");
}
