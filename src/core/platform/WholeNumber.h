#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// Whole-number text as the port fields take it: optional leading blanks, an
// optional sign, then decimal digits or a hexadecimal number introduced by
// "$", "x", "X", "0x" or "0X". Nothing may follow, not even a blank, and the
// value must fit a signed 32-bit integer. Empty text is not a whole number.
namespace WholeNumber {
std::optional<std::int32_t> parse(QStringView text);
inline bool isWholeNumber(QStringView text)
{
    return parse(text).has_value();
}
} // namespace WholeNumber
