// The panel on the bus: what a script's calls put on the wire or why they are
// refused, the properties announced on the bus, and the signals. Every
// test runs its own bus daemon; the script is a second connection to it.
#include "dbus/busname.h"
#include "dbus/panelbusobject.h"
#include "dbus/scriptcalls.h"
#include "privatebus.h"
#include "sessionharness.h"
#include "trend/recorder.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QXmlStreamReader>

namespace {
const QString kBusName = u"dev.kestravon.PwmPanel.pwm_panel"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

// Found; the harness's timers never tick, so only the test writes from now on.
void identify(SessionHarness &h)
{
    h.identify();
    QTRY_COMPARE(h.session->state(), DeviceSession::State::Identified);
    h.port.writes.clear();
}

// What a script hears; QDBusConnection::connect takes only a slot by name.
class Heard : public QObject
{
    Q_OBJECT
public:
    QList<QDBusMessage> messages;
    QStringList arguments(const QString &member) const
    {
        QStringList found;
        for (const QDBusMessage &m : messages)
            if (m.member() == member)
                found << m.arguments().value(0).toString();
        return found;
    }
public slots:
    void take(const QDBusMessage &message) { messages << message; }
};

// The interface's members as "kind name(arg type direction, ...)", sorted;
// both Qt's introspection and the shipped XML read the same this way.
QStringList interfaceMembers(const QString &xml)
{
    QStringList members;
    QXmlStreamReader r(xml);
    bool inside = false;
    while (!r.atEnd()) {
        r.readNext();
        const QString name = r.name().toString();
        const auto attr = [&r](const char *a) { return r.attributes().value(QLatin1String(a)).toString(); };
        if (r.isStartElement() && name == u"interface")
            inside = attr("name") == QLatin1String(kInterfaceName);
        else if (!inside || !r.isStartElement())
            continue;
        else if (name == u"method" || name == u"signal")
            members << name + u' ' + attr("name");
        else if (name == u"arg")
            members.last() += u' ' + attr("name") + u':' + attr("type") + u':' +
                              (attr("direction").isEmpty() ? u"out"_s : attr("direction"));
        else if (name == u"property")
            members << u"property "_s + attr("name") + u':' + attr("type") + u':' + attr("access");
    }
    members.sort();
    return members;
}
} // namespace

class TestPanelAdaptor : public QObject
{
    Q_OBJECT

    PrivateBus m_bus;
    QDBusConnection m_panelBus{QString()};
    QDBusConnection m_script{QString()};

    QDBusMessage callOn(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kBusName, QLatin1String(kObjectPath), interface, method);
        message.setArguments(args);
        // Asynchronously: the panel answers from this very thread.
        QDBusPendingCallWatcher watcher(m_script.asyncCall(message));
        QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
        if (!watcher.isFinished())
            finished.wait(5000);
        return watcher.reply();
    }
    QDBusMessage call(const QString &method, const QVariantList &args = {})
    {
        return callOn(QLatin1String(kInterfaceName), method, args);
    }
    // Subscribes, then makes sure the bus has the subscription before anything happens.
    void listen(Heard &heard, const QString &interface, const QString &member)
    {
        QVERIFY(m_script.connect(kBusName, QLatin1String(kObjectPath), interface, member, &heard,
                                 SLOT(take(QDBusMessage))));
        QVERIFY(m_script.interface()->isServiceRegistered(kBusName));
    }

