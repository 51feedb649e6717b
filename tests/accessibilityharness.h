#pragma once

// What a screen reader hears of the windows: accessibility switched on as a
// bridge would and every event the program sends, through Qt's own hook.
#include "windows/common/announce.h"

#include <QAccessible>
#include <QTest>
#include <QWidget>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

struct Heard
{
    QAccessible::Event type;
    QObject *object;
    QString text; // the name after a name change or an announcement, the text inserted
    int child = -1;
};
inline QList<Heard> heard;

// Only the kinds the program sends itself; Qt adds its own (shown, focus, names) as it goes.
inline void recordHeard(QAccessibleEvent *event)
{
    const QAccessible::Event type = event->type();
    QString text;
    switch (type) {
    case QAccessible::TextUpdated:
        text = static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted();
        break;
    case QAccessible::NameChanged:
    case QAccessible::ObjectShow:
        if (auto *widget = qobject_cast<QWidget *>(event->object()))
            text = widget->accessibleName();
        break;
    case QAccessible::StateChanged:
    case QAccessible::Focus:
    case QAccessible::DescriptionChanged:
        if (QAccessibleInterface *iface = event->accessibleInterface()) // a row has no object
            text = iface->text(QAccessible::Name);
        break;
    case QAccessible::Alert:
    case QAccessible::ValueChanged:
        break;
    default:
        return;
    }
    heard << Heard{type, event->object(), text, event->child()};
}

// Offscreen Qt has no bridge, so it never turns accessibility on: the test
// does, through Qt's private platform interface (if that changes, this fails
// here), and listens in the bridge's place through Qt's own hook.
inline void listenAsAScreenReader()
{
    QAccessible::installUpdateHandler(recordHeard);
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    QVERIFY(QAccessible::isActive());
}

inline QList<Heard> heardOn(QObject *object, QAccessible::Event type)
{
    QList<Heard> on;
    for (const Heard &h : heard)
        if (h.object == object && h.type == type)
            on << h;
    return on;
}

// What the window's announcer said, in order: spoken wherever the focus is.
inline QStringList announced(QWidget *window)
{
    QStringList said;
    QWidget *announcer = ScreenReader::announcerOf(window);
    for (const Heard &h : heard)
        if (announcer && h.object == announcer && h.type == QAccessible::ObjectShow)
            said << h.text;
    return said;
}

inline QAccessibleInterface *access(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

// Whether an event of that type came from something whose name starts so.
inline bool heardWith(QAccessible::Event type, const QString &namePrefix)
{
    return std::any_of(heard.cbegin(), heard.cend(),
                       [&](const Heard &h) { return h.type == type && h.text.startsWith(namePrefix); });
}
