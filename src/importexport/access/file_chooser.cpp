#include "importexport/access/file_chooser.h"

#include "platform/ui/prompter.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace importexport::access {

FileChooser::FileChooser(ui::Prompter &prompter, const QStringList &patterns, QWidget *parent)
    : QWidget(parent)
    , m_prompter(prompter)
    , m_patterns(patterns)
{
    Drive = new QComboBox(this);
    Drive->setObjectName(QStringLiteral("Drive"));
    for (const QFileInfo &drive : QDir::drives())
        Drive->addItem(QDir::toNativeSeparators(drive.absolutePath()), drive.absolutePath());
    Dir = new QListWidget(this);
    Dir->setObjectName(QStringLiteral("Dir"));
    File = new QListWidget(this);
    File->setObjectName(QStringLiteral("File"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Drive);
    layout->addWidget(Dir, 1);
    layout->addWidget(File, 1);

    connect(Drive, &QComboBox::activated, this, &FileChooser::Drive_Change);
    connect(Dir, &QListWidget::itemActivated, this, &FileChooser::Dir_Activated);
    setCarpeta(QDir::currentPath());
}

bool FileChooser::setCarpeta(const QString &folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable())
        return false;
    m_folder = dir.absolutePath();
    {
        const QSignalBlocker block(Dir);
        Dir->clear();
        if (!dir.isRoot())
            Dir->addItem(QStringLiteral(".."));
        Dir->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    }
    // The drive list follows the folder.
    for (int i = 0; i < Drive->count(); ++i)
        if (m_folder.startsWith(Drive->itemData(i).toString(), Qt::CaseInsensitive)) {
            const QSignalBlocker block(Drive);
            Drive->setCurrentIndex(i);
        }
    fillFiles();
    return true;
}

void FileChooser::fillFiles()
{
    File->clear();
    const QDir dir(m_folder);
    File->addItems(dir.entryList(m_patterns, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

bool FileChooser::seleccionarArchivo(const QString &name)
{
    for (int i = 0; i < File->count(); ++i)
        if (File->item(i)->text() == name) {
            File->setCurrentRow(i);
            return true;
        }
    return false;
}

void FileChooser::seleccionarPrimero()
{
    if (File->count() > 0)
        File->setCurrentRow(0);
}

QString FileChooser::archivo() const
{
    const QListWidgetItem *item = File->currentItem();
    return item ? item->text() : QString();
}

QString FileChooser::ruta() const
{
    const QString name = archivo();
    return name.isEmpty() ? QString() : QDir(m_folder).filePath(name);
}

void FileChooser::Drive_Change(int index)
{
    const QString root = Drive->itemData(index).toString();
    if (!setCarpeta(root)) {
        m_prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                           ui::Icon::Warning);
        const QSignalBlocker block(Drive);
        Drive->setCurrentIndex(0);
        setCarpeta(Drive->itemData(0).toString());
    }
}

void FileChooser::Dir_Activated(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString target = item->text() == QLatin1String("..") ? QDir(m_folder).absoluteFilePath(QStringLiteral(".."))
                                                                : QDir(m_folder).filePath(item->text());
    setCarpeta(QDir::cleanPath(target));
}

} // namespace importexport::access
