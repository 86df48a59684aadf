#pragma once

#include <QString>
#include <QStringList>

// Opening a web page in the user's browser and starting another program: behind an interface so
// tests record the calls instead of launching anything.
namespace ui {

class Shell {
public:
    virtual ~Shell() = default;
    virtual bool openUrl(const QString &url) = 0;
    // Starts a program detached; false when it could not be started (missing file, no rights).
    virtual bool startProgram(const QString &program, const QStringList &arguments = {}) = 0;
};

} // namespace ui
