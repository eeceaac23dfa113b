#include "serverparams.h"

#include <QRandomGenerator>

ServerParams::ServerParams(QObject *parent)
    : QObject(parent), m_scid(int(QRandomGenerator::global()->generate64() & 0x7fffffff))
{}

QString ServerParams::scidHex() const
{
    return QStringLiteral("%1").arg(uint(m_scid), 8, 16, QLatin1Char('0'));
}

void ServerParams::setDeviceSerial(const QString &serial)
{
    if (m_deviceSerial == serial)
        return;
    m_deviceSerial = serial;
    emit deviceSerialChanged();
}

void ServerParams::setBitRate(int bitRate)
{
    if (m_bitRate == bitRate)
        return;
    m_bitRate = bitRate;
    emit bitRateChanged();
}

void ServerParams::setMaxSize(int maxSize)
{
    if (m_maxSize == maxSize)
        return;
    m_maxSize = maxSize;
    emit maxSizeChanged();
}

void ServerParams::setMaxFps(int maxFps)
{
    if (m_maxFps == maxFps)
        return;
    m_maxFps = maxFps;
    emit maxFpsChanged();
}

void ServerParams::setSocketName(const QString &name)
{
    if (m_socketName == name)
        return;
    m_socketName = name;
    emit socketNameChanged();
}

void ServerParams::setAudio(bool audio)
{
    if (m_audio == audio)
        return;
    m_audio = audio;
    emit audioChanged();
}
