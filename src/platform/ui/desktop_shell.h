#pragma once

#include "platform/ui/shell.h"

namespace ui {

// The desktop's own browser and the system's process launcher.
class DesktopShell final : public Shell {
public:
    bool openUrl(const QString &url) override;
    bool startProgram(const QString &program, const QStringList &arguments = {}) override;
};

} // namespace ui
