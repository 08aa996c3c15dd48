#include "platform/WholeNumber.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

struct Case
{
    const char* text;
    std::optional<std::int32_t> expected;
};

TEST(WholeNumber, ParsesLikeThePortFields)
{
    const Case cases[] = {
        {"21", 21},
        {"  21", 21},
        {"+21", 21},
        {"-5", -5},
        {"021", 21},
        {"65557", 65557},
        {"$1F", 31},
        {"x1f", 31},
        {"X10", 16},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$FFFFFFFF", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"21 ", std::nullopt},
        {"2x", std::nullopt},
        {"abc", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"1.5", std::nullopt},
        {"\t21", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(WholeNumber::parse(QString::fromUtf8(c.text)), c.expected);
    }
}

} // namespace
