#include "UnitName.h"

#include <QRegularExpression>

QString UnitNameFault(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("the name \"%1\" holds a slash").arg(name);
    if (name.contains(QLatin1String("..")))
        return QStringLiteral("the name \"%1\" holds \"..\"").arg(name);
    if (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('.')))
        return QStringLiteral("the name \"%1\" starts with \"%2\"").arg(name, name.left(1));
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral("the name holds a control character (U+%1)").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return {};
}

QString UnitNameFromEntry(const QString &entry)
{
    static const QRegularExpression scheme(QStringLiteral("^[a-z0-9]+://")), devices(QStringLiteral("^/dev/")),
        unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QString name = entry;
    name.remove(scheme).remove(devices);
    name.replace(unsafe, QStringLiteral("_"));
    return name;
}
