#include "windows/common/dialogs.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>

namespace {

class ContentBox : public QMessageBox
{
public:
    explicit ContentBox(const DialogContent &content)
        : m_canDismiss(content.escapeButton != NoButton), m_help(content.help)
    {
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_F1 && !m_help.isEmpty()) {
            // Shown, not exec()'d: a loop nested in a key handler would hold
            // the caller's stack (and whatever it was doing) until it closed.
            auto *help = new QMessageBox(QMessageBox::Information, QStringLiteral("Help"), m_help,
                                         QMessageBox::Ok, this);
            help->setAttribute(Qt::WA_DeleteOnClose);
            help->setTextFormat(Qt::PlainText);
            help->open();
            return;
        }
        if (event->matches(QKeySequence::Cancel) && !m_canDismiss)
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (!m_canDismiss) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

private:
    bool m_canDismiss;
    QString m_help;
};

// Icons and type names from file names alone. Qt's own provider reads a
// file's first bytes to tell its type, and a read of a special file
// (/proc/kmsg, a FIFO's peer) can block for ever, stalling the program
// behind the file dialog.
class NameOnlyIconProvider final : public QFileIconProvider
{
public:
    QIcon icon(const QFileInfo &info) const override
    {
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo &info) const override
    {
        if (!info.isFile())
            return QFileIconProvider::type(info); // a folder or a drive: named without reading
        const QMimeType mime = m_mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        return mime.isDefault() ? QObject::tr("File") : mime.comment();
    }

private:
    QMimeDatabase m_mimes;
};

QFileIconProvider *nameOnlyIconProvider()
{
    static NameOnlyIconProvider provider; // outlives every dialog
    return &provider;
}

} // namespace

namespace DialogContents {

DialogContent exitQuestion()
{
    return {QStringLiteral("Exit Dialog"),
            QStringLiteral("Do you want to close/exit App ?"),
            QMessageBox::Question,
            {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
            QMessageBox::Yes,
            QMessageBox::Cancel,
            {}};
}

DialogContent noResponseQuestion()
{
    // "No" ends the program, so it is the default only for Enter, never for Esc.
    return {QStringLiteral("MsgBox: NO RESPONSE - COMMUNICATION ERROR!"),
            QStringLiteral("NO RESPONSE! Check connected hardware! Do you want to continue ?"),
            QMessageBox::Critical,
            {QMessageBox::Yes, QMessageBox::No},
            QMessageBox::No,
            QMessageBox::NoButton,
            QStringLiteral("The program could not send a command to the device.\n\n"
                           "Check that the device is connected and powered, and that the COM number "
                           "in the settings names its port.\n\n"
                           "Yes: close the port and search for the device again.\n"
                           "No: end the program now.")};
}

DialogContent saveRefused(const QString &why)
{
    return warning(QStringLiteral("Settings not saved"), why);
}

DialogContent warning(const QString &title, const QString &text)
{
    return {title, text, QMessageBox::Warning, {QMessageBox::Ok}, QMessageBox::Ok, QMessageBox::Ok, {}};
}

} // namespace DialogContents

void DialogPrompts::askContinueAfterNoResponse(std::function<void(bool)> answered)
{
    m_dialogs.ask(DialogContents::noResponseQuestion(),
                  [answered](QMessageBox::StandardButton answer) { answered(answer == QMessageBox::Yes); });
}

void DialogPrompts::explainRefusedSave(const QString &why)
{
    m_dialogs.ask(DialogContents::saveRefused(why));
}

std::unique_ptr<QMessageBox> createMessageBox(const DialogContent &content, QWidget *parent)
{
    auto box = std::make_unique<ContentBox>(content);
    box->setParent(parent, Qt::Dialog);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(content.title);
    box->setText(content.text);
    box->setTextFormat(Qt::PlainText);
    box->setAccessibleName(content.title);
    box->setAccessibleDescription(content.text);
    box->setIcon(content.icon);
    for (QMessageBox::StandardButton button : content.buttons)
        box->addButton(button);
    if (content.defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(content.defaultButton);
    if (content.escapeButton != QMessageBox::NoButton)
        box->setEscapeButton(content.escapeButton);
    return box;
}

void MessageBoxDialogs::ask(const DialogContent &content, Answered answered)
{
    QMessageBox *box = createMessageBox(content, m_owner).release();
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [box, answered, escape = content.escapeButton] {
        const QMessageBox::StandardButton answer = box->standardButton(box->clickedButton());
        if (answered)
            answered(answer == QMessageBox::NoButton ? escape : answer);
    });
    box->show(); // and, as it shows, alerts a screen reader
}

namespace {

// Qt's own dialog, opened the same on every desktop and without waiting; it
// tells a file's type from its name only.
QFileDialog *fileDialog(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                        QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(parent, title, folder, filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setIconProvider(nameOnlyIconProvider());
    dialog->setAcceptMode(mode);
    return dialog;
}

} // namespace

void MessageBoxDialogs::askSaveFile(const SaveFileRequest &request, FileChosen chosen)
{
    // It asks before overwriting.
    QFileDialog *dialog = fileDialog(request.over ? request.over : m_owner, request.title, request.folder,
                                     request.filter, QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QFileInfo(request.fileName).suffix());
    dialog->selectFile(request.fileName);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
    dialog->open();
}

void MessageBoxDialogs::askOpenFile(const OpenFileRequest &request, FileChosen chosen)
{
    QFileDialog *dialog = fileDialog(request.over ? request.over : m_owner, request.title, request.folder,
                                     request.filter, QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
    dialog->open();
}
