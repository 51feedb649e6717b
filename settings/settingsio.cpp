// Loading the settings file into the record and the boxes, and saving the boxes back.
#include "app/mainform.h"
#include "app/msgbox.h"
#include "link/serialport.h"
#include "settings/settingsfile.h"
#include "settings/wholenumber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QString settingsLocation(const QString &exeDir, const QString &baseName)
{
    const QString beside = SettingsFile::pathFor(exeDir, baseName);
    const QFileInfo folder(exeDir.isEmpty() ? QStringLiteral(".") : exeDir);
    return SettingsFile::choosePath(exeDir, baseName,
                                    QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                                    QFileInfo::exists(beside), folder.isDir() && folder.isWritable());
}

} // namespace

void MainForm::LoadSettings()
{
    SettingsPath = settingsLocation(m_exe.dir, m_exe.baseName);
    bool loaded = false;
    QFile file(SettingsPath);
    if (file.open(QIODevice::ReadOnly)) {
        const SettingsFile::ParseResult read = SettingsFile::parse(file.readAll());
        file.close();
        if (read.ucApp)
            Settings.ucApp = *read.ucApp; // kept even when the rest of the file fails
        if (read.record) {
            Settings = *read.record;
            loaded = applySettings();
        }
    }
    if (!loaded) {
        Settings.resetKeepingUcApp();
        applySettings(); // a closed port takes the defaults
    }
}

// Shows the record in the boxes and labels and gives the port its number and line settings.
// Returns false at the first value the port refuses.
bool MainForm::applySettings()
{
    try {
        c.txtSet1[1]->setText(QString::number(Settings.CommPort));
        m_port.setCommPort(Settings.CommPort);
        c.txtSet1[2]->setText(Settings.Baud);
        m_port.setSettings(Settings.Baud + QStringLiteral(",N,8,1"));
        c.txtSet1[3]->setText(Settings.DevPass);
        c.txtSet1[4]->setText(QString::number(Settings.STime));
        c.txtSet1[5]->setText(Settings.ucApp);
        for (int i = 1; i <= 4; ++i) {
            c.txtTempName[i]->setText(Settings.MyLabels[i]);
            c.lblTempName[i]->setText(Settings.MyLabels[i]);
        }
        return true;
    } catch (const SerialPortError &) {
        return false;
    }
}

bool MainForm::SaveSettings()
{
    const QString title = QStringLiteral("Settings not saved");
    auto refuse = [&](const QString &why) {
        m_boxes.MsgBox(why, MsgBoxStyle::OkOnly | MsgBoxStyle::Exclamation, title);
        return false;
    };

    // Everything that can fail is checked before the port or the file is touched.
    SettingsRecord next = Settings;
    const std::optional<qint16> port = toWholeNumber(c.txtSet1[1]->text());
    if (!port)
        return refuse(
            QStringLiteral("The COM box holds \"%1\", which is not a whole number from -32768 to 32767.")
                .arg(c.txtSet1[1]->text()));
    const std::optional<qint16> sampleTime = toWholeNumber(c.txtSet1[4]->text());
    if (!sampleTime)
        return refuse(
            QStringLiteral("The STime box holds \"%1\", which is not a whole number from -32768 to 32767.")
                .arg(c.txtSet1[4]->text()));
    next.CommPort = *port;
    next.Baud = c.txtSet1[2]->text();
    next.DevPass = c.txtSet1[3]->text();
    next.STime = *sampleTime;
    next.ucApp = c.txtSet1[5]->text();
    for (int i = 1; i <= 4; ++i)
        next.MyLabels[i] = c.txtTempName[i]->text();

    const std::pair<QString, QString> texts[] = {
        {QStringLiteral("Baud"), next.Baud},
        {QStringLiteral("DevPas"), next.DevPass},
        {QStringLiteral("ucApp"), next.ucApp},
        {QStringLiteral("MyLabel1"), next.MyLabels[1]},
        {QStringLiteral("MyLabel2"), next.MyLabels[2]},
        {QStringLiteral("MyLabel3"), next.MyLabels[3]},
        {QStringLiteral("MyLabel4"), next.MyLabels[4]},
    };
    for (const auto &[box, text] : texts) {
        const QString reason = SettingsFile::unstorableReason(text);
        if (!reason.isEmpty())
            return refuse(
                QStringLiteral("The %1 box %2, which the settings file cannot hold.").arg(box, reason));
    }

    // Under the user's configuration folder the folder may not exist yet.
    QDir().mkpath(QFileInfo(SettingsPath).absolutePath());
    // Written whole or not at all: a failed save leaves the previous file as it was.
    QSaveFile file(SettingsPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(SettingsFile::format(next)) < 0 || !file.commit())
        return refuse(QStringLiteral("The settings file %1 could not be written: %2")
                          .arg(SettingsPath, file.errorString()));

    if (m_port.portOpen()) {
        try {
            m_port.setPortOpen(false);
        } catch (const SerialPortError &) {
        }
    }
    Settings = next;
    StartConnectionCycle();
    return true;
}
