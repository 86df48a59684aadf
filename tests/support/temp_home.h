#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh program folder for one test: BRISANTA_HOME points at it while the object lives.
namespace testing {

class TempHome final {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

// The shared fixtures folder (BRISANTA_SHARED, set by ctest), or "" when absent.
QString sharedFixture(const QString &relativePath);

} // namespace testing
