// The settings panel: Set opens it, SAVE-CLOSE saves and restarts the link.
#include "app/mainform.h"

#include <QGroupBox>

void MainForm::cmdSet_Click()
{
    c.frmSet->setVisible(true);
    StTimer.setEnabled(false);
}

void MainForm::cmdExit_Click()
{
    if (SaveSettings())
        c.frmSet->setVisible(false);
}
