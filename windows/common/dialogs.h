#pragma once

#include "session/sessionprompts.h"

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
// Something the user started did not work: an Ok box that Esc closes.
DialogContent warning(const QString &title, const QString &text);
} // namespace DialogContents

// Where to save a file: the dialog's title, the folder it opens in, the name
// it suggests and its "Name (*.ext)" filter, whose extension is added to a
// name typed without one.
struct SaveFileRequest
{
    QString title;
    QString folder;
    QString fileName;
    QString filter;
    QPointer<QWidget> over; // the window it belongs to; null: the owner window
};

// Which file to open: the dialog's title, the folder it opens in, its
// "Name (*.ext)" filter. Only a file that exists can be chosen.
struct OpenFileRequest
{
    QString title;
    QString folder;
    QString filter;
    QPointer<QWidget> over; // the window it belongs to; null: the owner window
};

// Message boxes and file dialogs behind an interface, so tests can script the
// answers. None waits in the caller: the answer comes through the callback
// once the user has given it.
class Dialogs
{
public:
    using Answered = std::function<void(QMessageBox::StandardButton)>;
    using FileChosen = std::function<void(const QString &path)>;
    virtual ~Dialogs() = default;
    virtual void ask(const DialogContent &content, Answered answered = {}) = 0;
    // chosen is called only when the user picked a file.
    virtual void askSaveFile(const SaveFileRequest &request, FileChosen chosen) = 0;
    virtual void askOpenFile(const OpenFileRequest &request, FileChosen chosen) = 0;

    void warn(const QString &title, const QString &text) { ask(DialogContents::warning(title, text)); }
};

// The session's questions, put to the user as message boxes.
class DialogPrompts final : public SessionPrompts
{
public:
    explicit DialogPrompts(Dialogs &dialogs) : m_dialogs(dialogs) {}
    void askContinueAfterNoResponse(std::function<void(bool)> answered) override;
    void explainRefusedSave(const QString &why) override;

private:
    Dialogs &m_dialogs;
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
    void askSaveFile(const SaveFileRequest &request, FileChosen chosen) override;
    void askOpenFile(const OpenFileRequest &request, FileChosen chosen) override;

private:
    QPointer<QWidget> m_owner;
};
