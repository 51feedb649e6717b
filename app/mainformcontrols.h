#pragma once

#include <QString>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// Every control of the window, under the names the program's handlers use.
// Arrays are indexed from 1 like the controls they stand for (index 0 unused).
struct MainFormControls
{
    QLabel *lblStatus = nullptr;
    QPushButton *cmdSet = nullptr;
    QGroupBox *frmTemp1 = nullptr; // frmTemp(1), the "PV1:" control panel
    QPushButton *cmdHelp = nullptr;
    QLabel *lblDevCode = nullptr;
    QGroupBox *frmHelp = nullptr;
    QGroupBox *frmSet = nullptr;
    QGroupBox *frmNevidi = nullptr;

    std::array<QGroupBox *, 5> frmTemp{};
    std::array<QLabel *, 5> lblTemp{};
    std::array<QLabel *, 5> lblTempName{};
    QPushButton *cmd100P = nullptr;
    QPushButton *cmd50P = nullptr;
    QPushButton *cmd0P = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLineEdit *txtSV01 = nullptr;
    QPushButton *cmdSV01 = nullptr;
    QGroupBox *cmdF2 = nullptr;
    std::array<QPushButton *, 8> cmdFpwm{}; // 1..7

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *cmdCloseHelp = nullptr;

    QGroupBox *Frame2 = nullptr;
    std::array<QLineEdit *, 6> txtSet1{}; // 1..5
    QGroupBox *Frame3 = nullptr;
    std::array<QGroupBox *, 5> frmTempName{};
    std::array<QLineEdit *, 5> txtTempName{};
    QPushButton *cmdExit = nullptr;
};

// Builds every control on `form` from the layout table and sets the tab order.
MainFormControls buildMainFormControls(QWidget *form);

// The help panel's text as stored: eight lines, each ended by CR LF.
QString helpText();
