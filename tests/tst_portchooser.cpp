// The port chooser over a fake list of ports (the ones chosen are
// pseudo-terminals): what it shows, choosing by keyboard and mouse (the
// com<N> link and the search starting again), a typed path checked first, a
// port in use asked about, paths typed remembered, Find the device with ports
// that answer, answer another code, hold a stale reply or stay silent, and the
// list following the ports.
#include "chooserharness.h"
#include "link/portwatcher.h"

class TestPortChooser : public QObject
{
    Q_OBJECT

private slots:
    void showsEachPortInWords()
    {
        Chooser c;
        PortChooser &chooser = c.open();
        QCOMPARE(chooser.windowTitle(), u"Port for pwm-panel"_s);
        QCOMPARE(chooser.focusWidget(), c.path());
        QStringList shown;
        for (int i = 0; i < c.list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = c.list()->topLevelItem(i);
            shown << item->text(0) + u": "_s + item->text(1) + u" | "_s + item->text(4) +
                         (item->flags() & Qt::ItemIsEnabled ? u""_s : u" (greyed)"_s);
        }
        QCOMPARE(shown,
                 QStringList({u"/dev/ttyACM0: no permission | "_s, u"/dev/ttyS0: no hardware |  (greyed)"_s,
                              u"/dev/ttyS1: this panel's port | "_s,
                              u"/dev/ttyUSB0: free | by-id: usb-FTDI_FT232R_USB_UART_A1-if00-port0"_s,
                              c.held.slavePath() + u": in use by minicom (pid 4242) | "_s,
                              c.usbB.slavePath() + u": free | "_s,
                              u"/dev/ttyUSB3: busy, open in minicom (pid 4242) | "_s}));
        QVERIFY(c.item(u"/dev/ttyACM0"_s)->toolTip(1).contains(u"dialout"_s));
    }

