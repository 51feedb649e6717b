// The window: what it shows for the session, its colours, its message boxes,
// and every button under a real mouse click.
#include "windowharness.h"

#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QWindow>

using Window = WindowHarness<FakeSerialPort>;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void startsWaitingWithTheSettingsShown()
    {
        Window h("3,\"19200\",\"pw\",5,\"DEV7\"\r\n\"<b>a</b>\",\"b\",\"c\",\"d\"\r\n", u"PANEL2"_s);
        QCOMPARE(h.window->windowTitle(), MainWindow::homepageUrl() + ": PANEL2");
        QCOMPARE(h.status(), u"wait..."_s);
        const WindowWidgets &w = h.w();
        QCOMPARE(
            (QStringList{w.portBox->text(), w.baudBox->text(), w.passwordBox->text(), w.sampleTimeBox->text(),
                         w.deviceCodeBox->text(), w.label1Box->text(), w.dutyCaption->text()}),
            (QStringList{"3", "19200", "pw", "5", "DEV7", "<b>a</b>", "<b>a</b>"}));
        QVERIFY(!w.controlPanel->isEnabled());
        QVERIFY(w.helpPanel->isHidden() && w.settingsPanel->isHidden());
        for (QLabel *label : {w.statusLabel, w.deviceLabel, w.dutyDisplay, w.dutyCaption})
            QCOMPARE(label->textFormat(), Qt::PlainText); // texts from outside are never markup
    }

    // Literal RGB values, so a swap of red and blue shows.
    void statusColoursFollowTheLink_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::addRow("waiting") << ""
                                 << "wait..." << QColor(255, 255, 192);
        QTest::addRow("searching") << "tick"
                                   << "Searching for uc code..." << QColor(255, 255, 192);
        QTest::addRow("no response") << "timeout"
                                     << "No response!" << QColor(255, 128, 128);
        QTest::addRow("a port error") << "fail"
                                      << "Invalid Port Number!" << QColor(255, 128, 128);
        QTest::addRow("a line") << "line"
                                << "COM:1 Baud:9600 COM data: SV01=5" << QColor(192, 255, 192);
        QTest::addRow("found") << "found"
                               << "Found: DUTY01" << QColor(0, 192, 0);
    }
    void statusColoursFollowTheLink()
    {
        QFETCH(QString, step);
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        h.stepStatus(step);
        QTEST(h.status(), "text");
        QTEST(h.statusColor(), "colour");
        // Once found, the tooltip names the port the device answered on.
        const QString tip = step == u"fail"    ? u"injected 8002"_s
                            : step == u"found" ? h.session().portDevice()
                                               : QString();
        QCOMPARE(h.w().statusLabel->toolTip(), tip);
    }

    void fixedColoursAreTheirRgbValues()
    {
        Window h;
        const WindowWidgets &w = h.w();
        const auto back = [](QWidget *x) { return x->palette().color(QPalette::Window); };
        const auto text = [](QWidget *x) { return x->palette().color(QPalette::WindowText); };
        QCOMPARE(drawnFace(w.setButton), QColor(255, 0, 255));
        QCOMPARE(drawnFace(w.sendButton), QColor(0, 192, 0));
        QCOMPARE(back(w.deviceLabel), QColor(0, 0, 0));
        QCOMPARE(text(w.deviceLabel), QColor(255, 255, 0));
        QCOMPARE(text(w.dutyDisplay), QColor(255, 0, 0));
        QCOMPARE(back(w.dutyCaption), QColor(255, 255, 192));
        QCOMPARE(text(w.controlPanel), QColor(255, 255, 192));
        QCOMPARE(back(w.settingsPanel), QColor(192, 0, 0));
        QCOMPARE(text(w.settingsPanel), QColor(255, 255, 255));
        QCOMPARE(text(w.sendButton->parentWidget()), QColor(0, 192, 0));
    }

    void messageBoxesAnswerAsDesigned_data()
    {
        using B = QMessageBox;
        QTest::addColumn<DialogContent>("content");
        QTest::addColumn<QList<B::StandardButton>>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<bool>("dismissable"); // by Esc and the close box
        QTest::addRow("exit: Esc cancels")
            << DialogContents::exitQuestion() << QList{B::Yes, B::No, B::Cancel} << int(B::Yes) << true;
        QTest::addRow("no response: only Yes or No answers")
            << DialogContents::noResponseQuestion() << QList{B::Yes, B::No} << int(B::No) << false;
        QTest::addRow("a refused save")
            << DialogContents::saveRefused(u"why"_s) << QList{B::Ok} << int(B::Ok) << true;
    }
    void messageBoxesAnswerAsDesigned()
    {
        QFETCH(DialogContent, content);
        QFETCH(QList<QMessageBox::StandardButton>, buttons);
        QFETCH(int, defaultButton);
        QFETCH(bool, dismissable);
        const std::unique_ptr<QMessageBox> box = createMessageBox(content);
        QCOMPARE(box->text(), content.text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QList<QMessageBox::StandardButton> shown;
        for (QAbstractButton *b : box->buttons())
            shown << box->standardButton(b);
        std::sort(shown.begin(), shown.end());
        std::sort(buttons.begin(), buttons.end());
        QCOMPARE(shown, buttons);
        QCOMPARE(box->standardButton(box->defaultButton()), QMessageBox::StandardButton(defaultButton));

        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QTest::keyClick(box.get(), Qt::Key_Escape);
        QCOMPARE(box->isVisible(), !dismissable);
        if (!dismissable) {
            QVERIFY(!box->close());
            QVERIFY(box->isVisible() && !box->clickedButton());
        }
    }

    // Qt's own save dialog, opened without waiting: in the folder, the name
    // suggested and focused, so Return takes it.
    void theSaveDialogSuggestsANameThatReturnTakes()
    {
        QTemporaryDir dir;
        QWidget owner;
        owner.show();
        MessageBoxDialogs dialogs(&owner);
        QStringList chosen;
        dialogs.askSaveFile({u"Record to CSV"_s, dir.path(), u"pwm-panel-20261208-010203.csv"_s,
                             u"CSV files (*.csv)"_s, nullptr},
                            [&](const QString &path) { chosen << path; });
        QFileDialog *dialog = owner.findChild<QFileDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        // What a file is, it tells from its name: reading a special file could block.
        QFile pdf(dir.filePath(u"notes"_s));
        QVERIFY(pdf.open(QIODevice::WriteOnly) && pdf.write("%PDF-1.4\n") > 0);
        pdf.close();
        QCOMPARE(dialog->iconProvider()->type(QFileInfo(pdf.fileName())), u"File"_s);
        QLineEdit *nameBox = nullptr;
        QTRY_VERIFY((nameBox = qobject_cast<QLineEdit *>(QApplication::focusWidget())));
        QCOMPARE(nameBox->text(), u"pwm-panel-20261208-010203.csv"_s);
        QTest::keyClick(nameBox, Qt::Key_Return);
        QTRY_COMPARE(chosen, QStringList{dir.filePath(u"pwm-panel-20261208-010203.csv"_s)});
    }

    // F1 on a box with help shows the help beside it and returns: no loop
    // nested in the key handler.
    void helpOpensWithoutWaiting()
    {
        const std::unique_ptr<QMessageBox> box = createMessageBox(DialogContents::noResponseQuestion());
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        bool returned = false;
        QTimer::singleShot(2000, box.get(), [&] {
            if (!returned) // a nested loop: close it so the test ends, and fail below
                if (auto *help = box->findChild<QMessageBox *>())
                    help->close();
        });
        QTest::keyClick(box.get(), Qt::Key_F1);
        returned = true;
        auto *help = box->findChild<QMessageBox *>();
        QVERIFY(help && help->isVisible());
        QVERIFY(help->text().contains(u"search for the device again"_s));
        help->close();
    }

    // Real clicks, so a lost connection between a button and the session shows.
    void everyButtonWorksUnderTheMouse()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        const WindowWidgets &w = h.w();
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window));
        h.identify();
        h.tick(SessionTimer::ReadBack); // unlocks the control panel
        h.port.writes.clear();

        const auto click = [](QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); };
        click(w.duty0Button);
        click(w.duty50Button);
        click(w.duty100Button);
        for (QPushButton *preset : w.presetButtons)
            click(preset);
        w.typedDutyBox->setText(u"37"_s);
        click(w.sendButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            h.port.writes,
            (QByteArrayList{"SV01?\r", "SV01=0\r", "PV1?\r", "SV01=50\r", "PV1?\r", "SV01=100\r", "PV1?\r",
                            "SV02=1\r", "SV02=2\r", "SV02=3\r", "SV02=4\r", "SV02=5\r", "SV02=6\r",
                            "SV02=7\r", "SV01=37\r"}),
            3000);
        QCOMPARE(w.typedDutyBox->text(), u"37"_s);
        w.typedDutyBox->setText(u"101"_s);
        click(w.sendButton);
        QCOMPARE(w.typedDutyBox->text(), u"error"_s);
        // A press dropped for want of room keeps what was typed, and says so.
        qsizetype queued = 0;
        for (int i = 0; i <= CommandQueue::kMaxWaiting; ++i)
            queued += h.session().askPreset();
        w.typedDutyBox->setText(u"37"_s);
        click(w.sendButton);
        QCOMPARE(w.typedDutyBox->text(), u"37"_s);
        QVERIFY2(w.statusLabel->toolTip().startsWith(u"Not sent: "_s), qPrintable(w.statusLabel->toolTip()));
        QTRY_COMPARE_WITH_TIMEOUT(h.port.writes.count("SV02?\r"), queued, 3000);

        const QStringList callsBefore = h.port.calls;
        click(w.helpButton);
        QVERIFY(w.helpPanel->isVisible());
        click(w.closeHelpButton);
        QVERIFY(w.helpPanel->isHidden());
        QCOMPARE(h.port.calls, callsBefore); // help touches nothing else

        click(w.setButton);
        QVERIFY(w.settingsPanel->isVisible());
        w.label1Box->setText(u"Fan\""_s);
        click(w.saveButton);
        QCOMPARE(h.dialogs.titles(), QStringList{"Settings not saved"});
        QVERIFY(w.settingsPanel->isVisible()); // a refused save keeps the panel open
        w.label1Box->setText(u"Fan"_s);
        click(w.saveButton);
        QVERIFY(w.settingsPanel->isHidden());
        QCOMPARE(h.iniBytes(), "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"Fan\",\"Label2\",\"nc\",\"nc\"\r\n"_ba);
        QCOMPARE(w.dutyCaption->text(), u"Fan"_s);
        QCOMPARE(h.status(), u"wait..."_s);
    }

    void exitAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addRow("Yes closes the open port and ends") << int(QMessageBox::Yes);
        QTest::addRow("No keeps the window and the port") << int(QMessageBox::No);
        QTest::addRow("Cancel keeps the window and the port") << int(QMessageBox::Cancel);
    }
    void exitAsksFirst()
    {
        QFETCH(int, answer);
        const bool yes = answer == QMessageBox::Yes;
        Window h;
        h.window->show();
        h.tick(SessionTimer::Search);
        h.port.calls.clear();
        h.dialogs.answers = {QMessageBox::StandardButton(answer), QMessageBox::Yes};
        h.window->close();
        QTRY_COMPARE(h.window->isVisible(), !yes);
        QCOMPARE(h.dialogs.titles(), QStringList{"Exit Dialog"});
        QCOMPARE(h.port.calls, yes ? QStringList{"Close"} : QStringList());
        QCOMPARE(h.session().state(), yes ? DeviceSession::State::Ended : DeviceSession::State::Searching);
        QCOMPARE(h.program->exitStatus(), 0);
        QVERIFY(!QFile::exists(h.iniPath())); // nothing is saved on exit
        if (yes) {                            // a click after the exit writes nothing and asks nothing
            h.session().setDuty(50);
            QTest::qWait(100);
            QCOMPARE(h.port.calls, QStringList{"Close"});
            QCOMPARE(h.dialogs.shown.size(), 1);
        }
    }

    // No to the no-response question ends the program as an exit does, without
    // asking again, and the exit status says the device stopped answering.
    void noToTheNoResponseQuestionEndsWithStatusOne()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        h.window->show();
        h.identify();
        h.port.failures[u"Write"_s] = PortError::WriteFailed;
        h.dialogs.answers = {QMessageBox::No};
        h.session().setDuty(50);
        QTRY_VERIFY(!h.window->isVisible());
        QCOMPARE(h.dialogs.titles(), QStringList{"MsgBox: NO RESPONSE - COMMUNICATION ERROR!"});
        QCOMPARE(h.program->exitStatus(), 1);
        QVERIFY(!h.port.isOpen());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
