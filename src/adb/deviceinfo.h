#pragma once
#include <QMetaType>
#include <QSize>
#include <QString>

// Properties of one phone as read through adb. A failed query leaves adb's
// "[error]" text in its field.
struct DeviceInfo
{
    Q_GADGET
    Q_PROPERTY(QString manufacturer MEMBER manufacturer)
    Q_PROPERTY(QString model MEMBER model)
    Q_PROPERTY(QString ddr_size MEMBER ddr_size)
    Q_PROPERTY(QString build_version MEMBER build_version)
    Q_PROPERTY(QString hardward_serial MEMBER hardward_serial)
    Q_PROPERTY(QString build_fingerprint MEMBER build_fingerprint)
    Q_PROPERTY(QString country_code MEMBER country_code)
    Q_PROPERTY(QString sales_code MEMBER sales_code)
    Q_PROPERTY(QString gsm_operator_alpha MEMBER gsm_operator_alpha)
    Q_PROPERTY(QString adb_tcp_port MEMBER adb_tcp_port)
    Q_PROPERTY(QString usb_config MEMBER usb_config)
    Q_PROPERTY(QSize screen_size MEMBER screen_size)

public:
    QString manufacturer;
    QString model;
    QString ddr_size;
    QString build_version;
    QString hardward_serial;
    QString build_fingerprint;
    QString country_code;
    QString sales_code;
    QString gsm_operator_alpha;
    QString adb_tcp_port;
    QString usb_config;
    QSize screen_size{-1, -1}; // invalid until read

    bool operator==(const DeviceInfo &other) const;
    bool operator!=(const DeviceInfo &other) const { return !(*this == other); }
};

inline bool DeviceInfo::operator==(const DeviceInfo &other) const
{
    return manufacturer == other.manufacturer && model == other.model &&
           ddr_size == other.ddr_size && build_version == other.build_version &&
           hardward_serial == other.hardward_serial &&
           build_fingerprint == other.build_fingerprint && country_code == other.country_code &&
           sales_code == other.sales_code && gsm_operator_alpha == other.gsm_operator_alpha &&
           adb_tcp_port == other.adb_tcp_port && usb_config == other.usb_config &&
           screen_size == other.screen_size;
}

Q_DECLARE_METATYPE(DeviceInfo)
