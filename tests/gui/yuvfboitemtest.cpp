// The video item drawn by Qt Quick's OpenGL back end (Mesa's software renderer
// under Xvfb): colours, orientation, frame hand-over and texture reuse, read
// back from the window as a user would see it.
#include "yuvfboitem.h"
#include "testregistry.h"
#include "tileframeclock.h"
#include "videoframefeed.h"
#include "yuvtestpicture.h"

#include <QLoggingCategory>
#include <QQuickWindow>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <memory>

namespace {
constexpr int kTolerance = 8;
const QColor kBackground(Qt::white);

// Counts the renderer's texture allocations, which it logs at debug level.
std::atomic<int> allocations{0};
QtMessageHandler previousHandler = nullptr;

void countAllocations(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "parvix.media") == 0 &&
        message.startsWith("texture allocated")) {
        ++allocations;
        return;
    }
    previousHandler(type, context, message);
}

// Samples of the block picture, in fractions of the item: the top marker and the four blocks.
const QPointF kProbes[] = {{0.5, 1.0 / 16}, {0.25, 0.35}, {0.75, 0.35}, {0.25, 0.8}, {0.75, 0.8}};
} // namespace

class YuvFboItemTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QQuickWindow> m_window;
    YuvFboItem *m_item = nullptr;

    void present(const YuvTestPicture &p)
    {
        m_item->present(p.width, p.height, p.yTop(), p.yStep(), p.uTop(), p.uvStep(), p.vTop(),
                        p.uvStep());
    }

    QRect itemArea() const { return m_item->mapRectToScene(m_item->boundingRect()).toRect(); }

    void verifyPicture(const std::function<QColor(double, double)> &expectedAt)
    {
        QTRY_VERIFY(!TileFrameClock::of(m_window.get())->hasPending()); // frames go on its tick
        const QImage image = m_window->grabWindow();
        const QRect area = itemArea();
        QVERIFY(!image.isNull());
        for (const QPointF &probe : kProbes) {
            const QColor seen = image.pixelColor(area.x() + int(probe.x() * area.width()),
                                                 area.y() + int(probe.y() * area.height()));
            const QColor expected = expectedAt(probe.x(), probe.y());
            QVERIFY2(TestPicture::colourDistance(seen, expected) <= kTolerance,
                     qPrintable(QString("at (%1, %2): saw %3, expected %4")
                                    .arg(probe.x())
                                    .arg(probe.y())
                                    .arg(seen.name(), expected.name())));
        }
        // Nothing drawn outside the item.
        QCOMPARE(image.pixelColor(area.left() - 5, area.center().y()), kBackground);
        QCOMPARE(image.pixelColor(area.center().x(), area.bottom() + 5), kBackground);
    }
    void verifyBlocks()
    {
        // The block picture scaled to 1000 x 1000 tells what lies under each probe.
        verifyPicture([](double fx, double fy) {
            return YuvTestPicture::blocksAt(1000, 1000, int(fx * 1000), int(fy * 1000));
        });
    }
    void verifySolid(const QColor &expected)
    {
        verifyPicture([expected](double, double) { return expected; });
    }

