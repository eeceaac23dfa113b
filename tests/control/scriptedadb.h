#pragma once
// A stand-in adb for the control tests: records each call, copies pushed files into
// its folder, answers pm install with Success, and fails every call for a serial that
// contains "broken".
#include <QStringList>
#include <QTemporaryDir>

class ScriptedAdb
{
public:
    ScriptedAdb();  // points ADBRunner at the script
    ~ScriptedAdb(); // and back
    ScriptedAdb(const ScriptedAdb &) = delete;
    ScriptedAdb &operator=(const ScriptedAdb &) = delete;

    bool isValid() const { return m_valid; }
    // One entry per call: the arguments joined with single spaces.
    QStringList calls() const;
    void clearCalls();
    // Where a pushed file landed (by file name).
    QString pushedFile(const QString &fileName) const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