private slots:
    void initTestCase()
    {
        if (!m_bus.start())
            QSKIP(qPrintable(m_bus.errorString()));
        m_panelBus = m_bus.connect(u"panel"_s);
        m_script = m_bus.connect(u"script"_s);
    }

    void aCallGoesOnTheWireOrIsRefused_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("argument"); // -1000: none
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QString>("error");
        using L = QByteArrayList;
        const QString outOfRange = u"dev.kestravon.PwmPanel1.Error.OutOfRange"_s;
        const QString notIdentified = u"dev.kestravon.PwmPanel1.Error.NotIdentified"_s;
        // clang-format off
        QTest::addRow("SetDuty(50) sets the duty and asks for the value") << true << "SetDuty" << 50 << L{"SV01=50\r", "PV1?\r"} << QString();
        QTest::addRow("SetDuty(0) is the bottom of the range") << true << "SetDuty" << 0 << L{"SV01=0\r", "PV1?\r"} << QString();
        QTest::addRow("SetDuty(100) is the top of the range") << true << "SetDuty" << 100 << L{"SV01=100\r", "PV1?\r"} << QString();
        QTest::addRow("SetDuty(101) is out of range") << true << "SetDuty" << 101 << L{} << outOfRange;
        QTest::addRow("SetDuty(-1) is out of range") << true << "SetDuty" << -1 << L{} << outOfRange;
        QTest::addRow("SelectPreset(7) sends the preset") << true << "SelectPreset" << 7 << L{"SV02=7\r"} << QString();
        QTest::addRow("SelectPreset(1) is the first preset") << true << "SelectPreset" << 1 << L{"SV02=1\r"} << QString();
        QTest::addRow("SelectPreset(8) is out of range") << true << "SelectPreset" << 8 << L{} << outOfRange;
        QTest::addRow("SelectPreset(0) is out of range") << true << "SelectPreset" << 0 << L{} << outOfRange;
        QTest::addRow("AskDuty() asks for the duty set value") << true << "AskDuty" << -1000 << L{"SV01?\r"} << QString();
        QTest::addRow("AskPreset() asks for the preset") << true << "AskPreset" << -1000 << L{"SV02?\r"} << QString();
        QTest::addRow("SetDuty(50) before the device is found is refused") << false << "SetDuty" << 50 << L{} << notIdentified;
        QTest::addRow("SelectPreset(3) before the device is found is refused") << false << "SelectPreset" << 3 << L{} << notIdentified;
        QTest::addRow("AskDuty() before the device is found is refused") << false << "AskDuty" << -1000 << L{} << notIdentified;
        QTest::addRow("AskPreset() before the device is found is refused") << false << "AskPreset" << -1000 << L{} << notIdentified;
        QTest::addRow("SetDuty(101) before the device is found: the range is checked first") << false << "SetDuty" << 101 << L{} << outOfRange;
        // clang-format on
    }
    void aCallGoesOnTheWireOrIsRefused()
    {
        QFETCH(bool, found);
        QFETCH(QString, method);
        QFETCH(int, argument);
        QFETCH(QByteArrayList, writes);
        QFETCH(QString, error);
        SessionHarness h;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QVERIFY(panel.registerOn(m_panelBus));
        if (found) {
            identify(h);
        } else { // the port open, the device silent
            h.tick(SessionTimer::Search);
            QVERIFY(waitForWrites(h.port, 1));
            h.port.writes.clear();
        }

        const QDBusMessage reply = call(method, argument == -1000 ? QVariantList() : QVariantList{argument});
        QCOMPARE(reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString(), error);
        QCOMPARE(reply.type() == QDBusMessage::ErrorMessage, !error.isEmpty());
        QCOMPARE(h.writesUpToMarker(), writes);
        QCOMPARE(h.prompts.noResponseAsked, 0);
    }

    // Nobody may be at the screen to answer a box: the session searches again,
    // and the script hears that its command was not written.
    void aCallThatCannotBeWrittenAsksNobody()
    {
        SessionHarness h;
        h.prompts.defaultAnswer = true;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QVERIFY(panel.registerOn(m_panelBus));
        identify(h);
        h.port.failures[u"Write"_s] = PortError::WriteFailed;

        const QDBusMessage reply = call(u"SetDuty"_s, {50});
        QCOMPARE(reply.errorName(), u"dev.kestravon.PwmPanel1.Error.NotSent"_s);
        QVERIFY2(reply.errorMessage().contains(u"injected 8021"_s), qPrintable(reply.errorMessage()));
        QTRY_COMPARE(panel.identified(), false);
        QCOMPARE(panel.statusTone(), u"searching"_s);
        QCOMPARE(h.prompts.noResponseAsked, 0);
    }

    // A script that outruns the wire is told so, not answered as if queued.
    void aFullQueueAnswersBusy()
    {
        SessionHarness h;
        identify(h);
        h.waitOutThePause();
        ScriptCalls calls(*h.session);
        QStringList answers;
        for (int i = 0; i < 20; ++i)
            answers << calls.askPreset().value_or(CallRefusal{}).errorName;
        QCOMPARE(answers.count(QString()), CommandQueue::kMaxWaiting + 1); // one written at once
        QCOMPARE(answers.last(), u"dev.kestravon.PwmPanel1.Error.Busy"_s);
    }

    void aChangeReachesTheBusAsPropertiesChanged()
    {
        SessionHarness h;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QVERIFY(panel.registerOn(m_panelBus));
        identify(h);
        Heard heard;
        listen(heard, kProperties, u"PropertiesChanged"_s);

        h.port.simulateArrival("SV01=42\r");
        const auto announced = [&heard] {
            QVariantMap moved;
            for (const QDBusMessage &m : std::as_const(heard.messages))
                if (m.arguments().value(0) == QLatin1String(kInterfaceName))
                    moved.insert(qdbus_cast<QVariantMap>(m.arguments().value(1)));
            return moved;
        };
        QTRY_COMPARE(announced().value(u"Duty"_s), u"42"_s);
        QCOMPARE(announced().value(u"Status"_s), u"COM:1 Baud:9600 COM data: SV01=42"_s);
        QCOMPARE(announced().value(u"StatusTone"_s), u"receiving"_s);

        // What GetAll returns is what the object's getters say, the sample time as an "n".
        const QDBusMessage all = callOn(kProperties, u"GetAll"_s, {QLatin1String(kInterfaceName)});
        const auto values = qdbus_cast<QVariantMap>(all.arguments().value(0));
        QCOMPARE(values.keys().size(), 10);
        QCOMPARE(values.value(u"Recording"_s), QString()); // none runs
        QCOMPARE(values.value(u"Duty"_s), u"42"_s);
        QCOMPARE(values.value(u"Identified"_s), true);
        QCOMPARE(values.value(u"SampleTime"_s).metaType(), QMetaType::fromType<qint16>());
    }

    void theSignalsCarryEveryLineAndCommand()
    {
        SessionHarness h;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QVERIFY(panel.registerOn(m_panelBus));
        Heard heard;
        listen(heard, QLatin1String(kInterfaceName), u"LineReceived"_s);
        listen(heard, QLatin1String(kInterfaceName), u"CommandSent"_s);

        identify(h);
        QCOMPARE(call(u"AskDuty"_s).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(h.port.writes, QByteArrayList{"SV01?\r"});
        // The recording's text: UTF-8, a NUL and the backslash as \xHH, nothing cut.
        h.port.simulateArrival("SV01=20\r\xc2\xb5\r\0a\\b\r"_ba);
        QTRY_COMPARE(heard.arguments(u"LineReceived"_s),
                     (QStringList{u"DUTY01"_s, u"SV01=20"_s, u"\\xC2\\xB5"_s, u"\\x00a\\x5Cb"_s}));
        QCOMPARE(heard.arguments(u"CommandSent"_s), (QStringList{u"I?"_s, u"SV01?"_s}));
    }

    // The XML installed for scripts and tools describes what is exported: the
    // adaptor generated from it, at the object's path.
    void theShippedInterfaceMatchesTheObject()
    {
        SessionHarness h;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QVERIFY(panel.registerOn(m_panelBus));
        const QDBusMessage reply = callOn(u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s);
        QFile shipped(QFINDTESTDATA("../dist/dev.kestravon.PwmPanel1.xml"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QStringList exported = interfaceMembers(reply.arguments().value(0).toString());
        QVERIFY(!exported.isEmpty());
        QCOMPARE(interfaceMembers(QString::fromUtf8(shipped.readAll())), exported);
    }
};

QTEST_MAIN(TestPanelAdaptor)
#include "tst_paneladaptor.moc"
