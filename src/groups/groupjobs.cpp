#include "groupjobs.h"

#include "adbrunner.h"
#include "autojs.h"
#include "device.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

#include <memory>

namespace {
using Devices = QList<QPointer<Device>>;

Devices guarded(const QList<Device *> &devices)
{
    Devices result;
    for (Device *device : devices)
        result.append(device);
    return result;
}

// Watches one phone's work: `finish` is called once, by the first of the phone's verdict or
// its deletion; the watch (a child of the phone) then goes with its connections.
BatchJob::Finish watchPhone(Device *device, const BatchJob::Finish &finish, QObject **watch)
{
    auto *guard = new QObject(device);
    *watch = guard;
    const QPointer<QObject> weak(guard);
    BatchJob::Finish once = [weak, finish](const BatchJob::Outcome &outcome) {
        if (!weak || weak->property("ended").toBool())
            return;
        weak->setProperty("ended", true);
        weak->deleteLater();
        finish(outcome);
    };
    QObject::connect(device, &QObject::destroyed, guard, [once] {
        once({false, QCoreApplication::translate("GroupJobs", "The phone left the group"), {}});
    });
    return once;
}
} // namespace

namespace GroupJobs {

QString label(const Device *device)
{
    if (!device)
        return QString();
    const QString serial = device->adbConnectionSerial();
    return device->nickname().isEmpty() ? serial
                                        : QStringLiteral("%1 (%2)").arg(device->nickname(), serial);
}

QList<BatchJob::Target> targetsOf(const QList<Device *> &devices)
{
    QList<BatchJob::Target> targets;
    for (const Device *device : devices)
        targets.append({device ? device->adbConnectionSerial() : QString(), label(device)});
    return targets;
}

QStringList localFiles(const QList<QUrl> &urls)
{
    QStringList files;
    for (const QUrl &url : urls) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isFile())
            files.append(path);
    }
    return files;
}

bool isApk(const QString &path)
{
    return path.endsWith(QLatin1String(".apk"), Qt::CaseInsensitive);
}

QString reasonFrom(const QString &adbText)
{
    static const QRegularExpression wrapping(
        QStringLiteral("^\\[error\\] (adb command failed \\(exit code -?\\d+\\): )?"));
    QString text = adbText.trimmed();
    text.remove(wrapping);
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QCoreApplication::translate("GroupJobs", "No answer from adb")
                           : lines.first().trimmed();
}

BatchJob::Outcome transferToPhone(const QString &serial, const QStringList &files)
{
    for (const QString &file : files) {
        QString failure;
        const bool ok = isApk(file) ? ADBRunner::install(serial, file, &failure)
                                    : ADBRunner::push(serial, file, kUploadFolder, &failure);
        if (!ok)
            return {false,
                    QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(), reasonFrom(failure)),
                    {}};
    }
    return {true, {}, {}};
}

BatchJob::Outcome commandOnPhone(const QString &serial, const QString &input)
{
    const QString output = Device::runADBCommandLines(serial, input);
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!ADBRunner::isSuccess(line))
            return {false, reasonFrom(line), output};
    }
    return {true, {}, output};
}

BatchJob *transfer(const QList<Device *> &devices, const QStringList &files)
{
    if (files.isEmpty())
        return nullptr;
    const QString title =
        files.size() == 1
            ? (isApk(files.first()) ? QCoreApplication::translate("GroupJobs", "Install %1")
                                    : QCoreApplication::translate("GroupJobs", "Upload %1"))
                  .arg(QFileInfo(files.first()).fileName())
            : QCoreApplication::translate("GroupJobs", "Install or upload %1 files")
                  .arg(files.size());
    return new BatchJob(title, targetsOf(devices),
                        BatchJob::onAdbLane([files](const QString &serial) {
                            return transferToPhone(serial, files);
                        }));
}

BatchJob *adbCommand(const QList<Device *> &devices, const QString &input)
{
    return new BatchJob(QCoreApplication::translate("GroupJobs", "ADB command"), targetsOf(devices),
                        BatchJob::onAdbLane([input](const QString &serial) {
                            return commandOnPhone(serial, input);
                        }));
}

BatchJob *screenshot(const QList<Device *> &devices)
{
    const Devices phones = guarded(devices);
    return new BatchJob(
        QCoreApplication::translate("GroupJobs", "Screenshot"), targetsOf(devices),
        [phones](int row, const QString &, const BatchJob::Finish &finish) {
            Device *device = phones.value(row);
            if (!device) {
                finish({false,
                        QCoreApplication::translate("GroupJobs", "The phone left the group"),
                        {}});
                return;
            }
            QObject *watch = nullptr;
            const BatchJob::Finish once = watchPhone(device, finish, &watch);
            QObject::connect(device, &Device::screenshotFinished, watch,
                             [once](const QString &failure) {
                                 once({failure.isEmpty(), failure, {}});
                             });
            device->takeScreenshot();
        });
}

BatchJob *autojs(const QList<Device *> &devices, const QString &scriptPath)
{
    const Devices phones = guarded(devices);
    return new BatchJob(
        QCoreApplication::translate("GroupJobs", "Run AutoJS %1")
            .arg(QFileInfo(scriptPath).fileName()),
        targetsOf(devices),
        [phones, scriptPath](int row, const QString &, const BatchJob::Finish &finish) {
            Device *device = phones.value(row);
            if (!device || !device->controller() || !device->autojs()) {
                finish({false, QCoreApplication::translate("GroupJobs", "Not connected"), {}});
                return;
            }
            QObject *watch = nullptr;
            const BatchJob::Finish once = watchPhone(device, finish, &watch);
            // The first success or error after the launch is its verdict.
            QObject::connect(device->autojs(), &Autojs::userMessage, watch,
                             [once](const QString &message, UserMessage::Kind kind) {
                                 if (kind == UserMessage::Kind::Success)
                                     once({true, {}, {}});
                                 else if (kind == UserMessage::Kind::Error)
                                     once({false, message, {}});
                             });
            device->runAutojs(scriptPath);
        });
}

QString commandOutput(const QStringList &labels, const QStringList &outputs)
{
    QString output;
    for (int i = 0; i < outputs.size(); ++i) {
        output += QStringLiteral("Device %1: %2\n").arg(i + 1).arg(labels.value(i));
        output += QStringLiteral("--------------------------------\n");
        output += outputs.at(i);
        output += QStringLiteral("\n\n");
    }
    return output;
}

QString commandOutput(const BatchJob *job)
{
    QStringList labels;
    QStringList outputs;
    for (int row = 0; job && row < job->rowCount(); ++row) {
        labels << job->target(row).label;
        outputs << job->outcome(row).output;
    }
    return commandOutput(labels, outputs);
}

} // namespace GroupJobs
