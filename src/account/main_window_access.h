#pragma once

#include <QString>

// What the account windows need of the main window. The main window implements it; the windows
// never reach its controls directly, so they can be tested without it.
namespace account {

class MainWindowAccess {
public:
    virtual ~MainWindowAccess() = default;

    // The send panel's sender box rebuilt from `Remitentes` (the fallback sender when the table is
    // empty), keeping the selected text when it is still there; done as a change by code, so the
    // box's own click handler does not act.
    virtual void refreshSenders() = 0;
    // Selects this identifier in the send panel's sender box, again as a change by code.
    virtual void selectSender(const QString &sender) = 0;

    virtual void showMain() = 0;
    virtual void setSendEnabled(bool enabled) = 0;
    virtual void focusRecipients() = 0;
    virtual bool recipientsEmpty() const = 0;

    // The balance as the gateway gave it ("250", "1234,56", "" for none): the send panel words it
    // by its own rule ("250 créditos", "1234,56 cr.", "Desconocido").
    virtual void showBalance(const QString &figure) = 0;
    // The cost label, already worded ("1 crédito").
    virtual void setCostText(const QString &text) = 0;

    // The account the main window's own gateway requests use from now on.
    virtual void setCredentials(const QString &login, const QString &pass) = 0;
};

} // namespace account
