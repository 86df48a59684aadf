#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Every message box, question, input box and file picker of the client goes through a Prompter,
// so tests answer with a scripted fake and no test ever blocks on a real dialog.
namespace ui {

enum class Icon { None, Information, Warning, Critical, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class Prompter {
public:
    virtual ~Prompter() = default;

    virtual Answer message(const QString &text, const QString &title = {}, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;
    // An input box: nothing when the user pressed Cancel, else the text (possibly empty).
    virtual std::optional<QString> input(const QString &prompt, const QString &title = {},
                                         const QString &defaultText = {}) = 0;
    // File pickers: nothing on Cancel.
    virtual std::optional<QString> openFile(const QString &title, const QString &folder,
                                            const QString &filter) = 0;
    virtual std::optional<QString> saveFile(const QString &title, const QString &suggestedPath,
                                            const QString &filter) = 0;
    virtual std::optional<QString> chooseFolder(const QString &title, const QString &folder) = 0;
};

} // namespace ui
