#pragma once
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One entry of adb's device list, or one phone reached through several of them (USB and
// Wi-Fi adb): entries are the same phone when their hardware serials match.
struct ADBDeviceInfo
{
    Q_GADGET
    Q_PROPERTY(QString adb_serial MEMBER adb_serial)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString product MEMBER product)
    Q_PROPERTY(bool is_usb_connection MEMBER is_usb_connection)
    Q_PROPERTY(int transport_id MEMBER transport_id)
    Q_PROPERTY(QString nickname MEMBER nickname)
    Q_PROPERTY(QString hardware_serial MEMBER hardware_serial)
    Q_PROPERTY(QStringList connections MEMBER connections)

public:
    QString nickname;
    QString adb_serial; // USB serial, or ip:port for Wi-Fi adb
    QString model;
    QString product;
    bool is_usb_connection = false;
    int transport_id = -1;
    QString hardware_serial; // ro.serialno; the adb serial when unknown
    QStringList connections; // every adb serial of the phone, adb_serial first

    bool operator==(const ADBDeviceInfo &other) const { return adb_serial == other.adb_serial; }
    bool operator!=(const ADBDeviceInfo &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(ADBDeviceInfo)
