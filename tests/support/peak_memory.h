#pragma once

#include <QByteArray>
#include <QFile>

// The process's peak resident size, for the coarse guards of tests that hand large inputs to a
// parser: the peak is set back to the present size first, and what the step added is read after.
// Sanitizer builds hold more than a release build does, so the budgets a test gives are generous
// multiples of the input; the measured figures live in the benchmarks.
namespace testing {

// The peak resident size in KiB (VmHWM), 0 where /proc does not tell.
inline qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

inline qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Sets the peak back to the present resident size; false where the kernel does not allow it.
inline bool resetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (!refs.open(QIODevice::WriteOnly))
        return false;
    return refs.write("5") == 1;
}

// Measures how far the peak rose above the resident size at construction.
class PeakGrowth final {
public:
    PeakGrowth() : m_supported(resetPeakResident()), m_start(residentKiB()) {}
    bool supported() const { return m_supported && m_start > 0; }
    qint64 bytes() const { return (peakResidentKiB() - m_start) * 1024; }

private:
    bool m_supported;
    qint64 m_start;
};

} // namespace testing
