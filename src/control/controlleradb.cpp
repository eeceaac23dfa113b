// The controller's slow work, done by adb instead of the control connection: power, installs,
// uploads and the wallpaper. None of it waits on the GUI thread.
#include "controller.h"

#include "adblane.h"
#include "adbrunner.h"
#include "controltarget.h"
#include "filenames.h"

#include <QDir>
#include <QFont>
#include <QFutureWatcher>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent>

void Controller::report(const QString &message, UserMessage::Kind kind)
{
    emit userMessage(message, kind);
}

void Controller::actionReboot()
{
    // On the phone's adb lane: the window does not wait for the phone to answer.
    if (!m_target)
        return;
    const QString serial = m_target->adbConnectionSerial();
    AdbLane::post(serial, [serial] { ADBRunner::reboot(serial); });
}

void Controller::actionShutdown()
{
    if (!m_target)
        return;
    const QString serial = m_target->adbConnectionSerial();
    AdbLane::post(serial, [serial] { ADBRunner::shutdown(serial); });
}

namespace {

// Runs an adb job on the phone pool and reports its outcome to the target. The watcher
// belongs to the target's object (the device), so the outcome still arrives when the
// session, and with it this controller, ends meanwhile.
void runAdbJob(QObject *owner, ControlTarget *target, std::function<bool()> job,
               const QString &successText, const QString &failureText,
               UserMessage::Kind failureKind)
{
    auto *watcher = new QFutureWatcher<bool>(owner);
    QObject::connect(watcher, &QFutureWatcher<bool>::finished, watcher,
                     [watcher, target, successText, failureText, failureKind] {
                         if (watcher->result())
                             target->showUserMessage(successText, UserMessage::Kind::Success);
                         else
                             target->showUserMessage(failureText, failureKind);
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run(ADBRunner::phonePool(), std::move(job)));
}

} // namespace

void Controller::installApk(QString apkPath)
{
    if (!m_target)
        return;
    m_target->showUserMessage(tr("Installing APK"), UserMessage::Kind::Progress);
    const QString serial = m_target->adbConnectionSerial();
    runAdbJob(
        parent(), m_target, [serial, apkPath] { return ADBRunner::install(serial, apkPath); },
        tr("APK installed"), tr("APK installation failed"), UserMessage::Kind::LastingError);
}

void Controller::uploadFile(QString filePath)
{
    if (!m_target) {
        report(tr("Not Connected"), UserMessage::Kind::Error);
        return;
    }
    const QString serial = m_target->adbConnectionSerial();
    runAdbJob(
        parent(), m_target,
        [serial, filePath] { return ADBRunner::push(serial, filePath, "/sdcard/Download"); },
        tr("File uploaded"), tr("File upload failed"), UserMessage::Kind::Error);
}

void Controller::setWallpaper(QString nickname, int width, int height)
{
    if (!m_target)
        return;
    QSize size(width, height);
    if (size.isEmpty())
        return; // the screen size is not known yet
    // The size comes from the phone: a huge one must not cost seconds and gigabytes.
    constexpr int kLongestSide = 4096;
    if (size.width() > kLongestSide || size.height() > kLongestSide)
        size = size.scaled(kLongestSide, kLongestSide, Qt::KeepAspectRatio).expandedTo({1, 1});
    const QString serial = m_target->adbConnectionSerial();
    (void)QtConcurrent::run(ADBRunner::workPool(), [serial, nickname, size] {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QDir().mkpath(desktop); // a fresh account may have no desktop folder yet
        const QString path =
            desktop + "/" + FileNames::fit(QStringLiteral("wallpaper_") + nickname, ".png");
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return;
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(QBrush(Qt::yellow), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setFont(QFont("Arial", 80, QFont::Bold, false));
        QRect textRect = image.rect();
        textRect.setTop(150);
        painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, nickname);
        painter.end();
        // A file that could not be written must not let an older wallpaper go to the phone.
        if (image.save(path))
            ADBRunner::pushWallpaper(serial, path);
    });
}
