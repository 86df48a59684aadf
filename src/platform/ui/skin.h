#pragma once

#include <QString>

// The skin: a Qt style sheet kept in a ".skn" file in the program folder. A brand may ship its own
// file named after the product; every other installation uses the default "Virizu.skn".
namespace ui {

inline constexpr auto defaultSkinFileName = "Virizu.skn";

// The file that should skin the client: productName + ".skn" when it exists in the program folder,
// else "Virizu.skn" there when that exists, else an empty string.
QString skinFileFor(const QString &programFolder, const QString &productName);

// Applies the chosen skin to the whole application (a QApplication must exist) and returns the
// path of the file used, or an empty string when no skin could be loaded; the look is then left
// as it was.
QString loadSkin(const QString &programFolder, const QString &productName);

} // namespace ui
