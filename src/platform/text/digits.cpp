#include "platform/text/digits.h"

#include <algorithm>

namespace text {

bool isDigitsOnly(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit);
}

} // namespace text
