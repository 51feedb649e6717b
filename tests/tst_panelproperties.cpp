// The bus object's parts that need no bus: the properties following the
// session, and the check that the generated adaptor finds what it reads by name.
#include "dbus/adaptorcheck.h"
#include "dbus/panelproperties.h"
#include "sessionharness.h"

// An adaptor as qdbusxml2cpp writes one, an object it fits (by inheritance too,
// with more than the adaptor needs) and one it does not.
class ReadingAdaptor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Preset READ preset)
    Q_PROPERTY(QString Duty READ duty)
public:
    int preset() const { return 0; }
    QString duty() const { return {}; }
signals:
    void LineReceived(const QString &line);
};
class FittingObject : public ReadingAdaptor
{
    Q_OBJECT
    Q_PROPERTY(bool Identified READ identified)
public:
    bool identified() const { return false; }
};
class MisfitObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qint16 Preset READ preset)
    Q_PROPERTY(QString duty READ duty)
public:
    qint16 preset() const { return 0; }
    QString duty() const { return {}; }
signals:
    void LineReceived(const QByteArray &line);
};

class TestPanelProperties : public QObject
{
    Q_OBJECT

private slots:
    // The values follow the session step by step, and each step announces
    // exactly the values it moved.
    void thePropertiesFollowTheSession()
    {
        SessionHarness h(iniFile(3, "FAN7"));
        PanelProperties properties(*h.session);
        QVariantMap announced;
        connect(&properties, &PanelProperties::changed, this, [&](const QVariantMap &moved) {
            QVERIFY(!moved.isEmpty());
            announced.insert(moved);
        });
        QCOMPARE(properties.identified(), false);
        QCOMPARE(properties.deviceCode(), u"FAN7"_s);
        QCOMPARE(properties.sampleTime(), 3);
        QCOMPARE(properties.statusTone(), u"searching"_s);
        QCOMPARE(properties.duty(), u"-"_s);
        QCOMPARE(properties.preset(), 0);
        QCOMPARE(properties.port(), h.session->portDevice());

        h.identify("FAN7");
        QCOMPARE(announced, (QVariantMap{{u"Identified"_s, true},
                                         {u"Status"_s, u"Found: FAN7"_s},
                                         {u"StatusTone"_s, u"found"_s}}));
        announced.clear();
        h.port.simulateArrival("SV01=37\rSV02=5\r");
        QCOMPARE(announced, (QVariantMap{{u"Status"_s, u"COM:1 Baud:9600 COM data: SV02=5"_s},
                                         {u"StatusTone"_s, u"receiving"_s},
                                         {u"Duty"_s, u"37"_s},
                                         {u"Preset"_s, 5}}));
        QCOMPARE(properties.identified(), true);

        // The port comes with the settings that name it.
        QVERIFY(QFile::link(u"/nonexistent/ttyPANEL"_s, h.dir.filePath(u"com2"_s)));
        announced.clear();
        QVERIFY(h.session->saveSettings({u"2"_s, u"9600"_s, u"-"_s, u"3"_s, u"FAN7"_s, u"PWM(%):"_s}));
        QCOMPARE(announced.value(u"Port"_s), u"/nonexistent/ttyPANEL"_s);
        QCOMPARE(properties.port(), u"/nonexistent/ttyPANEL"_s);
    }

    // The generated adaptor reads the object's properties and relays its
    // signals by name; the object stops the program at construction when one
    // is missing or typed otherwise.
    void aMismatchWithTheAdaptorIsFound()
    {
        QCOMPARE(adaptorMismatches(ReadingAdaptor::staticMetaObject, FittingObject::staticMetaObject),
                 QStringList());
        QCOMPARE(adaptorMismatches(ReadingAdaptor::staticMetaObject, MisfitObject::staticMetaObject),
                 (QStringList{u"property Preset is short, not int"_s, u"no property Duty"_s,
                              u"no signal LineReceived(QString)"_s}));
    }
};

QTEST_GUILESS_MAIN(TestPanelProperties)
#include "tst_panelproperties.moc"
