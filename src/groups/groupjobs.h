#pragma once
// The group's batch operations as jobs: what each phone does, and how its result reads.
#include "batchjob.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class Device;

namespace GroupJobs {

// Where uploaded files land on the phone, as with a single phone's upload.
inline const QString kUploadFolder = QStringLiteral("/sdcard/Download");

// Names a phone: its nickname when it has one, and always its serial.
QString label(const Device *device);
QList<BatchJob::Target> targetsOf(const QList<Device *> &devices);

// Local files named by dropped or picked URLs (file:// of any platform); others are left out.
QStringList localFiles(const QList<QUrl> &urls);
bool isApk(const QString &path);
// The readable part of an adb failure text: its first line without the "[error]" wrapping.
QString reasonFrom(const QString &adbText);

// One phone's share of a transfer, on its adb lane: APKs installed, other files uploaded,
// in order; the first failure ends it.
BatchJob::Outcome transferToPhone(const QString &serial, const QStringList &files);
// Each line of `input` as one adb call on the phone; failed when any line failed.
BatchJob::Outcome commandOnPhone(const QString &serial, const QString &input);

BatchJob *transfer(const QList<Device *> &devices, const QStringList &files);
BatchJob *adbCommand(const QList<Device *> &devices, const QString &input);
BatchJob *screenshot(const QList<Device *> &devices);
BatchJob *autojs(const QList<Device *> &devices, const QString &scriptPath);

// Every phone's output in a block of its own, numbered in group order.
QString commandOutput(const QStringList &labels, const QStringList &outputs);
QString commandOutput(const BatchJob *job);

} // namespace GroupJobs
