#pragma once
// A phone's file system, kept on the computer under HOME/<serial>/fs. Only the places
// a shell user may write on a real phone (/data/local/tmp and shared storage) accept
// pushed files; every path is normalised first so no phone path can leave the folder.
#include <QString>
#include <QStringList>

struct FsResult
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

class DeviceFs
{
public:
    DeviceFs(const QString &home, const QString &phoneSerial);

    // Absolute, cleaned phone path with storage aliases resolved; empty when it would
    // climb above the root.
    static QString normalize(const QString &phonePath);
    QString hostPath(const QString &phonePath) const;
    bool isFile(const QString &phonePath) const;
    bool isDir(const QString &phonePath) const;
    static bool isWritable(const QString &phonePath);

    // adb push of one or more computer files or folders. failWrites simulates a phone
    // that refuses every write.
    FsResult push(const QStringList &localPaths, const QString &remote, bool failWrites) const;
    FsResult list(const QStringList &phonePaths, bool longFormat, bool showHidden) const;
    FsResult cat(const QStringList &phonePaths) const;

    // Creates the folders every phone has.
    static void createSkeleton(const QString &home, const QString &phoneSerial);

private:
    QString m_root;
};
