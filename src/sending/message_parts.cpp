#include "sending/message_parts.h"

#include "platform/text/decimal.h"

namespace sending {
namespace {

bool equalsOne(const QString &figure)
{
    const auto value = text::parseDecimal(figure);
    return value && *value == 1.0;
}

} // namespace

SmsParts partsFor(qsizetype length)
{
    if (length <= 160)
        return {1, 160};
    const int parts = static_cast<int>((length + 152) / 153);
    return {parts, parts * 153};
}

int partsForCost(qsizetype length)
{
    return length <= 0 ? 0 : partsFor(length).parts;
}

QString creditLabel(const QString &figure, CreditFigure kind)
{
    const QString trimmed = figure.trimmed();
    if (trimmed.isEmpty())
        return kUnknownLabel;
    switch (kind) {
    case CreditFigure::Balance:
        if (trimmed.size() > 3)
            return trimmed + QStringLiteral(" cr.");
        return trimmed + (equalsOne(trimmed) ? QStringLiteral(" crédito") : QStringLiteral(" créditos"));
    case CreditFigure::Cost:
        if (trimmed.size() < 4)
            return trimmed + (equalsOne(trimmed) ? QStringLiteral(" crédito") : QStringLiteral(" créditos"));
        return trimmed + QStringLiteral(" cr.");
    case CreditFigure::BalanceAfterSend:
        return trimmed + QStringLiteral(" cr.");
    }
    return trimmed;
}

} // namespace sending
