#pragma once

#include <QString>
#include <QStringList>

// The settings window's rules without the window: which intervals it offers, when "Guardar" may be
// pressed, how the path box is filled from the folder and file lists.
namespace automation {

// The check intervals offered, in minutes; kInitialIntervalIndex is selected when the window opens.
QStringList offeredIntervals();
inline constexpr int kInitialIntervalIndex = 2; // "15"

// The path box's text when nothing is stored yet.
QString defaultWatchedPath();

// True when the file name (after the last folder separator) has an extension.
bool hasExtension(const QString &path);

// A folder chosen in the folder list, as the path box shows it: ending in one separator.
QString pathForFolder(const QString &folder);
// A file clicked in the file list, within its folder.
QString pathForFile(const QString &folder, const QString &name);

// The path as typed, with the platform's folder separators.
QString withNativeSeparators(const QString &path);

// A separator is one to five characters, and never exactly ",": the numbers use that.
bool isValidSeparator(const QString &separator);

// A help text with the product word replaced by the brand's name.
QString withBrandName(const QString &text);

} // namespace automation
