#include "TextToNumber.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace vantrell {
namespace {

TEST(TextToNumberReadsLikeAtoi, PrefixSignAndWhiteSpace)
{
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"", 0}, {"abc", 0}, {"-", 0}, {"+", 0}, {" +-3", 0}, {"x12", 0},
        {"42", 42}, {"  42", 42}, {"\t\n\v\f\r 9", 9}, {"+5", 5}, {"-7x", -7},
        {"12 34", 12}, {"-000012", -12}, {"0045", 45}, {"3.9", 3}, {"1e5", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToInt32(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextToNumberSaturates, DigitsBeyondInt32StopAtItsLimits)
{
    struct Case {
        const char* text;
        std::int32_t value;
        bool capped;
    };
    const Case cases[] = {
        {"2147483647", 2147483647, false},
        {"2147483648", 2147483647, true},
        {"-2147483648", -2147483647 - 1, false},
        {"-2147483649", -2147483647 - 1, true},
        {"99999999999999999999999999999999", 2147483647, true},
        {"-99999999999999999999999999999999", -2147483647 - 1, true},
        {"00000000000000000000000000000007", 7, false},
    };
    for (const Case& c : cases) {
        bool capped = !c.capped;
        EXPECT_EQ(TextToInt32(c.text, &capped), c.value) << c.text;
        EXPECT_EQ(capped, c.capped) << c.text;
    }
}

TEST(TextToNumberReadsLikeAtoi, AgreesWithAtoiInsideTheRange)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> any(-2147483647 - 1, 2147483647);
    for (int i = 0; i < 10000; ++i) {
        const std::string text = std::to_string(any(random)) + (i % 2 ? "z" : "");
        ASSERT_EQ(TextToInt32(text), std::atoi(text.c_str())) << text;
    }
}

} // namespace
} // namespace vantrell
