#pragma once
// The key=value arguments of the phone-side server, read the way the server itself reads
// them: numbers must parse, booleans are "true" (any case) or false, unknown keys are
// reported and ignored.
#include <QString>
#include <QStringList>
#include <optional>

struct ServerOptions
{
    bool video = true;
    bool audio = true;
    bool control = true;
    int maxSize = 0;
    double maxFps = 0;
    int videoBitRate = 8000000;
    QString videoCodec = QStringLiteral("h264");
    QString audioCodec = QStringLiteral("opus");
    qint64 scid = -1; // -1: none, socket "scrcpy"
    bool clipboardAutosync = true;
    bool tunnelForward = false; // listen for the computer instead of connecting to it
    QStringList unknownKeys;

    // Everything after the version argument.
    static std::optional<ServerOptions> parse(const QStringList &arguments, QString *error);
    QString socketName() const;
};
