#pragma once
// Which fleet an adb call reaches. PHONESIM_HOME names one fleet, or several separated by
// ':', each answering the adb server address in its fleet.json ("host", "hostPort"). The
// call's -H and -P (default localhost and ANDROID_ADB_SERVER_PORT or 5037) pick the fleet;
// a single fleet also answers the default address. An address no fleet answers, or a
// fleet whose host is cut, fails the way adb fails when it cannot reach its server; a
// silently cut one keeps the call waiting until the cut is lifted.
#include <QString>
#include <QStringList>

struct HostChoice
{
    QString home;  // empty: the call fails with `error`
    QString error; // adb's text, for standard error
};

HostChoice chooseFleet(const QString &homes, const QStringList &args);
