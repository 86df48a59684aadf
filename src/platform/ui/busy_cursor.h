#pragma once

#include <QObject>
#include <QSet>
#include <QString>

// The hourglass. Qt's override cursor stacks, so a request that forgets to pop it (or pops it
// twice) leaves the pointer wrong for the rest of the session. Here there is one busy state: each
// source of work (a request, a long step) switches its own reason on and off, repeating a switch
// is harmless, and the pointer changes exactly once when the first reason starts and once when
// the last one ends.
namespace ui {

class BusyCursor final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyCursor)

public:
    explicit BusyCursor(QObject *parent = nullptr);
    ~BusyCursor() override;

    // The anonymous reason, for callers that only need "busy now" / "done now".
    void setBusy(bool busy);
    void setBusy(const QString &reason, bool busy);

    bool isBusy() const { return !m_reasons.isEmpty(); }
    bool isBusy(const QString &reason) const { return m_reasons.contains(reason); }

    // A reason nobody else uses; the RAII guard takes one so nested guards don't end each other.
    QString uniqueReason(const QString &prefix);

Q_SIGNALS:
    // Emitted only on a real change of the pointer.
    void busyChanged(bool busy);

private:
    void apply(bool busy);

    QSet<QString> m_reasons;
    bool m_applied = false;
    quint64 m_nextReason = 0;
};

// Shows the hourglass for the span of a long synchronous step (the version check, "Cancelar
// todos"), and gives it back even when the step leaves early or throws.
class BusyGuard final {
public:
    explicit BusyGuard(BusyCursor &cursor, const QString &what = QStringLiteral("step"));
    ~BusyGuard();
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    BusyCursor &m_cursor;
    QString m_reason;
};

} // namespace ui
