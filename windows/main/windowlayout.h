#pragma once

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// Every control of the window.
struct WindowWidgets
{
    QLabel *statusLabel = nullptr;
    QPushButton *setButton = nullptr; // opens the settings panel
    QPushButton *helpButton = nullptr;
    QLabel *deviceLabel = nullptr; // who answered, and this copy's name

    // The control panel, enabled once the device has been read back.
    QGroupBox *controlPanel = nullptr;
    QLabel *dutyDisplay = nullptr;
    QLabel *dutyCaption = nullptr; // the user's label 1
    QPushButton *duty100Button = nullptr;
    QPushButton *duty50Button = nullptr;
    QPushButton *duty0Button = nullptr;
    QGroupBox *typedDutyFrame = nullptr;
    QLineEdit *typedDutyBox = nullptr;
    QPushButton *sendButton = nullptr;
    QGroupBox *presetFrame = nullptr;
    std::array<QPushButton *, 7> presetButtons{}; // presets 1 to 7

    QGroupBox *helpPanel = nullptr;
    QPlainTextEdit *helpText = nullptr;
    QPushButton *closeHelpButton = nullptr;

    QGroupBox *settingsPanel = nullptr;
    QGroupBox *connectionFrame = nullptr;
    QLineEdit *portBox = nullptr;
    QLineEdit *baudBox = nullptr;
    QLineEdit *passwordBox = nullptr;
    QLineEdit *sampleTimeBox = nullptr; // shown, not editable
    QLineEdit *deviceCodeBox = nullptr;
    QGroupBox *labelsFrame = nullptr;
    QGroupBox *label1Frame = nullptr;
    QLineEdit *label1Box = nullptr;
    QPushButton *saveButton = nullptr; // SAVE-CLOSE
};

// Builds every control on window from the layout table and sets the tab order.
WindowWidgets buildWindowWidgets(QWidget *window);
