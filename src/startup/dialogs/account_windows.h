#pragma once

#include "platform/ui/single_instance.h"
#include "startup/dialogs/form19.h"
#include "startup/dialogs/form2.h"
#include "startup/dialogs/form3.h"
#include "startup/dialogs/form4.h"
#include "startup/dialogs/form9.h"
#include "startup/subsystems.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace startup {

struct AppContext;
class MainWindowAccess;

// The one-instance account windows (settings, missing account, password prompt, progress,
// sender administration) and the roads between them. The main window owns one and opens the
// windows through it; the windows reach each other and the main window only through it.
class AccountWindows final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountWindows)

public:
    AccountWindows(AppContext &context, MainWindowAccess &main, WindowOpener *later = nullptr,
                   QObject *parent = nullptr);
    ~AccountWindows() override;

    Form2 *showForm2();
    Form3 *showForm3();
    // The password prompt; `code` says which window a correct password opens ("9", "14", "15").
    Form19 *showPasswordPrompt(const QString &code);
    Form9 *showForm9();

    // The open windows, nullptr when closed.
    Form2 *form2() const { return m_form2.existing(); }
    Form3 *form3() const { return m_form3.existing(); }
    Form4 *form4() const { return m_form4.existing(); }
    Form9 *form9() const { return m_form9.existing(); }
    Form19 *form19() const { return m_form19.existing(); }

    // The progress window is shared: only the window that showed it last closes it, so one
    // window's reply never hides the wait of another.
    void showProgress(const QObject *owner, const QString &message);
    void closeProgress(const QObject *owner);

    // After a change to `Remitentes`: every sender box rebuilt from the table.
    void sendersChanged();

    void openLater(WindowId id);

    AppContext &context() const { return m_context; }
    MainWindowAccess &main() const { return m_main; }

private:
    AppContext &m_context;
    MainWindowAccess &m_main;
    WindowOpener *m_later;
    ui::SingleInstance<Form2> m_form2;
    ui::SingleInstance<Form3> m_form3;
    ui::SingleInstance<Form4> m_form4;
    ui::SingleInstance<Form9> m_form9;
    ui::SingleInstance<Form19> m_form19;
    QPointer<const QObject> m_progressOwner;
};

} // namespace startup
