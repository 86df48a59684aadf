#pragma once

#include "importexport/excel/import_engine.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;

namespace importexport::excel {

// The answer the two buttons give: overwrite or ignore, this once or for every later conflict.
Choice choiceFrom(bool overwrite, bool all);

// The duplicate-phone dialog (objectName `Form21`), "Teléfono perteneciente a otro contacto": the
// stored contact on the left, the imported record on the right; it writes nothing itself and hands
// the answer back.
class DuplicatePhoneDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DuplicatePhoneDialog)

public:
    explicit DuplicatePhoneDialog(QWidget *parent = nullptr);

    void showConflict(const Conflict &conflict);

    QLabel *phoneLabels[2] = {};                 // phones: stored, imported
    std::array<QLabel *, 6> storedLabels = {};    // stored contact's other fields
    std::array<QLabel *, 6> importedLabels = {};    // imported record's other fields
    QCheckBox *applyToAllCheck = nullptr;
    QPushButton *overwriteButton = nullptr;            // "Sobreescribir"
    QPushButton *ignoreButton = nullptr;            // "Ignorar"

Q_SIGNALS:
    void answered(importexport::excel::Choice choice);
    // Closed by its window box: no answer, the run pauses.
    void closedWithoutAnswer();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void resolveConflict(Choice choice);
    bool m_answering = false;
};

} // namespace importexport::excel
