#pragma once

#include "platform/net/gateway_channel.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace account {

class AccountWindows;

// The sender administration window (objectName `Form9`), "Administrar remitentes": the identifiers
// this computer offers (the included list, the table `Remitentes`) beside the account's identifiers
// at the gateway (the account list).
class SenderAdminDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SenderAdminDialog)

public:
    explicit SenderAdminDialog(AccountWindows &windows, QWidget *parent = nullptr);
    ~SenderAdminDialog() override;

    net::GatewayChannel &channel() { return m_channel; }
    bool requestPending() const { return m_pending.has_value(); }

    QListWidget *includedList = nullptr;
    QListWidget *accountList = nullptr;
    QPushButton *addNewButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *includeButton = nullptr;
    QPushButton *closeButton = nullptr;
    QCheckBox *deleteFromAccountCheck = nullptr;

    void requestNewSender();
    void removeSelectedSender();
    void includeSelectedSender();

Q_SIGNALS:
    // A reply was handled (after its message, if any); for whoever waits on the gateway.
    void replyHandled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Operation { List, Request, Delete };
    struct Pending {
        Operation operation = Operation::List;
        QString sender;   // the identifier the request named
    };

    void buildControls();
    void load();
    void onIncludedSelectionChanged();
    void onAccountSelectionChanged();
    bool send(Operation operation, const QString &sender);
    void onReply(const net::GatewayReply &reply);
    void rebuildLocal();
    void reportDatabaseFailure();

    AccountWindows &m_windows;
    net::GatewayChannel m_channel;
    std::optional<Pending> m_pending;
};

} // namespace account
