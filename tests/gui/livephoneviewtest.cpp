// A virtual phone's live picture in a window, wired as the main scene wires a tile: the
// device's frames handed to the video item from QML, read back from the screen.
#include "controller.h"
#include "device.h"
#include "serverparams.h"
#include "testregistry.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "videoframefeed.h"
#include "virtualfleet.h"
#include "yuvtestpicture.h"

#include <QQuickItem>
#include <QQuickView>
#include <QtTest>

#include <memory>

namespace {
constexpr int kTolerance = 16;

// The colour the video item shows for what the phone painted: the phone signals limited-range
// BT.601 and the item applies the full-range matrix to it as it is.
QColor shownColour(int r, int g, int b)
{
    const int y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
    const int u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
    const int v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
    auto channel = [](double c) { return qBound(0, int(c + 0.5), 255); };
    return QColor(channel(y + 1.402 * (v - 128)),
                  channel(y - 0.344136 * (u - 128) - 0.714136 * (v - 128)),
                  channel(y + 1.772 * (u - 128)));
}

// What the virtual phone paints (tools/phonesim/screenpainter.h).
const QColor kStatusBar = shownColour(33, 98, 196);
const QColor kNavigationBar = shownColour(230, 126, 34);
const QColor kBackground = shownColour(40, 44, 52);
const QColor kTouchMark = shownColour(236, 0, 200);
} // namespace

class LivePhoneViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<VirtualFleet> m_fleet;

private slots:
    void initTestCase()
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{1, {1080, 2400}, 30});
        if (!m_fleet->isValid())
            QSKIP(qPrintable(m_fleet->errorString()));
        registerParvixTypes();
    }

    void cleanupTestCase() { m_fleet.reset(); }

    void showsThePhoneUpright()
    {
        Device device(nullptr, m_fleet->serials().value(0));
        device.serverParamsSmallView()->setMaxSize(622);

        QQuickView view;
        view.setColor(Qt::white);
        view.setInitialProperties({{"device", QVariant::fromValue<QObject *>(&device)}});
        QTemporaryDir qmlDir;
        QFile qml(qmlDir.filePath("LivePhone.qml"));
        QVERIFY(qml.open(QIODevice::WriteOnly));
        qml.write(R"(
            import QtQuick
            import Parvix 1.0
            Rectangle {
                id: root
                required property QtObject device
                width: 300; height: 640
                color: "white"
                YuvFboItem {
                    objectName: "video"; x: 10; y: 10; width: 280; height: 620
                    feed: root.device.videoFeed
                }
            })");
        qml.close();
        view.setSource(QUrl::fromLocalFile(qml.fileName()));
        QVERIFY2(view.status() == QQuickView::Ready, qPrintable(view.errors().value(0).toString()));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto *video = view.rootObject()->findChild<QQuickItem *>("video");
        QVERIFY(video);
        const QRect area = video->mapRectToScene(video->boundingRect()).toRect();

        device.startScrcpySession();
        QTRY_VERIFY_WITH_TIMEOUT(device.videoFeed()->publishedCount() >= 5 && device.controller(),
                                 20000);
        const QSize frame = device.frameSize();
        // A touch a quarter across and a third down leaves a mark there on the phone.
        device.controller()->handleMouseEvent(2, frame.width() / 4, frame.height() / 3, 1, 1,
                                              frame.width(), frame.height());
        device.controller()->handleMouseEvent(3, frame.width() / 4, frame.height() / 3, 1, 0,
                                              frame.width(), frame.height());

        const struct
        {
            const char *what;
            double fx, fy;
            QColor colour;
        } probes[] = {
            {"status bar", 0.5, 0.01, kStatusBar},
            {"background", 0.75, 0.45, kBackground},
            {"navigation bar", 0.5, 0.98, kNavigationBar},
            {"touch mark", 0.25, 1.0 / 3, kTouchMark},
        };
        auto shows = [&](const QImage &image) {
            for (const auto &probe : probes) {
                if (TestPicture::colourDistance(colourAt(image, area, probe.fx, probe.fy),
                                                probe.colour) > kTolerance)
                    return false;
            }
            return true;
        };
        // Wait for the touch mark to come back in the stream, then name what differs.
        QImage image;
        (void)QTest::qWaitFor(
            [&] {
                image = view.grabWindow();
                return shows(image);
            },
            15000);
        for (const auto &probe : probes) {
            const QColor seen = colourAt(image, area, probe.fx, probe.fy);
            QVERIFY2(TestPicture::colourDistance(seen, probe.colour) <= kTolerance,
                     qPrintable(QString("%1: saw %2, painted %3")
                                    .arg(probe.what, seen.name(), probe.colour.name())));
        }
        // The item stays inside its place in the window.
        QCOMPARE(image.pixelColor(area.left() - 5, area.center().y()), QColor(Qt::white));
        QCOMPARE(image.pixelColor(area.center().x(), area.bottom() + 5), QColor(Qt::white));
        device.stopScrcpySession();
    }
};

PARVIX_TEST(LivePhoneViewTest)
#include "livephoneviewtest.moc"
