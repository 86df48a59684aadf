#pragma once

#include <QString>

// The windows of the account area that the main window opens (account settings, missing account
// data, password prompt) and the version check it runs at start-up. The dialogs' own code
// implements this; the main window only knows these calls, so it builds and runs without them.
namespace startup {

class DialogOpener {
public:
    virtual ~DialogOpener() = default;
    // The account settings dialog (`Form2`), shown modeless (also from the menu "Configuración").
    virtual void showAccountSettings() {}
    // The missing account data dialog (`Form3`), shown modeless and given the focus.
    virtual void showMissingAccountData() {}
    // The password prompt (`Form19`), shown modeless with the code of what opens after a correct
    // password: "9" sender administration, "14" web contact download, "15" web contact upload.
    virtual void showPasswordPrompt(const QString &code) { (void)code; }
    // The version check at start-up, with the `version_desktop` of the account row (empty when
    // there is no account row). It may block while it asks the gateway.
    virtual void checkVersion(const QString &desktopVersion) { (void)desktopVersion; }
};

} // namespace startup
