#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace startup {

class AccountWindows;

// The missing-account window (objectName `Form3`), "Ausencia de datos de usuario": tells a user
// without an account that one is needed and offers the gateway's free registration.
class Form3 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form3)

public:
    explicit Form3(AccountWindows &windows, QWidget *parent = nullptr);

    QLabel *SkinLabel1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

    void Command1_Click();

private:
    AccountWindows &m_windows;
};

} // namespace startup
