#include "devicelink.h"

DeviceLink::DeviceLink(QObject *parent) : QObject(parent) {}

void DeviceLink::setAdbState(const QString &state)
{
    if (m_adbState == state)
        return;
    m_adbState = state;
    emit adbStateChanged();
}

void DeviceLink::setReconnecting(bool reconnecting)
{
    if (m_reconnecting == reconnecting)
        return;
    m_reconnecting = reconnecting;
    emit reconnectingChanged();
}

QString DeviceLink::describe(const QString &state)
{
    if (state == QLatin1String("unauthorized"))
        return tr("Allow USB debugging on the phone");
    if (state == QLatin1String("offline"))
        return tr("Offline");
    if (state == QLatin1String("recovery"))
        return tr("In recovery mode");
    if (state == QLatin1String("gone"))
        return tr("Not connected");
    if (state.isEmpty() || state == QLatin1String("device"))
        return {};
    return state;
}
