#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace veltaro;

namespace {
const NumberFormat dot{'.'};
const NumberFormat comma{','};
} // namespace

TEST(Convert, ParsesRegionalNumbersWithBlanksAround) {
    const std::tuple<const char*, NumberFormat, double> cases[] = {
        {"  14074  ", dot, 14074},
        {"\t14074.6", dot, 14074.6},
        {"14074,6", comma, 14074.6},
        {"-60", dot, -60},
        {"+7", dot, 7},
        {".5", dot, 0.5},
        {"5.", dot, 5},
        {"1E7", dot, 1e7},
        {"1.5e-3", dot, 0.0015},
    };
    for (const auto& [text, fmt, value] : cases)
        EXPECT_DOUBLE_EQ(parseNumber(text, fmt).value_or(-1), value) << text;
}

TEST(Convert, RejectsTextThatIsNotANumber) {
    for (const char* text : {"", "   ", "abc", "14074abc", "14 074", "1e", "-", ".", "14.074"}) {
        // "14.074" is not a number where the separator is ","
        EXPECT_EQ(parseNumber(text, comma), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(parseNumber("14,074", dot), std::nullopt);
    EXPECT_EQ(parseNumber("1e999", dot), std::nullopt);
    EXPECT_EQ(parseNumber("0.001e312", dot), std::nullopt);
    // Too small to tell from zero is zero, not an overflow.
    EXPECT_EQ(parseNumber("1e-400", dot), 0.0);
    EXPECT_EQ(parseNumber("-123.4e-330", dot), 0.0);
    EXPECT_EQ(leadingNumber("1e-400"), 0.0);
}

TEST(Convert, RoundsHalvesToEvenAndChecksRange) {
    const std::pair<double, std::int32_t> cases[] = {
        {14074.5, 14074}, {14075.5, 14076}, {14074.6, 14075},           {-2.5, -2},
        {-3.5, -4},       {0.5, 0},         {2147483647.4, 2147483647}, {-2147483648.4, INT32_MIN},
    };
    for (const auto& [v, r] : cases)
        EXPECT_EQ(roundToInt32(v), r) << v;
    EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(roundToInt32(-2147483648.6), std::nullopt);
    EXPECT_EQ(roundToInt32(1.0 / 0.0), std::nullopt);
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_EQ(roundToInt16(-32768.5), -32768);
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(roundToInt16(-32768.6), std::nullopt);
    EXPECT_EQ(parseRoundedInt16(" 1 ", dot), 1);
}

TEST(Convert, FloorsKHzFromMHzInDoublePrecision) {
    EXPECT_EQ(floorKHzFromMHz(14.0746), 14074);
    EXPECT_EQ(floorKHzFromMHz(50313000 / 1000000.0), 50313);
    EXPECT_EQ(floorKHzFromMHz(-0.0005), -1);
    EXPECT_EQ(floorKHzFromMHz(2147483.6469), 2147483646);
    EXPECT_EQ(floorKHzFromMHz(2147483.648), std::nullopt);
    EXPECT_EQ(floorKHzFromMHz(-2147483.649), std::nullopt);
}

TEST(Convert, SubtractionOverflowGivesNothing) {
    EXPECT_EQ(checkedSub(14084, 14074), 10);
    EXPECT_EQ(checkedSub(0, 2147483647), -2147483647);
    EXPECT_EQ(checkedSub(-2, 2147483647), std::nullopt);
    EXPECT_EQ(checkedSub(2147483647, -1), std::nullopt);
}

TEST(Convert, FormatsMHzText) {
    const std::tuple<double, NumberFormat, const char*> cases[] = {
        {7.074, dot, "07.074000"}, {10.0, dot, "10.000000"},    {9.999, dot, "09.999000"},
        {100.0, dot, "100.00000"}, {0.5, dot, "0.500000"},      {0.0, dot, "0.000000"},
        {0.5, comma, "0,500000"},  {14.0746, dot, "14.074600"}, {999.99999, dot, "999.99999"},
    };
    for (const auto& [mhz, fmt, text] : cases)
        EXPECT_EQ(formatMHzText(mhz, fmt), text) << mhz;
}

TEST(Convert, FormatsKHzDigitsFifteenDigitValuesAndTwips) {
    EXPECT_EQ(formatKHzDigits(14074), "00014074");
    EXPECT_EQ(formatKHzDigits(0), "00000000");
    EXPECT_EQ(formatKHzDigits(123456789), "123456789");

    // Readings pass through the value that their "%.15G" text reads back as.
    for (double v : {0.1 + 0.2, 14.074, 14.0740000000000004, 14074000 / 1000000.0, 1e-320, -0.0}) {
        char text[40];
        std::snprintf(text, sizeof text, "%.15G", v);
        EXPECT_EQ(roundTo15Digits(v), std::strtod(text, nullptr)) << v;
    }
    EXPECT_EQ(roundTo15Digits(0.1 + 0.2), 0.3);
    EXPECT_EQ(roundTo15Digits(1.7976931348623157e308), std::nullopt); // rounds past the top

    EXPECT_EQ(formatTwips(-60.0f, dot), "-60");
    EXPECT_EQ(formatTwips(12.5f, comma), "12,5");
    EXPECT_EQ(formatTwips(1234567.0f, dot), "1234567");
}

TEST(Convert, ReadsTheLeadingNumberOfAText) {
    const std::pair<const char*, double> cases[] = {
        {"  14 074 000", 14074000},
        {"\n14074000\n", 14074000},
        {"14074000 Hz", 14074000},
        {"1e7", 1e7},
        {"&H1F", 31},
        {"&o17", 15},
        {"&Hxyz", 0},
        {"&", 0},
        {"abc", 0},
        {"", 0},
        {"-12.5xyz", -12.5},
        {"3.5.6", 3.5},
        {"12e", 12},
        {"+5", 5},
        {"1,5", 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(text).value_or(-1), value) << '"' << text << '"';
    EXPECT_EQ(leadingNumber("1e999"), std::nullopt);
    EXPECT_EQ(leadingNumber(std::string(400, '9')), std::nullopt);
}
