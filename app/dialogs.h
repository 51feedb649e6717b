#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>
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

// Message boxes behind an interface, so tests can script the answers. A box
// never waits in the caller: the answer comes through the callback once the
// user has given it.
class Dialogs
{
public:
    using Answered = std::function<void(QMessageBox::StandardButton)>;
    virtual ~Dialogs() = default;
    virtual void ask(const DialogContent &content, Answered answered = {}) = 0;
};

// The message box for the given content, not yet shown.
std::unique_ptr<QMessageBox> createMessageBox(const DialogContent &content, QWidget *parent = nullptr);

// The real boxes, application-modal over the owner window.
class MessageBoxDialogs final : public Dialogs
{
public:
    explicit MessageBoxDialogs(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwnerWindow(QWidget *owner) { m_owner = owner; }
    void ask(const DialogContent &content, Answered answered = {}) override;

private:
    QPointer<QWidget> m_owner;
};
