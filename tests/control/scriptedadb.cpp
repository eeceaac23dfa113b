#include "scriptedadb.h"

#include "adbrunner.h"

#include <QFile>

ScriptedAdb::ScriptedAdb()
{
    QFile script(m_dir.filePath("adb"));
    if (!script.open(QIODevice::WriteOnly))
        qFatal("scripted adb: cannot write %s", qPrintable(script.fileName()));
    script.write(QStringLiteral(R"(#!/bin/sh
printf '%s\n' "$*" >> '%1/calls.log'
case "$*" in
  *broken*) echo "error: device 'broken' not found" >&2; exit 1 ;;
esac
mkdir -p '%1/pushed'
if [ "$3" = push ]; then
  [ -e "$4" ] || { echo "adb: error: cannot stat '$4'" >&2; exit 1; }
  cp "$4" '%1/pushed/'
  echo "$4: 1 file pushed."
fi
case "$*" in
  *"pm install"*) echo Success ;;
esac
exit 0
)")
                     .arg(m_dir.path())
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ADBRunner::setExecutablePathForTesting(script.fileName());
}

ScriptedAdb::~ScriptedAdb()
{
    ADBRunner::setExecutablePathForTesting(QString());
}

QStringList ScriptedAdb::calls() const
{
    QFile log(m_dir.filePath("calls.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}
