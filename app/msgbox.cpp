#include "app/msgbox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A box without a Cancel button cannot be dismissed with Esc or its close box,
// so a reflex Esc never picks an answer that ends the program.
class ClassicBox : public QMessageBox
{
public:
    bool hasCancel = false;
    QString helpFile;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_F1 && !helpFile.isEmpty()) {
            QMessageBox::information(
                this, QStringLiteral("Help"),
                QStringLiteral("The program could not send a command to the device.\n\n"
                               "Check that the device is connected and powered, and that the COM number "
                               "in the settings names its port.\n\n"
                               "Yes: close the port and search for the device again.\n"
                               "No: end the program now."));
            return;
        }
        if (event->matches(QKeySequence::Cancel) && !hasCancel)
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (!hasCancel) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

} // namespace

int QtMessageBoxes::MsgBox(const QString &prompt, int style, const QString &title, const QString &helpFile,
                           int helpContext)
{
    Q_UNUSED(helpContext);
    ClassicBox box;
    box.setParent(m_parent, Qt::Dialog);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    box.helpFile = helpFile;

    switch (style & 0x70) {
    case MsgBoxStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgBoxStyle::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgBoxStyle::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }

    struct Choice
    {
        QMessageBox::StandardButton button;
        int result;
    };
    QList<Choice> choices;
    switch (style & 0x7) {
    case MsgBoxStyle::YesNoCancel:
        choices = {{QMessageBox::Yes, MsgBoxResult::Yes},
                   {QMessageBox::No, MsgBoxResult::No},
                   {QMessageBox::Cancel, MsgBoxResult::Cancel}};
        break;
    case MsgBoxStyle::YesNo:
        choices = {{QMessageBox::Yes, MsgBoxResult::Yes}, {QMessageBox::No, MsgBoxResult::No}};
        break;
    case 1:
        choices = {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, MsgBoxResult::Cancel}};
        break;
    default:
        choices = {{QMessageBox::Ok, 1}};
        break;
    }
    QList<QAbstractButton *> buttons;
    for (const Choice &choice : choices)
        buttons.append(box.addButton(choice.button));
    box.hasCancel = (style & 0x7) == MsgBoxStyle::YesNoCancel || (style & 0x7) == 1 || (style & 0x7) == 0;
    if (box.hasCancel && (style & 0x7) != 0)
        box.setEscapeButton(box.button(QMessageBox::Cancel));

    const int defaultIndex = (style >> 8) & 0x3;
    if (defaultIndex < buttons.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons[defaultIndex]));

    box.exec();
    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return choices[i].result;
    return box.hasCancel ? MsgBoxResult::Cancel : choices.last().result;
}
