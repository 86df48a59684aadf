#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace sending {

// "Desea guardar el contacto en la agenda?" (objectName `Form23`): one recipient that is not in
// the contact book, with the choice to save it, skip it or skip the rest. It only holds the
// controls; the offer answers its buttons.
class UnknownNumberDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnknownNumberDialog)

public:
    explicit UnknownNumberDialog(QWidget *parent = nullptr);
    ~UnknownNumberDialog() override;

    // The number on offer and its place in the recipient list (the label's Tag).
    void showNumber(const QString &phone, qint64 index);
    QString number() const;
    qint64 position() const { return m_position; }

    QLabel *numberLabel() const { return m_numberLabel; }
    QLabel *questionLabel() const { return m_questionLabel; }
    QCheckBox *dontAskAgainCheck() const { return m_dontAskAgainCheck; }        // "No preguntar de nuevo..."
    QPushButton *ignoreAllButton() const { return m_ignoreAllButton; }  // "Ignorar todos"
    QPushButton *ignoreButton() const { return m_ignoreButton; }  // "Ignorar"
    QPushButton *saveContactButton() const { return m_saveContactButton; }  // "Guardar contacto"

private:
    QLabel *m_numberLabel = nullptr;
    QLabel *m_questionLabel = nullptr;
    QCheckBox *m_dontAskAgainCheck = nullptr;
    QPushButton *m_ignoreAllButton = nullptr;
    QPushButton *m_ignoreButton = nullptr;
    QPushButton *m_saveContactButton = nullptr;
    qint64 m_position = 0;
};

} // namespace sending
