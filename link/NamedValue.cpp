#include "NamedValue.h"

NamedValue ReadNamedValue(const QString &name, const QString &text)
{
    NamedValue read;
    read.name = name;
    read.text = text;
    read.setting = FindAnySetting(name);
    if (!read.setting) {
        read.fault = NamedValue::Fault::NoSuchName;
        return read;
    }
    const std::optional<quint8> value = read.setting.Parse(text);
    if (value)
        read.value = *value;
    else
        read.fault = NamedValue::Fault::NoSuchValue;
    return read;
}

NamedValue ReadNamedValue(const QString &nameEqualsValue)
{
    const qsizetype equals = nameEqualsValue.lastIndexOf(QLatin1Char('='));
    if (equals >= 0)
        return ReadNamedValue(nameEqualsValue.left(equals), nameEqualsValue.mid(equals + 1));
    NamedValue read;
    read.fault = NamedValue::Fault::NoEquals;
    read.name = nameEqualsValue;
    return read;
}
