#include "BooleanText.h"

#include <QLocale>

namespace BooleanText {

std::optional<bool> read(const QString& text)
{
    // What the program writes, without a number parse: files hold many.
    if (text == u"-1")
        return true;
    if (text == u"0")
        return false;
    bool isNumber = false;
    double number = QLocale::system().toDouble(text, &isNumber);
    if (!isNumber)
        number = text.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    if (text.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

} // namespace BooleanText
