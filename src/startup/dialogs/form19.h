#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace startup {

class AccountWindows;

// The password prompt (objectName `Form19`), "Solicitud de contraseña": asks for the account's
// password before a window that acts on the web account opens. The caller's code says which one.
class Form19 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form19)

public:
    explicit Form19(AccountWindows &windows, QWidget *parent = nullptr);

    // The caller's code: "9", "14" or "15".
    void setCode(const QString &code) { m_code = code; }
    QString code() const { return m_code; }

    QLineEdit *Text1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;

    void Command1_Click();
    void Command3_Click();

private:
    void Check1_Click();

    AccountWindows &m_windows;
    QString m_code;
};

} // namespace startup
