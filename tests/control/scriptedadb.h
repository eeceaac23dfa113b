#pragma once
// A stand-in adb for the control tests: records each call, copies pushed files into its
// folder, answers pm install with Success, and fails every call for a serial that contains
// "broken". Points ADBRunner at itself while it lives.
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

class ScriptedAdb
{
public:
    ScriptedAdb();
    ~ScriptedAdb();
    ScriptedAdb(const ScriptedAdb &) = delete;
    ScriptedAdb &operator=(const ScriptedAdb &) = delete;

    // One entry per call: the arguments joined with single spaces.
    QStringList calls() const;
    void clearCalls() { QFile::remove(m_dir.filePath("calls.log")); }
    // Where a pushed file landed (by file name).
    QString pushedFile(const QString &fileName) const
    {
        return m_dir.filePath("pushed/" + fileName);
    }

private:
    QTemporaryDir m_dir;
};
