#include "DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lw;

TEST(DateTime, EncodeDecode) {
    EXPECT_EQ(encodeDateTime({1899, 12, 30}), 0);
    EXPECT_EQ(encodeDateTime({1900, 1, 1}), 2);
    const double t = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    EXPECT_EQ(static_cast<int64_t>(t), 46365);
    EXPECT_EQ(decodeDateTime(t), (CivilTime{2026, 12, 9, 14, 5, 9, 0}));
    EXPECT_EQ(decodeDateTime(46365.5), (CivilTime{2026, 12, 9, 12, 0, 0, 0}));
    // A fraction that rounds up to the next midnight belongs to the next day.
    EXPECT_EQ(decodeDateTime(46365.9999999999), (CivilTime{2026, 12, 10, 0, 0, 0, 0}));
    EXPECT_EQ(dayNumber(t), 46365);
}

TEST(DateTime, FormatsEnUs) {
    const Formats us = Formats::enUS();
    const double t = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    EXPECT_EQ(formatDate(t, us), "12/9/2026");
    EXPECT_EQ(formatTime(t, us), "2:05:09 PM");
    EXPECT_EQ(formatDateTime(t, us), "12/9/2026 2:05:09 PM");
    EXPECT_EQ(formatTime(encodeDateTime({2026, 1, 1, 0, 7, 0, 0}), us), "12:07:00 AM");
    EXPECT_EQ(formatTime(t, Formats::commaDecimal()), "14:05:09");
}

TEST(DateTime, ParsesWhatItFormats) {
    const Formats formats[] = {Formats::enUS(), Formats::commaDecimal()};
    const CivilTime times[] = {{2026, 12, 9, 14, 5, 9, 0}, {2026, 1, 1, 0, 0, 0, 0},
                               {2026, 7, 31, 12, 30, 0, 0}, {2000, 2, 29, 23, 59, 59, 0}};
    for (const auto& f : formats)
        for (const auto& c : times) {
            const double t = encodeDateTime(c);
            EXPECT_EQ(parseDateTime(formatDateTime(t, f), f), t) << formatDateTime(t, f);
            EXPECT_EQ(parseDate(formatDate(t, f), f), std::trunc(t));
            EXPECT_NEAR(*parseTime(formatTime(t, f), f), t - std::trunc(t), 1e-9);
        }
}

TEST(DateTime, RejectsMalformedTexts) {
    const Formats us = Formats::enUS();
    for (const char* bad : {"", "13/1/2026", "2/30/2026", "12-9-2026", "12/9/2026 25:00:00 PM",
                            "12/9/2026 2:05:09", "12/9/2026x", "12/9/2026 2:65:09 PM"})
        EXPECT_EQ(parseDateTime(bad, us), std::nullopt) << bad;
    EXPECT_EQ(parseDateTime("12/9/2026", us), encodeDateTime({2026, 12, 9}));
    EXPECT_EQ(parseTime("2:05:09 XM", us), std::nullopt);
}
