#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace sending {

// "Desea guardar el contacto en la agenda?" (objectName `Form23`): one recipient that is not in
// the contact book, with the choice to save it, skip it or skip the rest. It only holds the
// controls; the offer answers its buttons.
class Form23 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form23)

public:
    explicit Form23(QWidget *parent = nullptr);
    ~Form23() override;

    // The number on offer and its place in the recipient list (the label's Tag).
    void mostrar(const QString &phone, qint64 index);
    QString numero() const;
    qint64 posicion() const { return m_posicion; }

    QLabel *telefono() const { return m_telefono; }
    QLabel *SkinLabel1() const { return m_pregunta; }
    QCheckBox *Check1() const { return m_check1; }        // "No preguntar de nuevo..."
    QPushButton *Command1() const { return m_command1; }  // "Ignorar todos"
    QPushButton *Command2() const { return m_command2; }  // "Ignorar"
    QPushButton *Command3() const { return m_command3; }  // "Guardar contacto"

private:
    QLabel *m_telefono = nullptr;
    QLabel *m_pregunta = nullptr;
    QCheckBox *m_check1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    qint64 m_posicion = 0;
};

} // namespace sending
