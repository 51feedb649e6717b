#include "dbus/adaptorcheck.h"

#include <QMetaMethod>
#include <QMetaProperty>

QStringList adaptorMismatches(const QMetaObject &adaptor, const QMetaObject &object)
{
    QStringList mismatches;
    for (int i = adaptor.propertyOffset(); i < adaptor.propertyCount(); ++i) {
        const QMetaProperty wanted = adaptor.property(i);
        const int found = object.indexOfProperty(wanted.name());
        if (found < 0)
            mismatches << QStringLiteral("no property %1").arg(QLatin1String(wanted.name()));
        else if (object.property(found).metaType() != wanted.metaType())
            mismatches << QStringLiteral("property %1 is %2, not %3")
                              .arg(QLatin1String(wanted.name()),
                                   QLatin1String(object.property(found).typeName()),
                                   QLatin1String(wanted.typeName()));
    }
    for (int i = adaptor.methodOffset(); i < adaptor.methodCount(); ++i) {
        const QMetaMethod wanted = adaptor.method(i);
        if (wanted.methodType() == QMetaMethod::Signal && object.indexOfSignal(wanted.methodSignature()) < 0)
            mismatches << QStringLiteral("no signal %1").arg(QLatin1String(wanted.methodSignature()));
    }
    return mismatches;
}
