#pragma once
// One Authentication operation run to its report, for the client tests.
#include "authentication.h"

#include <QCoreApplication>
#include <QTest>

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
    AuthOutcome outcome;
    QObject scope;
    QObject::connect(auth, signal, &scope, [&outcome](bool success, int code, const QString &text) {
        outcome = {outcome.reports + 1, success, code, text};
    });
    start();
    if (!QTest::qWaitFor([&outcome] { return outcome.reports > 0; }, 20000))
        outcome.message = QStringLiteral("no report");
    QCoreApplication::processEvents(); // a second report would show here
    return outcome;
}

inline AuthOutcome login(Authentication *auth, const QString &email, const QString &password)
{
    return await(auth, &Authentication::loginFinished, [&] { auth->login_async(email, password); });
}
