#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <memory>

// One message box: what it says and how it can be answered.
struct DialogSpec
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons; // in this order
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // What Esc and the close box answer; NoButton: they do nothing, so a
    // reflex Esc never picks an answer the user did not mean.
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
    QString help; // shown on F1; empty: none
};

namespace DialogSpecs {
DialogSpec exitQuestion();
DialogSpec noResponseQuestion();
DialogSpec saveRefused(const QString &why);
} // namespace DialogSpecs

// Modal message boxes behind an interface, so tests can script the answers.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual QMessageBox::StandardButton ask(const DialogSpec &spec) = 0;
};

// The box a spec describes, not yet shown.
std::unique_ptr<QMessageBox> createMessageBox(const DialogSpec &spec, QWidget *parent = nullptr);

// The real boxes, application-modal over the given parent.
class MessageBoxDialogs final : public Dialogs
{
public:
    explicit MessageBoxDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    QMessageBox::StandardButton ask(const DialogSpec &spec) override;

private:
    QWidget *m_parent;
};
