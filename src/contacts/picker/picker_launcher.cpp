#include "contacts/picker/picker_launcher.h"

#include "seams/app_context.h"

namespace contacts::picker {

PickerLauncher::PickerLauncher(seams::AppContext &context, RecipientsBox &box)
    : m_context(context)
    , m_recipients(box)
{
}

PickerLauncher::~PickerLauncher() = default;

ContactPickerDialog *PickerLauncher::open()
{
    ContactPickerDialog *window = m_dialog.get(
        [this] { return new ContactPickerDialog(m_context.connection, m_context.prompter, m_context.busy, m_recipients); });
    window->refreshList();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace contacts::picker
