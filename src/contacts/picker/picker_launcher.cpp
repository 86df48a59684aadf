#include "contacts/picker/picker_launcher.h"

#include "startup/app_context.h"

namespace contacts::picker {

PickerLauncher::PickerLauncher(startup::AppContext &context, RecipientsBox &box)
    : m_context(context)
    , m_caja(box)
{
}

PickerLauncher::~PickerLauncher() = default;

Form7 *PickerLauncher::open()
{
    Form7 *window = m_form7.get(
        [this] { return new Form7(m_context.conexion, m_context.prompter, m_context.busy, m_caja); });
    window->f_mostrar_agenda();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace contacts::picker
