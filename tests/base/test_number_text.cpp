#include "base/uNumberText.h"
#include "base/uTextFile.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

TEST(NumberText, FloatToTextGeneralFormat)
{
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0f, "0"},
        {0.5f, "0.5"},
        {2.0f, "2"},
        {0.1f, "0.1000000015"},
        {-1.25f, "-1.25"},
        {100000.0f, "100000"},
        {1e9f, "1000000000"},
        {1e10f, "1E10"},
        {3.25e-5f, "0.00003250000009"},
        {1e-5f, "9.999999747E-6"},
        {1e-6f, "9.999999975E-7"},
        {0.35f, "0.349999994"},
        {-2.5e12f, "-2.499999957E12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToText(c.value), c.text) << c.text;
}

TEST(NumberText, NonFiniteIsNeverWritten)
{
    EXPECT_EQ(FloatToText(std::numeric_limits<float>::quiet_NaN()), "0");
    EXPECT_EQ(FloatToText(std::numeric_limits<float>::infinity()), "0");
}

TEST(NumberText, ReadsBackWhatItWrites)
{
    for (float v : {0.1f, -3.75f, 1e-7f, 123456.789f, 3.4e38f, -1e-30f})
        EXPECT_EQ(TextToFloatDef(FloatToText(v), 0), v) << v;
}

TEST(NumberText, TextToFloatDefRefusesAnythingButOneNumber)
{
    EXPECT_EQ(TextToFloatDef("", 3), 3);
    EXPECT_EQ(TextToFloatDef(" 2.5 ", 0), 2.5f);
    EXPECT_EQ(TextToFloatDef("+4", 0), 4);
    for (const char* bad : {"2,5", "1.5x", "nan", "inf", "-inf", "1e39", "abc", "1 2", "+-1"})
        EXPECT_EQ(TextToFloatDef(bad, 7), 7) << bad;
}

TEST(NumberText, IgnoresTheProcessLocale)
{
    // A comma locale must not change what is written or read.
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(FloatToText(1.5f), "1.5");
    EXPECT_EQ(TextToFloatDef("1.5", 0), 1.5f);
    std::setlocale(LC_ALL, "C");
}

TEST(NumberText, IntegerReaders)
{
    int32_t i;
    uint32_t u;
    EXPECT_TRUE(TryTextToInt(" -12 ", i));
    EXPECT_EQ(i, -12);
    EXPECT_FALSE(TryTextToInt("2147483648", i));
    EXPECT_FALSE(TryTextToInt("1.0", i));
    EXPECT_TRUE(TryTextToUInt32("4294967295", u));
    EXPECT_EQ(u, 4294967295u);
    EXPECT_FALSE(TryTextToUInt32("-1", u));
}

TEST(NumberText, InvariantPairsNest)
{
    BeginInvariantDecimal();
    BeginInvariantDecimal();
    EXPECT_EQ(InvariantDecimalDepth(), 2);
    EndInvariantDecimal();
    EndInvariantDecimal();
    EXPECT_EQ(InvariantDecimalDepth(), 0);
}

TEST(NumberText, InvariantScopeEndsAlsoWhenTheReadFails)
{
    try {
        TInvariantDecimalScope outer;
        TInvariantDecimalScope inner;
        EXPECT_EQ(InvariantDecimalDepth(), 2);
        throw std::runtime_error("bad line");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(InvariantDecimalDepth(), 0);
}

// The short path for common decimal forms must give exactly what from_chars gives, for
// the file's own reals and for hand-typed numbers at the edges of that path.
TEST(NumberText, DecimalReadingMatchesFromChars)
{
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "0.5",
                                      "-0.0",
                                      "1.",
                                      ".5",
                                      "1e22",
                                      "1e23",
                                      "1E-22",
                                      "1e-23",
                                      "5e-324",
                                      "1e308",
                                      "123456789012345",
                                      "1234567890123456",
                                      "9007199254740993",
                                      "0.1",
                                      "2.5E+00",
                                      "-1.234567890E-01",
                                      "1.0e",
                                      "1.0E+",
                                      "00012.50"};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        texts.push_back(FormatFileReal(static_cast<float>(value)));
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.*g", 1 + i % 17, value);
        texts.emplace_back(buffer);
    }
    for (const std::string& text : texts) {
        const std::string_view t = TrimBlanks(text);
        double expected = 0;
        const auto r = std::from_chars(t.data(), t.data() + t.size(), expected);
        const bool expectOk =
            r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(expected);
        double got = 0;
        ASSERT_EQ(TryTextToDouble(text, got), expectOk) << text;
        if (expectOk) {
            EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
        }
    }
}

// Mesh lines are read item by item in one pass; each item must read exactly as the
// whole-token readers read it, blanks of every kind between, and a bad item must fail.
TEST(NumberText, LineItemsReadAsTheirTokens)
{
    std::vector<std::string> items = {"0",
                                      "-0",
                                      "+5",
                                      "0.5",
                                      "1.",
                                      ".5",
                                      "-",
                                      "x",
                                      "1.5x",
                                      "1e22",
                                      "1e23",
                                      "1E-22",
                                      "3e38",
                                      "4e38",
                                      "-1e39",
                                      "5e-324",
                                      "2147483647",
                                      "2147483648",
                                      "-2147483648",
                                      "000000000012",
                                      "123456789",
                                      "1234567890",
                                      "12345678.9",
                                      "1.0e",
                                      "00012.50",
                                      "1.234567890123456789",
                                      "9.999999776E-03",
                                      "-1.234567890E-01",
                                      "0.000000000E+00"};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 5000; ++i)
        items.push_back(FormatFileReal(
            static_cast<float>(mantissa(random) * std::pow(10.0, exponent(random)))));
    const char* blanks[] = {" ", "  ", "\t", " \r", "\x01"};
    for (size_t n = 0; n < items.size(); ++n) {
        // Each item at the start, inside and at the end of a line, beside its neighbours.
        const std::string& item = items[n];
        const std::string& other = items[(n * 7 + 3) % items.size()];
        const std::string blank = blanks[n % std::size(blanks)];
        const std::string line = blank + item + blank + other + " " + item;
        const std::vector<std::string_view> tokens = SplitBlanks(line);
        size_t floatPos = 0, intPos = 0;
        for (const std::string_view token : tokens) {
            float expectedFloat = 0, gotFloat = 0;
            const bool floatOk = TryTextToFloat(token, expectedFloat);
            ASSERT_EQ(NextLineFloat(line, floatPos, gotFloat), floatOk) << line;
            if (floatOk) {
                EXPECT_EQ(std::memcmp(&gotFloat, &expectedFloat, sizeof gotFloat), 0) << token;
            }
            int32_t expectedInt = 0, gotInt = 0;
            const bool intOk = TryTextToInt(token, expectedInt);
            ASSERT_EQ(NextLineInt(line, intPos, gotInt), intOk) << line;
            if (intOk) {
                EXPECT_EQ(gotInt, expectedInt) << token;
            }
        }
        float f = 0;
        int32_t k = 0;
        EXPECT_FALSE(NextLineFloat(line, floatPos, f)) << line;
        EXPECT_FALSE(NextLineInt(line, intPos, k)) << line;
    }
}
