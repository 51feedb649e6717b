#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <memory>

// One message box: what it says and how it can be answered.
struct DialogContent
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

namespace DialogContents {
DialogContent exitQuestion();
DialogContent noResponseQuestion();
DialogContent saveRefused(const QString &why);
} // namespace DialogContents

// Modal message boxes behind an interface, so tests can script the answers.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual QMessageBox::StandardButton ask(const DialogContent &content) = 0;
};

// The message box for the given content, not yet shown.
std::unique_ptr<QMessageBox> createMessageBox(const DialogContent &content, QWidget *parent = nullptr);

// The real boxes, application-modal over the given parent.
class MessageBoxDialogs final : public Dialogs
{
public:
    explicit MessageBoxDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    QMessageBox::StandardButton ask(const DialogContent &content) override;

private:
    QWidget *m_parent;
};
