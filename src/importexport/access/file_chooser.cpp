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
    driveCombo = new QComboBox(this);
    driveCombo->setObjectName(QStringLiteral("Drive"));
    for (const QFileInfo &drive : QDir::drives())
        driveCombo->addItem(QDir::toNativeSeparators(drive.absolutePath()), drive.absolutePath());
    folderList = new QListWidget(this);
    folderList->setObjectName(QStringLiteral("Dir"));
    fileList = new QListWidget(this);
    fileList->setObjectName(QStringLiteral("File"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(driveCombo);
    layout->addWidget(folderList, 1);
    layout->addWidget(fileList, 1);

    connect(driveCombo, &QComboBox::activated, this, &FileChooser::onDriveChanged);
    connect(folderList, &QListWidget::itemActivated, this, &FileChooser::onFolderActivated);
    setFolder(QDir::currentPath());
}

bool FileChooser::setFolder(const QString &folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable())
        return false;
    m_folder = dir.absolutePath();
    {
        const QSignalBlocker block(folderList);
        folderList->clear();
        if (!dir.isRoot())
            folderList->addItem(QStringLiteral(".."));
        folderList->addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    }
    // The drive list follows the folder.
    for (int i = 0; i < driveCombo->count(); ++i)
        if (m_folder.startsWith(driveCombo->itemData(i).toString(), Qt::CaseInsensitive)) {
            const QSignalBlocker block(driveCombo);
            driveCombo->setCurrentIndex(i);
        }
    fillFiles();
    return true;
}

void FileChooser::fillFiles()
{
    fileList->clear();
    const QDir dir(m_folder);
    fileList->addItems(dir.entryList(m_patterns, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

bool FileChooser::selectFile(const QString &name)
{
    for (int i = 0; i < fileList->count(); ++i)
        if (fileList->item(i)->text() == name) {
            fileList->setCurrentRow(i);
            return true;
        }
    return false;
}

void FileChooser::selectFirst()
{
    if (fileList->count() > 0)
        fileList->setCurrentRow(0);
}

QString FileChooser::fileName() const
{
    const QListWidgetItem *item = fileList->currentItem();
    return item ? item->text() : QString();
}

QString FileChooser::path() const
{
    const QString name = fileName();
    return name.isEmpty() ? QString() : QDir(m_folder).filePath(name);
}

void FileChooser::onDriveChanged(int index)
{
    const QString root = driveCombo->itemData(index).toString();
    if (!setFolder(root)) {
        m_prompter.message(QStringLiteral("La unidad no contiene disco o está vacía."), QStringLiteral("Error"),
                           ui::Icon::Warning);
        const QSignalBlocker block(driveCombo);
        driveCombo->setCurrentIndex(0);
        setFolder(driveCombo->itemData(0).toString());
    }
}

void FileChooser::onFolderActivated(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString target = item->text() == QLatin1String("..") ? QDir(m_folder).absoluteFilePath(QStringLiteral(".."))
                                                                : QDir(m_folder).filePath(item->text());
    setFolder(QDir::cleanPath(target));
}

} // namespace importexport::access
