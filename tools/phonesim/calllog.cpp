#include "calllog.h"

#include "processregistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

void CallLog::append(const QString &home, const ProcessEntry &call, std::optional<int> exitCode,
                     const QJsonObject &details)
{
    QJsonObject line{{"seq", double(call.seq)},
                     {"pid", double(call.pid)},
                     {"args", QJsonArray::fromStringList(call.args)},
                     {"exit", exitCode ? QJsonValue(*exitCode) : QJsonValue()},
                     {"startMs", double(call.startMs)},
                     {"ms", double(QDateTime::currentMSecsSinceEpoch() - call.startMs)}};
    for (auto it = details.begin(); it != details.end(); ++it)
        line.insert(it.key(), it.value());
    appendJsonLine(home + QStringLiteral("/adb.log"), line);
}

void CallLog::appendJsonLine(const QString &path, const QJsonObject &line)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}
