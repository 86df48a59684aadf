#include "startup/dialogs/account_windows.h"

#include "startup/app_context.h"
#include "startup/dialogs/main_window_access.h"

namespace startup {

AccountWindows::AccountWindows(AppContext &context, MainWindowAccess &main, WindowOpener *later, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_main(main)
    , m_later(later)
{
}

AccountWindows::~AccountWindows()
{
    // The windows talk to the hub while they close; take them down before it goes.
    m_form19.release();
    m_form9.release();
    m_form2.release();
    m_form3.release();
    m_form4.release();
}

Form2 *AccountWindows::showForm2()
{
    return m_form2.show([this] { return new Form2(*this); });
}

Form3 *AccountWindows::showForm3()
{
    return m_form3.show([this] { return new Form3(*this); });
}

Form19 *AccountWindows::showPasswordPrompt(const QString &code)
{
    Form19 *prompt = m_form19.show([this] { return new Form19(*this); });
    prompt->setCode(code);
    return prompt;
}

Form9 *AccountWindows::showForm9()
{
    return m_form9.show([this] { return new Form9(*this); });
}

void AccountWindows::showProgress(const QObject *owner, const QString &message)
{
    m_progressOwner = owner;
    m_form4.get([] { return new Form4; })->start(message);
}

void AccountWindows::closeProgress(const QObject *owner)
{
    if (m_progressOwner != owner)
        return;
    m_progressOwner.clear();
    if (Form4 *dialog = m_form4.existing()) {
        dialog->finish();
        dialog->close();
    }
}

void AccountWindows::sendersChanged()
{
    m_main.refreshSenders();
    if (Form2 *settings = m_form2.existing())
        settings->reloadSenders();
}

void AccountWindows::openLater(WindowId id)
{
    if (m_later && m_later->canOpen(id))
        m_later->open(id);
}

} // namespace startup
