#include "platform/ui/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace ui {

namespace {

const QString anonymousReason = QStringLiteral("busy");

bool hasGuiApplication()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

BusyCursor::BusyCursor(QObject *parent) : QObject(parent) {}

BusyCursor::~BusyCursor()
{
    // Never leave the application stuck on the hourglass because the owner went away mid-request.
    if (m_applied && hasGuiApplication())
        QGuiApplication::restoreOverrideCursor();
}

void BusyCursor::setBusy(bool busy)
{
    setBusy(anonymousReason, busy);
}

void BusyCursor::setBusy(const QString &reason, bool busy)
{
    if (busy)
        m_reasons.insert(reason);
    else
        m_reasons.remove(reason);
    apply(!m_reasons.isEmpty());
}

QString BusyCursor::uniqueReason(const QString &prefix)
{
    return prefix + QLatin1Char('#') + QString::number(++m_nextReason);
}

void BusyCursor::apply(bool busy)
{
    if (busy == m_applied)
        return;
    m_applied = busy;
    // Without a GUI application (a console tool reusing the code) the state is still tracked.
    if (hasGuiApplication()) {
        if (busy)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    }
    Q_EMIT busyChanged(busy);
}

BusyGuard::BusyGuard(BusyCursor &cursor, const QString &what)
    : m_cursor(cursor), m_reason(cursor.uniqueReason(what))
{
    m_cursor.setBusy(m_reason, true);
}

BusyGuard::~BusyGuard()
{
    m_cursor.setBusy(m_reason, false);
}

} // namespace ui
