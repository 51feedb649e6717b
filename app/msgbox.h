#pragma once

#include <QString>

class QWidget;

// Answers of a message box, with the classic numbers callers compare against.
namespace MsgBoxResult {
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace MsgBoxResult

// Style flags, combinable: button set + icon + default button.
namespace MsgBoxStyle {
inline constexpr int OkOnly = 0;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int DefaultButton2 = 256;
} // namespace MsgBoxStyle

// Modal message boxes behind an interface, so tests can script the answers.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Returns MsgBoxResult; Esc and the close box give Cancel where there is a Cancel button.
    virtual int MsgBox(const QString &prompt, int style, const QString &title, const QString &helpFile = {},
                       int helpContext = 0) = 0;
};

// The real boxes, over QMessageBox. F1 in a box that names a help file shows
// a short help of ours.
class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    int MsgBox(const QString &prompt, int style, const QString &title, const QString &helpFile = {},
               int helpContext = 0) override;

private:
    QWidget *m_parent;
};
