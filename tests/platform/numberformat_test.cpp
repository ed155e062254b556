#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct GeneralCase {
    double value;
    const char* text;
};

// Values that a setup file holds: 32-bit floats written through their exact widening.
TEST(FloatToStr, WritesTheExactWideningWith15Digits)
{
    const GeneralCase cases[] = {
        {1.2f, "1.20000004768372"},
        {0.3f, "0.300000011920929"},
        {0.1f, "0.100000001490116"},
        {2.33f, "2.32999992370605"},
        {0.00005f, "4.99999987368938E-5"},
        {2.5f, "2.5"},
        {12.0f, "12"},
        {24.0f, "24"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {-1.5, "-1.5"},
        {0.0001, "0.0001"},
        {0.00009, "9E-5"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {-2.5e-7, "-2.5E-7"},
        {0.99999999999999999, "1"},
        {100.0, "100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToStr(c.value, '.'), c.text) << c.value;
    EXPECT_EQ(FloatToStr(1.2f, ','), "1,20000004768372");
    EXPECT_EQ(FloatToStr(0.00005f, ','), "4,99999987368938E-5");
}

TEST(FloatToStr, ReadsBackToTheSameFloat)
{
    for (float f : {1.2f, 0.3f, 2.33f, 0.00005f, 3.4e38f, -7.25f, 1e-30f}) {
        double back = 0;
        ASSERT_TRUE(TryTextToFloat(FloatToStr(f, '.'), back, '.')) << f;
        EXPECT_EQ(static_cast<float>(back), f);
    }
}

struct PictureCase {
    const char* picture;
    double value;
    const char* text;
};

TEST(FormatFloat, Pictures)
{
    const PictureCase cases[] = {
        {"#0.00", 2.5, "2.50"},
        {"#0.00", 0, "0.00"},
        {"#0.00", -3.14159, "-3.14"},
        {"#0.00", 1.005f, "1.00"},      // 1.00499999523 as a float
        {"#0.00", 0.125, "0.13"},       // half away from zero
        {"#0.00", -0.001, "0.00"},      // no sign on a rounded zero
        {"#0.00", 99.999, "100.00"},
        {"#.00", 0, ".00"},
        {"#.00", 0.5, ".50"},
        {"#.00", 1234.5678, "1234.57"},
        {"#.0", 0, ".0"},
        {"#.0", 12.34, "12.3"},
        {"##0", 12, "12"},
        {"##0", 12.6, "13"},
        {"##0", 0.4, "0"},
        {"##0", 1234, "1234"},
        {"0", 3.4, "3"},
        {"0", 3.5, "4"},
        {"0", -0.4, "0"},
        {"#0.##", 2.5, "2.5"},
        {"#0.##", 2, "2"},
        {"#0.##", 2.345f, "2.35"},
        {"#0.##", 0, "0"},
        {"Min : #0.00 m", 1, "Min : 1.00 m"},
        {"Min : #0.00 m", 0.25, "Min : 0.25 m"},
        {"#.00", 1e-12, ".00"},
        {"#0.00", 5e15, "5000000000000000.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatFloat(c.picture, c.value, '.'), c.text) << c.picture << " " << c.value;
    EXPECT_EQ(FormatFloat("#0.00", 2.5, ','), "2,50");
    EXPECT_EQ(FormatFloat("Min : #0.00 m", 1, ','), "Min : 1,00 m");
}

struct ParseCase {
    const char* text;
    QChar separator;
    bool ok;
    double value;
};

TEST(TryTextToFloat, LocaleFormOnly)
{
    const ParseCase cases[] = {
        {"4.5", '.', true, 4.5},
        {"4,5", ',', true, 4.5},
        {"4,5", '.', false, 0},
        {"4.5", ',', false, 0},
        {"  -12  ", '.', true, -12},
        {"+3", '.', true, 3},
        {".5", '.', true, 0.5},
        {"5.", '.', true, 5},
        {"1.5E3", '.', true, 1500},
        {"1.5e-3", '.', true, 0.0015},
        {"4.99999987368938E-5", '.', true, 4.99999987368938E-5},
        {"1E", '.', false, 0},
        {"", '.', false, 0},
        {".", '.', false, 0},
        {"abc", '.', false, 0},
        {"3.5x", '.', false, 0},
        {"inf", '.', false, 0},
        {"nan", '.', false, 0},
        {"0x1p3", '.', false, 0},
        {"1E400", '.', false, 0},
        {"1 000", '.', false, 0},
    };
    for (const auto& c : cases) {
        double v = -999;
        EXPECT_EQ(TryTextToFloat(c.text, v, c.separator), c.ok) << c.text;
        if (c.ok)
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    }
}

// What a 32-bit float holds, checked on the double before any cast: nothing beyond the
// largest float, not even a value that rounding would bring back to it.
TEST(TryTextToFloat32, OnlyWhatAFloatHolds)
{
    SetDecimalSeparator('.');
    constexpr float fmax = std::numeric_limits<float>::max();
    const struct {
        const char* text;
        bool ok;
        float value;
    } cases[] = {
        {"12.5", true, 12.5f},
        {"3.40282346e38", true, fmax},
        {"-3.40282346e38", true, -fmax},
        {"1e-50", true, 0.0f},
        {"1e39", false, 0},
        {"-1e39", false, 0},
        {"3.4028235e38", false, 0},
        {"-3.4028235e38", false, 0},
        {"1E400", false, 0},
        {"abc", false, 0},
    };
    for (const auto& c : cases) {
        float v = -7;
        EXPECT_EQ(TryTextToFloat32(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : -7.0f) << c.text;
    }
    for (const double d : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        float v = -7;
        EXPECT_FALSE(TryToFloat32(d, v)) << d;
        EXPECT_EQ(v, -7.0f);
    }
}

// A computed value stored as a float rounds as the floating-point unit rounds it, also beyond the
// largest float, where a cast is not to be relied on.
TEST(RoundToFloat32, NearestFloatOrInfinity)
{
    constexpr float fmax = std::numeric_limits<float>::max();
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct {
        double value;
        float expected;
    } cases[] = {
        {1.5, 1.5f},
        {0.1, 0.1f},
        {-2.5e-50, -0.0f},
        {double(fmax), fmax},
        {0x1.fffffefffffffp127, fmax}, // just below halfway to the next power of two
        {0x1.ffffffp127, inf},         // halfway: the even neighbour
        {1e39, inf},
        {-3.4028235e38, -fmax},
        {-1e300, -inf},
        {std::numeric_limits<double>::infinity(), inf},
    };
    for (const auto& c : cases) {
        const float r = RoundToFloat32(c.value);
        EXPECT_EQ(r, c.expected) << c.value;
        EXPECT_EQ(std::signbit(r), std::signbit(c.expected)) << c.value;
    }
    EXPECT_TRUE(std::isnan(RoundToFloat32(std::numeric_limits<double>::quiet_NaN())));
}

struct IntCase {
    const char* text;
    bool ok;
    int32_t value;
};

TEST(TryStrToInt, DecimalAndHexPrefixes)
{
    const IntCase cases[] = {
        {"25", true, 25},
        {"-7", true, -7},
        {"+7", true, 7},
        {" 30 ", true, 30},
        {"0x1E", true, 30},
        {"0X1e", true, 30},
        {"$1E", true, 30},
        {"x1E", true, 30},
        {"X1E", true, 30},
        {"$FFFFFFFF", true, -1},
        {"$000000001", true, 1},
        {"$100000000", false, 0},
        {"-$10", false, 0},
        {"0x", false, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
        {"3.5", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"12a", false, 0},
    };
    for (const auto& c : cases) {
        int32_t v = -999;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef("abc", 25), 25);
}

} // namespace
