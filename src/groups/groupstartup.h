#pragma once
#include <QObject>
#include <QString>

class DeviceGroup;
class DeviceGroupManager;

// The group choice given at start: shows the named group and, when asked, fills it with
// the phones adb sees that are in no group yet and starts them once all are added.
class GroupStartup : public QObject
{
    Q_OBJECT

public:
    // False when no group has that name; the first group stays shown then. An empty name
    // keeps the shown group.
    static bool apply(DeviceGroupManager *manager, const QString &groupName, bool startAll);

private:
    GroupStartup(DeviceGroupManager *manager, DeviceGroup *group);
    void handleScanState();
    void startWhenAllJoined();

    DeviceGroupManager *m_manager;
    DeviceGroup *m_group;
};
