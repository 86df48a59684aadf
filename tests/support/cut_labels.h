#pragma once

// Whether a window's texts can be read whole: every label given the height its text needs at its
// width, none drawn over another.

#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace testing {

// Every visible label of `window` squeezed below the height its text needs, narrower than its
// least width, or overlapping a sibling label; empty when all read whole.
inline QStringList cutLabels(const QWidget &window)
{
    QStringList cut;
    const QList<QLabel *> labels = window.findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (!label->isVisibleTo(&window))
            continue;
        const int needed = label->hasHeightForWidth() ? label->heightForWidth(label->width())
                                                      : label->minimumSizeHint().height();
        if (label->height() < needed || label->width() < label->minimumSizeHint().width())
            cut << QStringLiteral("%1 (%2x%3, needs height %4): %5")
                       .arg(label->objectName())
                       .arg(label->width())
                       .arg(label->height())
                       .arg(needed)
                       .arg(label->text().left(40));
        for (const QLabel *other : labels) {
            if (other != label && other->isVisibleTo(&window) && other->parentWidget() == label->parentWidget()
                && other->geometry().intersects(label->geometry()) && label < other)
                cut << QStringLiteral("%1 overlaps %2").arg(label->objectName(), other->objectName());
        }
    }
    return cut;
}

} // namespace testing