private slots:
    void initTestCase()
    {
        // The item draws with OpenGL only; threaded rendering as on the user's
        // machine.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
        qputenv("QSG_RENDER_LOOP", "threaded");
        QLoggingCategory::setFilterRules("parvix.media.debug=true");
        previousHandler = qInstallMessageHandler(countAllocations);
    }

    void init()
    {
        m_window = std::make_unique<QQuickWindow>();
        m_window->setColor(kBackground);
        m_window->resize(220, 440);
        m_item = new YuvFboItem(m_window->contentItem());
        m_item->setPosition(QPointF(10, 20));
        m_item->setSize(QSizeF(200, 400));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(m_window->rendererInterface()->graphicsApi(), QSGRendererInterface::OpenGL);
    }

    void cleanup()
    {
        m_window.reset();
        m_item = nullptr;
    }

    void showsColoursUpright_data()
    {
        QTest::addColumn<QList<int>>(
            "picture"); // width, height, Y stride, chroma stride, bottom-up
        QTest::newRow("1080x2400 decoder strides") << QList<int>{1080, 2400, 1088, 544, 0};
        QTest::newRow("281x623 odd packed") << QList<int>{281, 623, 281, 141, 0};
        QTest::newRow("90x160 enlarged") << QList<int>{90, 160, 96, 48, 0};
        QTest::newRow("rows bottom-up") << QList<int>{280, 622, 288, 144, 1};
    }

    void showsColoursUpright()
    {
        QFETCH(QList<int>, picture);
        present(YuvTestPicture::blocks(picture[0], picture[1], picture[2], picture[3], picture[4]));
        verifyBlocks();
        // No new frame: the renderer must draw the one it holds into the new
        // framebuffer.
        m_item->setSize(QSizeF(150, 300));
        QTRY_COMPARE(itemArea().size(), QSize(150, 300));
        verifyBlocks();
    }

    void drawsOnlyTheNewestValidFrame()
    {
        // Black before the first frame, and after arguments that are no picture.
        const YuvTestPicture red = YuvTestPicture::solid(64, 64, QColor(200, 40, 40));
        m_item->present(0, 64, red.yTop(), 64, red.uTop(), 32, red.vTop(), 32);
        m_item->present(64, 64, red.yTop(), 64, nullptr, 32, red.vTop(), 32);
        verifySolid(Qt::black);

        // Two frames before the next render: the older one is never shown.
        present(red);
        present(YuvTestPicture::solid(32, 48, QColor(40, 180, 60)));
        verifySolid(QColor(40, 180, 60));

        // Bad arguments leave the picture alone.
        m_item->present(64, 0, red.yTop(), 64, red.uTop(), 32, red.vTop(), 32);
        m_item->present(64, 64, red.yTop(), 64, red.uTop(), 32, nullptr, 32);
        m_item->present(64, 64, red.yTop(), 63, red.uTop(), 32, red.vTop(), 32);
        verifySolid(QColor(40, 180, 60));

        // A dropped frame is never drawn; the one on screen stays.
        present(red);
        m_item->clearFrame();
        verifySolid(QColor(40, 180, 60));
    }

    void reallocatesTexturesOnlyWhenAPlaneChangesSize()
    {
        const QColor grey(128, 128, 128), yellow(230, 220, 40);
        const struct
        {
            YuvTestPicture picture;
            QColor solid;  // invalid for the block picture
            int allocated; // since the start
        } steps[] = {
            {YuvTestPicture::blocks(280, 622), {}, 3},
            {YuvTestPicture::solid(280, 622, grey), grey, 3},
            {YuvTestPicture::blocks(279, 622), {}, 4}, // chroma planes stay 140 x 311
            {YuvTestPicture::blocks(720, 1600, 768, 384), {}, 7},
            {YuvTestPicture::solid(720, 1600, yellow), yellow, 7},
            {YuvTestPicture::blocks(280, 622), {}, 10},
        };
        const int before = allocations.load();
        for (const auto &step : steps) {
            present(step.picture);
            if (step.solid.isValid())
                verifySolid(step.solid);
            else
                verifyBlocks();
            QCOMPARE(allocations.load() - before, step.allocated);
        }
    }

    void takesFramesWhileTheRenderThreadDraws()
    {
        // Frames of changing sizes arrive while Qt Quick keeps rendering; a frame
        // whose size and planes got mixed up would show up as wrong colours or a
        // crash.
        const YuvTestPicture sizes[] = {
            YuvTestPicture::blocks(280, 622),
            YuvTestPicture::blocks(279, 621, 288, 144),
            YuvTestPicture::blocks(720, 1600),
        };
        for (int frame = 0; frame < 300; ++frame) {
            present(sizes[frame % 3]);
            QCoreApplication::processEvents();
        }
        present(sizes[0]);
        verifyBlocks();
    }

    // Hidden, scrolled out of its view or in a hidden window, the item watches
    // nothing and uploads nothing; shown again, the newest frame at once.
    void followsItsFeedOnlyWhileShown()
    {
        // A grid's viewport clips; its content moves under it. The item sits in the
        // content.
        auto *viewport = new QQuickItem(m_window->contentItem());
        viewport->setClip(true);
        viewport->setSize(QSizeF(220, 440));
        auto *content = new QQuickItem(viewport);
        content->setSize(QSizeF(220, 2000));
        m_item->setParentItem(content);
        VideoFrameFeed feed;
        m_item->setFeed(&feed);
        QVERIFY(m_item->isShown());
        QCOMPARE(feed.watcherCount(), 1);
        QSignalSpy told(&feed, &VideoFrameFeed::frameAvailable);
        // Two frames before a render: only the newest is drawn.
        feed.publish(YuvTestPicture::solid(64, 64, QColor(200, 40, 40)).frame());
        feed.publish(YuvTestPicture::blocks(280, 622).frame());
        verifyBlocks();
        const int toldBefore = int(told.count());
        const QColor green(40, 180, 60);
        const auto nothingUploaded = [&] {
            const int before = allocations.load();
            for (int i = 0; i < 5; ++i)
                feed.publish(YuvTestPicture::solid(720, 1600, green).frame());
            QTRY_VERIFY(!TileFrameClock::of(m_window.get())->hasPending());
            m_window->grabWindow(); // the frames handed on have been rendered
            QCOMPARE(allocations.load(), before);
        };

        // Hidden (enlarged elsewhere): frames are not even uploaded.
        m_item->setVisible(false);
        nothingUploaded();
        m_item->setVisible(true);
        verifySolid(green);

        // Scrolled past: still visible as far as the item knows, but nowhere in
        // view. Its phone's frames wake nobody.
        feed.publish(YuvTestPicture::blocks(280, 622).frame());
        verifyBlocks();
        content->setY(-1000);
        QVERIFY(m_item->isVisible());
        QVERIFY(!m_item->isShown());
        QCOMPARE(feed.watcherCount(), 0);
        const int toldScrolled = int(told.count());
        nothingUploaded();
        QCOMPARE(told.count(), toldScrolled);
        QVERIFY(toldScrolled > toldBefore);

        // Partly back in view: the newest frame at once.
        content->setY(-300);
        QVERIFY(m_item->isShown());
        QCOMPARE(feed.watcherCount(), 1);
        content->setY(0);
        verifySolid(green);

        // A session that ended leaves black, not its last picture.
        feed.clear();
        verifySolid(Qt::black);

        // Its window hidden: nobody is shown anything either.
        m_window->hide();
        QVERIFY(!m_item->isShown());
        QCOMPARE(feed.watcherCount(), 0);
        m_item->setFeed(nullptr);
        QCOMPARE(feed.watcherCount(), 0);
    }

    void countsTheFramesItShows()
    {
        VideoFrameFeed feed;
        m_item->setFeed(&feed);
        QSignalSpy fpsChanged(m_item, &YuvFboItem::fpsChanged);
        QTimer phone; // a frame every 40 ms until the rate is told
        connect(&phone, &QTimer::timeout, this,
                [&] { feed.publish(YuvTestPicture::blocks(90, 160).frame()); });
        phone.start(40);
        QTRY_VERIFY_WITH_TIMEOUT(!fpsChanged.isEmpty(), 10000);
        phone.stop();
        QVERIFY2(m_item->fps() > 1, qPrintable(QString::number(m_item->fps())));
        // No more frames: the rate falls to zero.
        QTRY_COMPARE_WITH_TIMEOUT(m_item->fps(), 0.0, 3000);
    }
};

PARVIX_TEST(YuvFboItemTest)
#include "yuvfboitemtest.moc"
