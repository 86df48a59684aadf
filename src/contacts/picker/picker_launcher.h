#pragma once

#include "contacts/picker/contact_picker_dialog.h"
#include "platform/ui/single_instance.h"

namespace seams { struct AppContext; }

namespace contacts::picker {

class RecipientsBox;

// The send panel's recipients icon opens the one picker window through this (WindowId::ContactPicker):
// the first opening creates it, a later one while it is open redraws it for the same page and
// filter and brings it up again.
class PickerLauncher final {
public:
    PickerLauncher(seams::AppContext &context, RecipientsBox &box);
    PickerLauncher(const PickerLauncher &) = delete;
    PickerLauncher &operator=(const PickerLauncher &) = delete;
    ~PickerLauncher();

    // The list refreshed, then shown without blocking.
    ContactPickerDialog *open();
    ContactPickerDialog *picker() const { return m_dialog.existing(); }

private:
    seams::AppContext &m_context;
    RecipientsBox &m_recipients;
    ui::SingleInstance<ContactPickerDialog> m_dialog;
};

} // namespace contacts::picker
