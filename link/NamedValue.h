#pragma once

#include "UnitCommands.h"

#include <QString>

// One setting and the value wanted for it, as a person or a client writes them.
struct NamedValue
{
    enum class Fault { None, NoEquals, NoSuchName, NoSuchValue };
    Fault fault = Fault::None;
    QString name;  // as written
    QString text;  // the value as written
    AnySetting setting;  // found even when the value is no value of it
    quint8 value = 0;

    explicit operator bool() const { return fault == Fault::None; }
};

// The setting named name, letter case ignored, and text read as one of its values.
NamedValue ReadNamedValue(const QString &name, const QString &text);
// The same for "NAME=VALUE", split at the last "=".
NamedValue ReadNamedValue(const QString &nameEqualsValue);
