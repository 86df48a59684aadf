#include "platform/ui/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

const QString okText = QStringLiteral("Aceptar");
const QString cancelText = QStringLiteral("Cancelar");
const QString yesText = QStringLiteral("Sí");
const QString noText = QStringLiteral("No");

// A box without a title shows the application's name, as message boxes always did.
QString titleOrAppName(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// What closing the box by its title bar means: the most cautious answer it offers.
Answer dismissedAnswer(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: return Answer::Cancel;
    case Buttons::YesNo: return Answer::No;
    }
    return Answer::Cancel;
}

void applySpanishLabels(QFileDialog &dialog, const QString &acceptText)
{
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Buscar en:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nombre:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    dialog.setLabelText(QFileDialog::Accept, acceptText);
    dialog.setLabelText(QFileDialog::Reject, cancelText);
}

std::optional<QString> runFileDialog(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.constFirst().isEmpty())
        return std::nullopt;
    return chosen.constFirst();
}

} // namespace

QString qtFileFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' ')).trimmed();
        // Qt reads the patterns from the parentheses; keep the description's own when it has them.
        entries << (description.contains(QLatin1Char('('))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

Answer QtPrompter::message(const QString &text, const QString &title, Icon icon, Buttons buttons)
{
    QMessageBox box(toQt(icon), titleOrAppName(title), text, toQt(buttons), m_parent.data());
    const struct {
        QMessageBox::StandardButton button;
        const QString &label;
    } labels[] = {{QMessageBox::Ok, okText},
                  {QMessageBox::Cancel, cancelText},
                  {QMessageBox::Yes, yesText},
                  {QMessageBox::No, noText}};
    for (const auto &entry : labels) {
        if (QAbstractButton *button = box.button(entry.button))
            button->setText(entry.label);
    }
    // The first button is the default, as with every box the users have seen from this program.
    box.setDefaultButton(buttons == Buttons::Ok || buttons == Buttons::OkCancel ? QMessageBox::Ok
                                                                                 : QMessageBox::Yes);
    box.exec();

    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: break;
    }
    return dismissedAnswer(buttons);
}

std::optional<QString> QtPrompter::input(const QString &prompt, const QString &title,
                                         const QString &defaultText)
{
    QInputDialog dialog(m_parent.data());
    dialog.setWindowTitle(titleOrAppName(title));
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(okText);
    dialog.setCancelButtonText(cancelText);
    // Cancel and an emptied box are different answers: only Cancel gives nothing.
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtPrompter::openFile(const QString &title, const QString &folder,
                                            const QString &filter)
{
    QFileDialog dialog(m_parent.data(), title, folder, qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    applySpanishLabels(dialog, QStringLiteral("Abrir"));
    return runFileDialog(dialog);
}

std::optional<QString> QtPrompter::saveFile(const QString &title, const QString &suggestedPath,
                                            const QString &filter)
{
    QFileDialog dialog(m_parent.data(), title, suggestedPath, qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    applySpanishLabels(dialog, QStringLiteral("Guardar"));
    return runFileDialog(dialog);
}

std::optional<QString> QtPrompter::chooseFolder(const QString &title, const QString &folder)
{
    QFileDialog dialog(m_parent.data(), title, folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    applySpanishLabels(dialog, QStringLiteral("Seleccionar"));
    return runFileDialog(dialog);
}

} // namespace ui
