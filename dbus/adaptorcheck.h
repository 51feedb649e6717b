#pragma once

#include <QMetaObject>
#include <QStringList>

// A generated D-Bus adaptor reads its object's properties by name
// (parent()->property("Duty")) and relays the object's signals that have the
// same signature as its own; a name or type that differs compiles and then
// reads an empty value or relays nothing. Returns, one line each, the
// properties and signals the adaptor declares that object lacks or types
// otherwise; empty when every one is there.
QStringList adaptorMismatches(const QMetaObject &adaptor, const QMetaObject &object);
