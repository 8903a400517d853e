#pragma once

#include <QStringList>

// quorind user add NAME --role admin|staff|viewer [--units a,b], user passwd NAME,
// user del NAME: the accounts file changed in one step. The password is read from
// the terminal without echo, or from standard input when that is no terminal.
int RunUserCommand(const QString &accountsPath, const QStringList &unitNames, const QStringList &args);
