#pragma once

#include "platform/net/gateway_channel.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace startup {

class AccountWindows;

// The sender administration window (objectName `Form9`), "Administrar remitentes": the identifiers
// this computer offers (the included list, the table `Remitentes`) beside the account's identifiers
// at the gateway (the account list).
class Form9 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form9)

public:
    explicit Form9(AccountWindows &windows, QWidget *parent = nullptr);
    ~Form9() override;

    net::GatewayChannel &channel() { return m_channel; }
    bool requestPending() const { return m_pending.has_value(); }

    QListWidget *List1 = nullptr;
    QListWidget *List2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QCheckBox *Check1 = nullptr;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

Q_SIGNALS:
    // A reply was handled (after its message, if any); for whoever waits on the gateway.
    void replyHandled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Operation { List, Request, Delete };
    struct Pending {
        Operation operation = Operation::List;
        QString remitente;   // the identifier the request named
    };

    void buildControls();
    void Form_Load();
    void List1_Click();
    void List2_Click();
    bool send(Operation operation, const QString &sender);
    void onReply(const net::GatewayReply &reply);
    void rebuildLocal();
    void reportDatabaseFailure();

    AccountWindows &m_windows;
    net::GatewayChannel m_channel;
    std::optional<Pending> m_pending;
};

} // namespace startup
