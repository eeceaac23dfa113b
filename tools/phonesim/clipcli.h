#pragma once
// Busy clips for the virtual phones: making one, and handing one to a phone to stream.
#include <QSize>
#include <QString>
#include <QStringList>

namespace ClipCli {

// phonesim make-clip --size WxH --out FILE [--fps F] [--bitrate BPS] [--seconds S]
//                    [--key-interval S]
int make(const QStringList &args);
// phonesim set-clip --home DIR SERIAL FILE|none
int set(const QStringList &args);
// The absolute path of a clip fit to stream, and its size; empty with the reason otherwise.
QString checkedClip(const QString &path, QSize *size, QString *error);

} // namespace ClipCli
