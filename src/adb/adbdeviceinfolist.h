#pragma once
// Registration only: lets QML iterate a list of device-list entries like an array.
#include "adbdeviceinfo.h"

#include <QtQml/qqml.h>

struct ADBDeviceInfoList
{
    Q_GADGET
    QML_FOREIGN(QList<ADBDeviceInfo>)
    QML_ANONYMOUS
    QML_SEQUENTIAL_CONTAINER(ADBDeviceInfo)
};
