#pragma once

#include "importexport/excel/import_engine.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;

namespace importexport::excel {

// The answer the two buttons give: overwrite or ignore, this once or for every later conflict.
Choice eleccionDe(bool overwrite, bool all);

// The duplicate-phone dialog (objectName `Form21`), "Teléfono perteneciente a otro contacto": the
// stored contact on the left, the imported record on the right; it writes nothing itself and hands
// the answer back.
class Form21 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form21)

public:
    explicit Form21(QWidget *parent = nullptr);

    void mostrar(const Conflicto &conflict);

    QLabel *SkinLabel8[2] = {};                 // phones: stored, imported
    std::array<QLabel *, 6> SkinLabel3 = {};    // stored contact's other fields
    std::array<QLabel *, 6> SkinLabel2 = {};    // imported record's other fields
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;            // "Sobreescribir"
    QPushButton *Command2 = nullptr;            // "Ignorar"

Q_SIGNALS:
    void respondido(importexport::excel::Choice choice);
    // Closed by its window box: no answer, the run pauses.
    void cerradoSinResponder();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void f_resolver_conflicto(Choice choice);
    bool m_respondiendo = false;
};

} // namespace importexport::excel
