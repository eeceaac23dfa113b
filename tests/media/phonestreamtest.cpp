// A real session with a virtual phone that draws its screen live: its H.264 stream through
// the launcher's sockets, the demuxer and the decoder into the device, and screenshots that
// must show what the phone drew.
#include "appconfig.h"
#include "controller.h"
#include "device.h"
#include "h264teststream.h"
#include "scrcpyserver.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "videodemuxer.h"
#include "videoframefeed.h"
#include "virtualfleet.h"

#include <QDir>
#include <QImageReader>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
// What the virtual phone paints (tools/phonesim/screenpainter.h).
const QColor kStatusBar(33, 98, 196);
const QColor kNavigationBar(230, 126, 34);
const QColor kBackground(40, 44, 52);
const QColor kTouchMark(236, 0, 200);

} // namespace

class PhoneStreamTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<Device> m_device;

    QString serial() const { return m_fleet->serials().value(0); }

private slots:
    void initTestCase()
    {
        AppConfig::instance(); // the settings store lives on the GUI thread
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{1, {1080, 2400}, 30});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
    }

    void cleanupTestCase()
    {
        if (m_device)
            m_device->stopScrcpySession();
        m_device.reset();
        m_fleet.reset();
    }

    void streamsFramesAndShootsWhatThePhoneDrew()
    {
        m_device = std::make_unique<Device>(nullptr, serial());
        m_device->serverParamsSmallView()->setMaxSize(720);
        QSignalSpy messages(m_device.get(), &Device::deviceMessage);
        const VideoFrameFeed *feed = m_device->videoFeed();
        bool shotEarly = false;
        // The device streams on after this function, until cleanupTestCase().
        QObject scope;

        m_device->startScrcpySession();
        QVERIFY(m_device->server());
        // A user who presses the button while the session starts: the decoder is there, no
        // picture yet.
        connect(m_device->server(), &ScrcpyServer::videoSocketConnected, &scope, [&] {
            shotEarly = feed->publishedCount() == 0;
            m_device->takeScreenshot();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 20000);
        QVERIFY(shotEarly);
        QCOMPARE(messages[0][0].toString(), QString("Screenshot Failed"));
        QCOMPARE(messages[0][1].toString(), QString("error"));
        QVERIFY(!m_device->isScreenShotting());

        // The picture flows, at the size the session asked for, and the device knows it.
        QTRY_VERIFY_WITH_TIMEOUT(feed->publishedCount() >= 10 && m_device->controller(), 20000);
        const QSize frame = m_device->frameSize();
        QCOMPARE(frame, QSize(feed->latest().width, feed->latest().height));
        QCOMPARE(QSize(m_device->videoDemuxer()->width(), m_device->videoDemuxer()->height()),
                 frame);
        QCOMPARE(qMax(frame.width(), frame.height()), 720);
        QVERIFY(qAbs(double(frame.width()) / frame.height() - 1080.0 / 2400) < 0.02);

        // A touch in the upper left leaves a mark there on the phone's screen.
        const QPoint touch(frame.width() / 4, frame.height() / 3);
        m_device->controller()->handleMouseEvent(2, touch.x(), touch.y(), 1, 1, frame.width(),
                                                 frame.height());
        m_device->controller()->handleMouseEvent(3, touch.x(), touch.y(), 1, 0, frame.width(),
                                                 frame.height());
        QTRY_COMPARE_WITH_TIMEOUT(m_fleet->controlTypes(serial()).count("inject_touch_event"), 2,
                                  10000);
        const quint64 seen = feed->publishedCount();
        QTRY_VERIFY_WITH_TIMEOUT(feed->publishedCount() >= seen + 10, 10000);

        const QDir folder(AppConfig::instance()->getScreenshotSavePath());
        const QStringList before = folder.entryList({"*.jpg"}, QDir::Files);
        messages.clear();
        m_device->takeScreenshot();
        QTRY_VERIFY_WITH_TIMEOUT(!messages.isEmpty(), 20000);
        QCOMPARE(messages[0][0].toString(),
                 "Screenshot Saved\n" + QDir::toNativeSeparators(folder.path()));
        QVERIFY(!m_device->isScreenShotting());

        QStringList files = folder.entryList({"*.jpg"}, QDir::Files);
        for (const QString &old : before)
            files.removeOne(old);
        QCOMPARE(files.size(), 1);
        const QRegularExpression name("^" + QRegularExpression::escape(serial()) +
                                      "_\\d{8}_\\d{6}_\\d{4}\\.jpg$");
        QVERIFY2(name.match(files[0]).hasMatch(), qPrintable(files[0]));
        QImage shot;
        {
            QImageReader reader(folder.filePath(files[0]));
            QCOMPARE(reader.format(), QByteArray("jpeg"));
            shot = reader.read().convertToFormat(QImage::Format_RGB32);
        }
        QFile::remove(folder.filePath(files[0]));
        QCOMPARE(shot.size(), frame);

        const int w = shot.width(), h = shot.height();
        const struct
        {
            const char *what;
            QRect area;
            QColor colour;
        } regions[] = {
            {"status bar", QRect(w / 4, 2, w / 2, h / 25 - 4), kStatusBar},
            {"navigation bar", QRect(w / 4, h - h / 16 + 4, w / 2, h / 16 - 8), kNavigationBar},
            {"background", QRect(w / 2, h * 2 / 5, w / 3, h / 10), kBackground},
            {"touch mark", QRect(touch - QPoint(2, 2), QSize(5, 5)), kTouchMark},
        };
        for (const auto &region : regions) {
            const QColor seen = TestPicture::meanColour(shot, region.area);
            QVERIFY2(TestPicture::colourDistance(seen, region.colour) < 24,
                     qPrintable(QString("%1: %2, drawn %3")
                                    .arg(region.what, seen.name(), region.colour.name())));
        }
    }
};

PARVIX_TEST(PhoneStreamTest)
#include "phonestreamtest.moc"
