#include "sending/message_counter.h"

#include "platform/text/decimal.h"
#include "sending/keywords.h"

#include <cmath>

namespace sending {

bool needsLongestValues(const QString &message)
{
    if (!message.contains(QLatin1Char('[')))
        return false;
    const QString plain = reduceConfirmForms(message);
    for (const QString &keyword : counterKeywords()) {
        if (plain.contains(keyword))
            return true;
    }
    return false;
}

CounterResult countCharacters(const QString &message, const QString &sendTime, const QDateTime &now,
                                  const std::optional<LongestValues> &longest)
{
    QString text = message;
    if (text.contains(QLatin1Char('['))) {
        text = fillDateKeywords(reduceConfirmForms(text), sendTime, now);
        const auto &keywords = counterKeywords();
        for (std::size_t i = 0; i < keywords.size(); ++i) {
            const int width = longest ? (*longest)[i] : 0;
            text.replace(keywords[i], width > 0 ? QString(width, QLatin1Char('*')) : QString());
        }
    }
    CounterResult result;
    result.length = text.size();
    result.parts = partsFor(result.length);
    result.chargedParts = partsForCost(result.length);
    return result;
}

QString formatCredits(double value, bool decimalComma)
{
    const double rounded = std::round(value * 1e6) / 1e6;
    QString written = text::formatDecimal(rounded);
    if (decimalComma)
        written.replace(QLatin1Char('.'), QLatin1Char(','));
    return written;
}

void CostModel::setChecking()
{
    m_state = State::Checking;
}

void CostModel::setUnknown()
{
    m_state = State::Unknown;
}

void CostModel::setQuote(const QString &figure, int partsAtQuote)
{
    const auto value = text::parseDecimal(figure);
    if (!value) {
        m_state = State::Unknown;
        return;
    }
    m_state = State::Quoted;
    m_figure = figure.trimmed();
    m_quote = *value;
    m_quoteParts = partsAtQuote;
    m_parts = partsAtQuote;
}

void CostModel::setParts(int chargedParts)
{
    m_parts = chargedParts;
}

std::optional<double> CostModel::cost() const
{
    if (!known())
        return std::nullopt;
    return reckoned();
}

double CostModel::reckoned() const
{
    if (m_parts == m_quoteParts)
        return m_quote;
    // A quote for an empty message says nothing per part; take it as the price of one.
    const int base = m_quoteParts > 0 ? m_quoteParts : 1;
    return m_quote * m_parts / base;
}

QString CostModel::label() const
{
    switch (m_state) {
    case State::Checking:
        return kCheckingLabel;
    case State::Unknown:
        return kUnknownLabel;
    case State::Initial:
    case State::Quoted:
        break;
    }
    if (m_state == State::Quoted && m_parts == m_quoteParts)
        return creditLabel(m_figure, CreditFigure::Cost);
    const bool comma = m_figure.contains(QLatin1Char(',')) || !m_figure.contains(QLatin1Char('.'));
    return formatCredits(*cost(), comma) + QStringLiteral(" crédito(s)");
}

QString costWithoutRecipients(qsizetype messageLength)
{
    return QString::number(partsFor(messageLength).parts) + QStringLiteral(" crédito(s)");
}

} // namespace sending
