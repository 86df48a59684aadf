#pragma once

#include <QString>

// How long an SMS is in parts, and how a credit figure is worded on the send panel.
namespace sending {

// The message box takes at most ten parts of 153 characters.
inline constexpr qsizetype kMaxMessageLength = 1530;

struct SmsParts {
    int parts = 1;      // 0 only for the cost of an empty message (see partsForCost)
    int limit = 160;    // the length the current number of parts allows
};

// Up to 160 characters is one part (limit 160); a longer text L takes ceil(L / 153)
// parts of 153 (limit parts x 153).
SmsParts partsFor(qsizetype length);

// The number of parts a send of this length is charged: an empty message costs nothing.
int partsForCost(qsizetype length);

// Which figure a credit text stands for; each has its own wording.
enum class CreditFigure { Balance, Cost, BalanceAfterSend };

// The figure as the gateway wrote it, followed by " cr.", " crédito" or
// " créditos"; an empty figure reads "Desconocido".
QString creditLabel(const QString &figure, CreditFigure kind);

inline const QString kUnknownLabel = QStringLiteral("Desconocido");
inline const QString kCheckingLabel = QStringLiteral("Comprobando...");
// The cost while a quote asked by a change of sender or recipients is on its way.
inline const QString kCalculatingLabel = QStringLiteral("Calculando...");

} // namespace sending
