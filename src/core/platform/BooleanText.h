#pragma once

#include <QString>
#include <optional>

// Boolean values in the files: written "-1" and "0"; read as a number (true
// unless 0, in the user's or the C number form) or "True"/"False" in any
// letter case. Anything else, the empty text included, is no Boolean.
namespace BooleanText {

inline QString write(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}
std::optional<bool> read(const QString& text);

} // namespace BooleanText
