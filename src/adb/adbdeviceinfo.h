#pragma once
#include <QList>
#include <QMetaType>
#include <QString>

// One entry of adb's device list. Entries are the same phone when their serials match.
struct ADBDeviceInfo
{
    Q_GADGET
    Q_PROPERTY(QString adb_serial MEMBER adb_serial)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString product MEMBER product)
    Q_PROPERTY(bool is_usb_connection MEMBER is_usb_connection)
    Q_PROPERTY(int transport_id MEMBER transport_id)
    Q_PROPERTY(QString nickname MEMBER nickname)

public:
    QString nickname;
    QString adb_serial; // USB serial, or ip:port for Wi-Fi adb
    QString model;
    QString product;
    bool is_usb_connection = false;
    int transport_id = -1;

    bool operator==(const ADBDeviceInfo &other) const { return adb_serial == other.adb_serial; }
    bool operator!=(const ADBDeviceInfo &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(ADBDeviceInfo)
