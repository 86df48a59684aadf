#pragma once

#include "platform/ui/prompter.h"

#include <QPointer>
#include <QWidget>

// The real dialogs, with the Spanish button texts the users know, each centred on the window it
// belongs to.
namespace ui {

class QtPrompter final : public Prompter {
public:
    explicit QtPrompter(QWidget *parentWindow = nullptr) : m_parent(parentWindow) {}

    // The window the boxes are shown over; it may go away at any time (the pointer is weak).
    void setParentWindow(QWidget *parentWindow) { m_parent = parentWindow; }
    QWidget *parentWindow() const { return m_parent.data(); }

    Answer message(const QString &text, const QString &title = {}, Icon icon = Icon::None,
                   Buttons buttons = Buttons::Ok) override;
    std::optional<QString> input(const QString &prompt, const QString &title = {},
                                 const QString &defaultText = {}) override;
    std::optional<QString> openFile(const QString &title, const QString &folder,
                                    const QString &filter) override;
    std::optional<QString> saveFile(const QString &title, const QString &suggestedPath,
                                    const QString &filter) override;
    std::optional<QString> chooseFolder(const QString &title, const QString &folder) override;

private:
    QPointer<QWidget> m_parent;
};

// File-type filters arrive in the Windows form "Excel (*.xls)|*.xls|Todos (*.*)|*.*"; Qt wants
// "Excel (*.xls);;Todos (*.*)". Text already in Qt's form is returned unchanged.
QString qtFileFilter(const QString &filter);

} // namespace ui