    // keys: what is done after the path box got the text typed; "select" selects the by-id row first.
    void returnChoosesWhereverTheFocusIs_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("focusBeforeReturn"); // accessible name
        QTest::addColumn<bool>("byRow");                // the by-id row chosen, else the pty typed
        QTest::addColumn<bool>("bound");
        QTest::addRow("in the path box") << QStringList{} << u"Device path"_s << false << true;
        QTest::addRow("Tab over Cancel, Tab to the list")
            << QStringList{u"Backtab"_s, u"=Cancel"_s, u"Tab"_s, u"Tab"_s} << u"Serial ports present"_s
            << false << true;
        QTest::addRow("a row selected, Tab over Cancel")
            << QStringList{u"select"_s, u"Backtab"_s, u"=Cancel"_s, u"Tab"_s, u"Tab"_s}
            << u"Serial ports present"_s << true << true;
        QTest::addRow("on Find the device")
            << QStringList{u"Tab"_s, u"Tab"_s} << u"Find the device"_s << false << true;
        QTest::addRow("on Cancel itself") << QStringList{u"Backtab"_s} << u"Cancel"_s << false << true;
        QTest::addRow("Esc cancels") << QStringList{u"Tab"_s, u"Escape"_s} << QString() << false << false;
    }
    void returnChoosesWhereverTheFocusIs()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, focusBeforeReturn);
        QFETCH(bool, byRow);
        QFETCH(bool, bound);
        Chooser c;
        PortChooser &chooser = c.open();
        QTest::keyClicks(c.path(), c.usbB.slavePath());
        for (const QString &key : std::as_const(keys)) {
            QWidget *focus = QApplication::focusWidget();
            if (key == u"select")
                c.list()->setCurrentItem(c.item(u"/dev/ttyUSB0"_s));
            else if (key.startsWith(u'='))
                QCOMPARE(focus->accessibleName(), key.mid(1));
            else
                QTest::keyClick(focus, key == u"Tab"       ? Qt::Key_Tab
                                       : key == u"Backtab" ? Qt::Key_Backtab
                                                           : Qt::Key_Escape);
        }
        if (!focusBeforeReturn.isEmpty()) {
            QCOMPARE(QApplication::focusWidget()->accessibleName(), focusBeforeReturn);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QVERIFY(!chooser.isVisible());
        QCOMPARE(c.linkTarget(), !bound ? QString() : byRow ? c.byId() : c.usbB.slavePath());
    }

    void choosingBindsAndSearchesAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("bound");
        QTest::addRow("Choose on a row: its by-id name") << u"Choose"_s << true;
        QTest::addRow("double-click on a row") << u"double-click"_s << true;
        QTest::addRow("a regular file com1 is refused") << u"Choose"_s << false;
    }
    void choosingBindsAndSearchesAtOnce()
    {
        QFETCH(QString, how);
        QFETCH(bool, bound);
        Chooser c;
        const QByteArray usersFile = "the user's own\n";
        if (!bound) {
            QFile f(c.dir.filePath(u"com1"_s));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(usersFile) == usersFile.size());
        }
        c.program->window().show();
        // Identified first: choosing must end that connection and search again.
        QVERIFY(tickByHand(c.program->session(), SessionTimer::Search));
        c.port.simulateArrival("DUTY01\r");
        QCOMPARE(c.program->session().state(), DeviceSession::State::Identified);
        c.port.calls.clear();

        PortChooser &chooser = c.open();
        QTreeWidgetItem *chosen = c.item(how == u"Choose" ? u"/dev/ttyUSB0"_s : c.usbB.slavePath());
        if (how == u"Choose") {
            c.list()->setCurrentItem(chosen);
            c.part<QPushButton>(u"Choose this port"_s)->click();
        } else {
            QWidget *view = c.list()->viewport();
            const QPoint at = c.list()->visualItemRect(chosen).center();
            QTest::mouseClick(view, Qt::LeftButton, {}, at); // a real double click begins with a press
            QTest::mouseDClick(view, Qt::LeftButton, {}, at);
        }

        if (!bound) {
            QCOMPARE(readFile(c.dir.filePath(u"com1"_s)), usersFile);
            QVERIFY(chooser.isVisible());
            QVERIFY2(c.refusal().contains(u"not a link"_s), qPrintable(c.refusal()));
            QCOMPARE(c.program->session().state(), DeviceSession::State::Identified);
            return;
        }
        QCOMPARE(c.linkTarget(), how == u"Choose" ? c.byId() : c.usbB.slavePath());
        QVERIFY(!chooser.isVisible());
        QCOMPARE(c.port.calls.first(2), (QStringList{u"Close"_s, u"Open 1 9600"_s})); // asked at once
        QCOMPARE(c.program->session().state(), DeviceSession::State::Searching);
        QCOMPARE(c.lister->typedBefore, QStringList{}); // a row chosen is not a path typed
    }

    // Nothing is bound but a serial port or pseudo-terminal; a kernel name goes by its by-id name.
    void aTypedPathIsCheckedFirst_data()
    {
        QTest::addColumn<QString>("typed"); // %1: the temporary folder, %2: the pty with a by-id name
        QTest::addColumn<QString>("said");  // the line in the dialog, before and after Return
        QTest::addColumn<QString>("bound"); // what com1 names then; empty: unchanged
        QTest::addRow("absent") << u"/dev/ttyUSB99"_s
                                << u"COM1 was not changed: /dev/ttyUSB99 does not exist."_s << QString();
        QTest::addRow("a folder") << u"%1"_s << u"COM1 was not changed: %1 is a folder, not a serial port."_s
                                  << QString();
        QTest::addRow("a device that is no serial port")
            << u"/dev/null"_s
            << u"COM1 was not changed: /dev/null is neither a serial port nor a pseudo-terminal."_s
            << QString();
        QTest::addRow("not a whole path")
            << u"ttyUSB0"_s << u"COM1 was not changed: ttyUSB0 is not a whole path"_s << QString();
        QTest::addRow("a kernel name with a by-id name")
            << u"%2"_s
            << u"COM1 will name %1/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0, the by-id name of %2"_s
            << u"%1/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"_s;
        QTest::addRow("a link of the user's own, as typed") << u"%1/ttyV0"_s << QString() << u"%1/ttyV0"_s;
    }
    void aTypedPathIsCheckedFirst()
    {
        QFETCH(QString, typed);
        QFETCH(QString, said);
        QFETCH(QString, bound);
        Chooser c;
        const auto fill = [&](QString text) {
            return text.replace(u"%1"_s, c.dir.path()).replace(u"%2"_s, c.usbA.slavePath());
        };
        QVERIFY(QFile::link(c.usbB.slavePath(), c.dir.filePath(u"ttyV0"_s)));
        QVERIFY(QFile::link(u"/dev/ttyS1"_s, c.dir.filePath(u"com1"_s))); // the working link before
        PortChooser &chooser = c.open();
        QTest::keyClicks(c.path(), fill(typed));
        QLabel *note = c.part<QLabel>(u"What the path will be bound as"_s);
        QTest::keyClick(c.path(), Qt::Key_Return);
        const QString line = note->isVisibleTo(&chooser) ? note->text() : c.refusal();
        QVERIFY2(line.startsWith(fill(said)), qPrintable(line));
        QCOMPARE(c.linkTarget(), bound.isEmpty() ? u"/dev/ttyS1"_s : fill(bound));
        QCOMPARE(chooser.isVisible(), bound.isEmpty());
        QCOMPARE(c.lister->typedBefore, QStringList{});
        if (bound.isEmpty())
            return;
        c.open(); // remembered, by what com1 names
        QCOMPARE(c.lister->typedBefore, QStringList{fill(bound)});
    }

    void aPortInUseIsChosenOnlyWhenTheUserSaysSo_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addRow("Yes binds it") << QMessageBox::Yes;
        QTest::addRow("No leaves all as it was") << QMessageBox::No;
    }
    void aPortInUseIsChosenOnlyWhenTheUserSaysSo()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        Chooser c;
        c.dialogs.answers = {answer};
        PortChooser &chooser = c.open();
        c.list()->setCurrentItem(c.item(c.held.slavePath()));
        QTest::keyClick(c.list(), Qt::Key_Return);
        QCOMPARE(c.dialogs.titles(), QStringList{u"Port in use"_s});
        QVERIFY(c.dialogs.shown[0].text.contains(u"in use by minicom (pid 4242)"_s));
        QCOMPARE(c.dialogs.shown[0].defaultButton, QMessageBox::No);
        QCOMPARE(c.linkTarget(), answer == QMessageBox::Yes ? c.held.slavePath() : QString());
        QCOMPARE(chooser.isVisible(), answer == QMessageBox::No);
    }

    // One port answers the device code, one another code, one holds a stale
    // reply, one stays silent: the first is selected as soon as it answers.
    void findMarksEachAnswerAndSelectsTheDeviceAtOnce()
    {
        Chooser c(std::chrono::milliseconds(3000));
        c.lister->rows << row(u"/dev/ttyUSB4"_s, PortRow::State::Free)
                       << row(u"/dev/ttyUSB5"_s, PortRow::State::Free);
        c.probe.answers = {{u"/dev/ttyUSB0"_s, "DUTY01"}, {c.usbB.slavePath(), "OTHER01"}};
        c.probe.stale = {u"/dev/ttyUSB4"_s};
        PortChooser &chooser = c.open();
        QSignalSpy finished(&chooser, &PortChooser::findFinished);
        QLabel *found = c.part<QLabel>(u"What the search found"_s);
        c.part<QPushButton>(u"Find the device"_s)->click();
        QCOMPARE(found->text(), u"Asking 4 free ports…"_s);
        QTRY_COMPARE(c.list()->selectedItems(), QList<QTreeWidgetItem *>{c.item(u"/dev/ttyUSB0"_s)});
        QCOMPARE(finished.size(), 0); // the silent ones are still asked
        QCOMPARE(c.path()->text(), c.byId());
        QTRY_COMPARE(c.item(c.usbB.slavePath())->text(1), u"answered OTHER01"_s);
        QVERIFY(finished.wait(5000));
        QCOMPARE(found->text(), u"1 of 4 answered. 1 answered with another code."_s);
        QCOMPARE(c.item(u"/dev/ttyUSB0"_s)->text(1), u"answered DUTY01"_s);
        QCOMPARE(c.item(u"/dev/ttyUSB4"_s)->text(1), u"free"_s);
        QCOMPARE(c.probe.opened,
                 QStringList({u"/dev/ttyUSB0"_s, c.usbB.slavePath(), u"/dev/ttyUSB4"_s, u"/dev/ttyUSB5"_s}));
        QVERIFY(!c.probe.written.contains(c.held.slavePath()));
    }

    void closingEndsTheFind()
    {
        Chooser c;
        PortChooser &chooser = c.open();
        c.part<QPushButton>(u"Find the device"_s)->click();
        QCOMPARE(c.probe.open.size(), 2);
        chooser.reject();
        for (const QPointer<SerialPort> &port : std::as_const(c.probe.open))
            QVERIFY(!port || !port->isOpen());
    }

    void refreshKeepsTheSelection()
    {
        Chooser c;
        c.open();
        c.list()->setCurrentItem(c.item(c.usbB.slavePath()));
        c.lister->rows.prepend(row(u"/dev/ttyACM1"_s, PortRow::State::Free)); // the rows below move down
        emit c.program->window().findChild<PortChooser *>()->findChild<PortWatcher *>()->portsChanged();
        QCOMPARE(c.list()->topLevelItemCount(), 8);
        QCOMPARE(c.list()->selectedItems(), QList<QTreeWidgetItem *>{c.item(c.usbB.slavePath())});
    }

    void ctrlPOpensTheChooser()
    {
        Chooser c;
        MainWindow &window = c.program->window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(c.program->window().findChild<PortChooser *>() &&
                c.program->window().findChild<PortChooser *>()->isVisible());
        QStringList menu;
        for (const QAction *action : findWindowWidgets(window).statusLabel->actions())
            menu << action->text();
        QVERIFY2(menu.contains(u"Choose port…"_s), qPrintable(menu.join(u", ")));
    }
};

QTEST_MAIN(TestPortChooser)
#include "tst_portchooser.moc"
