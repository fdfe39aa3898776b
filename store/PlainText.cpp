#include "store/PlainText.h"

#include <algorithm>

namespace kova {
namespace {

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

} // namespace

bool HoldsBidiControls(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isBidiControl);
}

QString StripBidiControls(QString text)
{
    if (!HoldsBidiControls(text))
        return text;
    text.removeIf(isBidiControl);
    return text;
}

} // namespace kova
