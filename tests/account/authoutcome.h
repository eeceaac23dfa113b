#pragma once
#include "authentication.h"

#include <QSignalSpy>

struct AuthOutcome
{
    int reports = 0;
    bool success = false;
    int code = 0;
    QString message;
};

// Starts the operation and waits for its signal; `reports` also counts a second report.
template<typename Signal, typename Start>
AuthOutcome await(Authentication *auth, Signal signal, Start start)
{
    QSignalSpy spy(auth, signal);
    start();
    if (spy.isEmpty() && !spy.wait(20000))
        return {0, false, 0, QStringLiteral("no report")};
    QCoreApplication::processEvents(); // a second report would show here
    return {int(spy.size()), spy[0][0].toBool(), spy[0][1].toInt(), spy[0][2].toString()};
}

inline AuthOutcome login(Authentication *auth, const QString &email, const QString &password)
{
    return await(auth, &Authentication::loginFinished, [&] { auth->login_async(email, password); });
}
