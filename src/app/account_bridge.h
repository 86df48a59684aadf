#pragma once

#include "sending/panel/send_panel_view.h"
#include "startup/dialogs/account_windows.h"
#include "startup/dialogs/main_window_access.h"
#include "startup/main_window/dialog_opener.h"
#include "startup/main_window/form1.h"
#include "startup/version/version_check.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

// The two-way join of the main window and the account windows, made where the application is
// assembled so neither side depends on the other's classes.
namespace app {

class Form1Access final : public startup::MainWindowAccess {
public:
    explicit Form1Access(startup::Form1 &window) : m_form(window) {}

    void refreshSenders() override { m_form.cargar_remitentes(); }
    void selectSender(const QString &sender) override
    {
        QComboBox *combo = m_form.sendPanel().Combo1();
        const int index = combo->findText(sender, Qt::MatchExactly);
        if (index < 0)
            return;
        // A choice made by code: the list's own rules stay quiet.
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index);
    }
    void showMain() override { m_form.mostrar(); }
    void setSendEnabled(bool enabled) override { m_form.sendPanel().Command1()->setEnabled(enabled); }
    void focusRecipients() override { m_form.sendPanel().Text2()->setFocus(); }
    bool recipientsEmpty() const override { return m_form.sendPanel().Text2()->toPlainText().isEmpty(); }
    void setBalanceText(const QString &text) override { m_form.sendPanel().lblsaldo()->setText(text); }
    void setCostText(const QString &text) override { m_form.sendPanel().lblCoste()->setText(text); }
    void setCredentials(const QString &login, const QString &pass) override { m_form.setCredentials(login, pass); }

private:
    startup::Form1 &m_form;
};

class AccountDialogs final : public startup::DialogOpener {
public:
    AccountDialogs(startup::AccountWindows &windows, startup::AppContext &context)
        : m_windows(windows), m_context(context)
    {
    }

    void showForm2() override { m_windows.showForm2(); }
    void showForm3() override { m_windows.showForm3(); }
    void showForm19(const QString &code) override { m_windows.showPasswordPrompt(code); }
    void checkVersion(const QString &desktopVersion) override
    {
        startup::version::comprobarVersion(m_context, desktopVersion);
    }

private:
    startup::AccountWindows &m_windows;
    startup::AppContext &m_context;
};

} // namespace app
