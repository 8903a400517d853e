#include "UserCommands.h"

#include "Accounts.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

int Say(const QString &text, int status)
{
    std::fprintf(stderr, "quorind: %s\n", qPrintable(text));
    return status;
}

QString ReadPassword()
{
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "Password: ");
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fprintf(stderr, "\n");
    }
    return QString::fromStdString(line);
}

} // namespace

int RunUserCommand(const QString &accountsPath, const QStringList &unitNames, const QStringList &args)
{
    const QString usage = QStringLiteral("user add NAME --role admin|staff|viewer [--units A,B], user passwd NAME, user del NAME");
    if (args.size() < 2)
        return Say(usage, 2);
    const QString verb = args[0], name = args[1];
    Accounts accounts;
    QString error;
    if (!accounts.Load(accountsPath, &error))
        return Say(error, 4);
    if (verb == QLatin1String("del")) {
        if (!accounts.Remove(name))
            return Say(QStringLiteral("no account is named \"%1\"").arg(name), 2);
    } else if (verb == QLatin1String("passwd")) {
        if (!accounts.Find(name))
            return Say(QStringLiteral("no account is named \"%1\"").arg(name), 2);
        const QString password = ReadPassword();
        if (password.size() < 8)
            return Say(QStringLiteral("a password has at least 8 characters"), 2);
        accounts.SetPassword(name, password);
    } else if (verb == QLatin1String("add")) {
        std::optional<Role> role;
        QStringList units;
        for (int i = 2; i + 1 < args.size(); i += 2) {
            if (args[i] == QLatin1String("--role"))
                role = RoleNamed(args[i + 1]);
            else if (args[i] == QLatin1String("--units"))
                units = args[i + 1].split(QLatin1Char(','));
            else
                return Say(usage, 2);
        }
        if (!role || args.size() % 2 != 0)
            return Say(usage, 2);
        if (const QString fault = AccountNameFault(name); !fault.isEmpty())
            return Say(fault, 2);
        // Leaving --units out gives every unit; a list must name units of the configuration.
        for (const QString &unit : std::as_const(units))
            if (!unitNames.contains(unit))
                return Say(QStringLiteral("no unit is named \"%1\" in the configuration").arg(unit), 2);
        const QString password = ReadPassword();
        if (password.size() < 8)
            return Say(QStringLiteral("a password has at least 8 characters"), 2);
        accounts.Set(name, *role, units, password);
    } else {
        return Say(usage, 2);
    }
    if (!accounts.Save(accountsPath, &error))
        return Say(error, 4);
    return 0;
}
