// The video item as drawn by OpenGL and read back, and the copying of decoder planes.
#include "yuvvideoitem.h"
#include "h264teststream.h" // TestPicture::colourDistance
#include "testregistry.h"
#include "tileframeclock.h"
#include "videoframefeed.h"
#include "yuvframe.h"

#include <QQuickWindow>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cmath>

extern "C" {
#include <libavutil/frame.h>
}

// YUV420P test pictures of known colours, padded or stored bottom-up as decoders hand them over.
struct YuvTestPicture
{
    int width = 0, height = 0, strideY = 0, strideUV = 0;
    bool bottomUp = false; // rows stored last-first, handed over with negative strides
    QByteArray y, u, v;

    // Chroma from each 2x2 block's top-left pixel; padding would show magenta-green if ever read.
    static YuvTestPicture make(int width, int height, int strideY, int strideUV,
                               const std::function<QColor(int, int)> &colourAt,
                               bool bottomUp = false)
    {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        const int sy = std::max(strideY, width), suv = std::max(strideUV, cw);
        const QByteArray chroma(qsizetype(suv) * ch, char(255));
        YuvTestPicture p{width,  height,   sy,
                         suv,    bottomUp, QByteArray(qsizetype(sy) * height, char(0)),
                         chroma, chroma};
        const auto row = [bottomUp](int r, int rows) {
            return qsizetype(bottomUp ? rows - 1 - r : r);
        };
        // Y, U or V of a pixel in full-range BT.601, computed independently of the renderer.
        const auto yuv = [&](int x, int y, int channel) {
            const QColor c = colourAt(x, y);
            const double luma = 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
            const double value[] = {luma, (c.blue() - luma) / 1.772 + 128,
                                    (c.red() - luma) / 1.402 + 128};
            return char(std::clamp(std::lround(value[channel]), 0L, 255L));
        };
        for (int r = 0; r < height; ++r)
            for (int x = 0; x < width; ++x)
                p.y[row(r, height) * p.strideY + x] = yuv(x, r, 0);
        for (int r = 0; r < ch; ++r)
            for (int x = 0; x < cw; ++x) {
                p.u[row(r, ch) * p.strideUV + x] = yuv(2 * x, 2 * r, 1);
                p.v[row(r, ch) * p.strideUV + x] = yuv(2 * x, 2 * r, 2);
            }
        return p;
    }

    // A yellow band over the top eighth; below it red | green over blue | grey.
    static QColor blocksAt(int width, int height, int x, int y)
    {
        if (y < height / 8)
            return QColor(230, 220, 40);
        const bool left = x < width / 2;
        if (y < height / 8 + (height - height / 8) / 2)
            return left ? QColor(200, 40, 40) : QColor(40, 180, 60);
        return left ? QColor(40, 60, 200) : QColor(128, 128, 128);
    }
    static YuvTestPicture blocks(int width, int height, int strideY = 0, int strideUV = 0,
                                 bool bottomUp = false)
    {
        return make(
            width, height, strideY, strideUV,
            [width, height](int x, int y) { return blocksAt(width, height, x, y); }, bottomUp);
    }
    static YuvTestPicture solid(int width, int height, const QColor &colour)
    {
        return make(width, height, 0, 0, [colour](int, int) { return colour; });
    }

    // Arguments of present() and copyPacked(): each plane's top row and its signed stride.
    template<typename F> auto handOver(F &&to) const
    {
        const int sy = bottomUp ? -strideY : strideY, suv = bottomUp ? -strideUV : strideUV;
        const auto top = [](const QByteArray &plane, int step) {
            const auto *data = reinterpret_cast<const uint8_t *>(plane.constData());
            return step < 0 ? data + plane.size() + step : data;
        };
        return to(width, height, top(y, sy), sy, top(u, suv), suv, top(v, suv), suv);
    }
    YuvFrame frame() const { return handOver(YuvFrame::copyPacked); }
};

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

class YuvVideoItemTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QQuickWindow> m_window;
    YuvVideoItem *m_item = nullptr;

    void present(const YuvTestPicture &p)
    {
        p.handOver([this](auto... args) { m_item->present(args...); });
    }

    QRect itemArea() const { return m_item->mapRectToScene(m_item->boundingRect()).toRect(); }

    // The solid colour, else the block picture (scaled to 1000 x 1000) under each probe.
    void verifyPicture(const QColor &solid = {})
    {
        QTRY_VERIFY(!TileFrameClock::of(m_window.get())->hasPending()); // frames go on its tick
        const QImage image = m_window->grabWindow();
        const QRect area = itemArea();
        for (const QPointF &probe : kProbes) {
            const QColor seen = image.pixelColor(area.x() + int(probe.x() * area.width()),
                                                 area.y() + int(probe.y() * area.height()));
            const QColor expected =
                solid.isValid() ? solid
                                : YuvTestPicture::blocksAt(1000, 1000, int(probe.x() * 1000),
                                                           int(probe.y() * 1000));
            QVERIFY2(TestPicture::colourDistance(seen, expected) <= kTolerance,
                     qPrintable(seen.name() + " instead of " + expected.name()));
        }
        QCOMPARE(image.pixelColor(area.left() - 5, area.center().y()), kBackground);
        QCOMPARE(image.pixelColor(area.center().x(), area.bottom() + 5), kBackground);
    }

private slots:
    void initTestCase()
    {
        // The item draws with OpenGL only; threaded rendering as on the user's machine.
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
        m_item = new YuvVideoItem(m_window->contentItem());
        m_item->setPosition(QPointF(10, 20));
        m_item->setSize(QSizeF(200, 400));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    // The newest valid frame, upright whatever the strides, sizes or row order; textures per size.
    void drawsTheNewestValidFrameReallocatingOnlyWhenAPlaneChangesSize()
    {
        verifyPicture(Qt::black); // before the first frame

        // Two frames before the next render: the older one is never shown.
        const YuvTestPicture red = YuvTestPicture::solid(64, 64, QColor(200, 40, 40));
        present(red);
        present(YuvTestPicture::solid(32, 48, QColor(40, 180, 60)));
        verifyPicture(QColor(40, 180, 60));

        // Bad arguments (see copyPacked) leave the picture alone.
        const auto *plane = reinterpret_cast<const uint8_t *>(red.y.constData());
        m_item->present(64, 64, plane, 64, plane, 32, nullptr, 32);
        verifyPicture(QColor(40, 180, 60));

        // A dropped frame is never drawn; the one on screen stays.
        present(red);
        m_item->clearFrame();
        verifyPicture(QColor(40, 180, 60));

        const QColor grey(128, 128, 128);
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
            {YuvTestPicture::blocks(280, 622, 288, 144, true), {}, 10}, // rows bottom-up
            {YuvTestPicture::blocks(281, 623, 281, 141), {}, 13},
            {YuvTestPicture::blocks(90, 160, 96, 48), {}, 16}, // enlarged
        };
        const int before = allocations.load();
        for (const auto &step : steps) {
            present(step.picture);
            verifyPicture(step.solid);
            QCOMPARE(allocations.load() - before, step.allocated);
        }
        // No new frame: the picture it holds is drawn again at the new size.
        m_item->setSize(QSizeF(150, 300));
        QTRY_COMPARE(itemArea().size(), QSize(150, 300));
        verifyPicture();
        QSignalSpy swapped(m_window.get(), &QQuickWindow::frameSwapped);
        m_window->resize(300, 500); // nor does a window that grows around it
        QTRY_VERIFY(m_window->size() == QSize(300, 500) && swapped.count() > 0);
        verifyPicture();
    }

    // Hidden, scrolled away or window hidden: no watching, no upload; shown, the newest at once.
    void followsItsFeedOnlyWhileShown()
    {
        // A grid's viewport clips; its content, holding the item, moves under it.
        auto *viewport = new QQuickItem(m_window->contentItem());
        viewport->setClip(true);
        viewport->setSize(QSizeF(220, 440));
        auto *content = new QQuickItem(viewport);
        content->setSize(QSizeF(220, 2000));
        m_item->setParentItem(content);
        VideoFrameFeed feed;
        m_item->setFeed(&feed);
        QSignalSpy told(&feed, &VideoFrameFeed::frameAvailable);
        const QColor green(40, 180, 60);
        const auto whileNotShown = [&](const std::function<void(bool)> &hide) {
            feed.publish(YuvTestPicture::solid(64, 64, QColor(200, 40, 40)).frame());
            feed.publish(YuvTestPicture::blocks(280, 622).frame());
            verifyPicture();
            hide(true);
            QVERIFY(!m_item->isShown());
            QCOMPARE(feed.watcherCount(), 0);
            const int before = allocations.load(), toldBefore = int(told.count());
            QVERIFY(toldBefore > 0);
            for (int i = 0; i < 5; ++i)
                feed.publish(YuvTestPicture::solid(720, 1600, green).frame());
            QTRY_VERIFY(!TileFrameClock::of(m_window.get())->hasPending());
            m_window->grabWindow(); // the frames handed on have been rendered
            QCOMPARE(allocations.load(), before);
            QCOMPARE(told.count(), toldBefore); // its phone's frames wake nobody
            hide(false);
            QVERIFY(m_item->isShown());
            QCOMPARE(feed.watcherCount(), 1);
            content->setY(0);
            verifyPicture(green);
        };
        // Hidden (enlarged elsewhere), then shown again.
        whileNotShown([&](bool hidden) { m_item->setVisible(!hidden); });
        // Scrolled past (still visible as far as the item knows), then partly back in view.
        whileNotShown([&](bool hidden) { content->setY(hidden ? -1000 : -300); });

        // The viewport's clip cuts the picture inside the window too.
        viewport->setHeight(200);
        const QImage clipped = m_window->grabWindow();
        QCOMPARE(clipped.pixelColor(110, 300), kBackground);
        QVERIFY(TestPicture::colourDistance(clipped.pixelColor(110, 100), green) <= kTolerance);
        viewport->setHeight(440);

        // A session that ended leaves black, not its last picture.
        feed.clear();
        verifyPicture(Qt::black);
        m_item->setFeed(nullptr); // a shown tile handed another feed stops watching the old one
        QCOMPARE(feed.watcherCount(), 0);
        m_item->setFeed(&feed);

        m_window->hide();
        QVERIFY(!m_item->isShown());
        QCOMPARE(feed.watcherCount(), 0);
    }

    void countsTheFramesItShows()
    {
        VideoFrameFeed feed;
        m_item->setFeed(&feed);
        QSignalSpy fpsChanged(m_item, &YuvVideoItem::fpsChanged);
        QTimer phone; // a frame every 40 ms until the rate is told
        connect(&phone, &QTimer::timeout, this,
                [&] { feed.publish(YuvTestPicture::blocks(90, 160).frame()); });
        phone.start(40);
        QTRY_VERIFY_WITH_TIMEOUT(!fpsChanged.isEmpty(), 10000);
        phone.stop();
        QVERIFY2(m_item->fps() > 1, qPrintable(QString::number(m_item->fps())));
        QTRY_COMPARE_WITH_TIMEOUT(m_item->fps(), 0.0, 3000);
    }

    // An update asked for while the render thread draws would block the GUI thread in Qt Quick's
    // sync: the tiles' clock holds it until the swap, or until a lost swap is given up.
    void holdsWindowUpdatesWhileTheRenderThreadDraws_data()
    {
        QTest::addColumn<bool>("swapComes");
        QTest::newRow("until the swap") << true;
        QTest::newRow("until a lost swap is given up") << false;
    }
    void holdsWindowUpdatesWhileTheRenderThreadDraws()
    {
        QFETCH(bool, swapComes);
        // Installed before the clock's filter, so called after it: sees what the clock lets by.
        struct Counter : QObject
        {
            int requests = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                requests += event->type() == QEvent::UpdateRequest;
                return false;
            }
        } reached;
        m_window->installEventFilter(&reached);
        TileFrameClock *clock = TileFrameClock::of(m_window.get());
        VideoFrameFeed feed;
        m_item->setFeed(&feed);
        QTest::qWait(100); // the window's first frames are done

        // Idle render thread: requests go through at once, also after a frame that changed nothing.
        const quint64 heldAtStart = clock->heldUpdates();
        for (int request = 1; request <= 2; ++request) {
            m_window->requestUpdate();
            QTRY_COMPARE(reached.requests, request);
            QTest::qWait(50);
        }
        QCOMPARE(clock->heldUpdates(), heldAtStart);
        reached.requests = 0;

        emit m_window->afterSynchronizing(); // a frame is being drawn
        feed.publish(YuvTestPicture::blocks(90, 160).frame());
        QTRY_COMPARE(clock->heldUpdates(), heldAtStart + 1);
        QVERIFY(clock->holdsUpdate());
        QCOMPARE(reached.requests, 0);
        QTest::qWait(40);
        if (swapComes) {
            emit m_window->frameSwapped();
            QCoreApplication::sendPostedEvents(clock); // the swap as the GUI thread hears it
            QVERIFY(!clock->holdsUpdate());
        }
        QTRY_VERIFY(reached.requests >= 1);
        QVERIFY(!clock->holdsUpdate());
        // The frame waited all that time: the pipeline is told it reached the screen late.
        QTRY_VERIFY2(feed.showDelayMs() >= 40, qPrintable(QString::number(feed.showDelayMs())));
    }

    // Packed planes drop the decoder's padding; arguments that describe no picture give none.
    void copyPacked_data()
    {
        // Width, height, Y stride, chroma stride, the null plane (-1 none, 0 Y, 1 U, 2 V), valid.
        QTest::addColumn<QList<int>>("args");
        const int huge = YuvFrame::kMaxDimension + 1;
        QTest::newRow("1079x2399 odd") << QList<int>{1079, 2399, 1088, 544, -1, 1};
        QTest::newRow("1x1") << QList<int>{1, 1, 1, 1, -1, 1};
        QTest::newRow("width 0") << QList<int>{0, 10, 16, 8, -1, 0};
        QTest::newRow("height 0") << QList<int>{10, 0, 16, 8, -1, 0};
        QTest::newRow("null Y") << QList<int>{10, 10, 16, 8, 0, 0};
        QTest::newRow("null U") << QList<int>{10, 10, 16, 8, 1, 0};
        QTest::newRow("null V") << QList<int>{10, 10, 16, 8, 2, 0};
        QTest::newRow("Y stride shorter than a row") << QList<int>{10, 10, 9, 8, -1, 0};
        QTest::newRow("chroma stride shorter than a row") << QList<int>{11, 10, 16, 5, -1, 0};
        QTest::newRow("absurd width") << QList<int>{huge, 2, huge, huge / 2 + 1, -1, 0};
    }
    void copyPacked()
    {
        QFETCH(QList<int>, args);
        const int width = args[0], height = args[1], strideY = args[2], strideUV = args[3];
        const int nullPlane = args[4];
        const bool valid = args[5];
        // Big enough for every row, so a wrong acceptance would not crash the test.
        const QByteArray filler(3 * (YuvFrame::kMaxDimension + 1), char(100));
        const YuvTestPicture source =
            valid ? YuvTestPicture::blocks(width, height, strideY, strideUV) : YuvTestPicture();
        const auto data = [&](int index, const QByteArray &plane) {
            return index == nullPlane
                       ? nullptr
                       : reinterpret_cast<const uint8_t *>((valid ? plane : filler).constData());
        };
        const YuvFrame frame =
            YuvFrame::copyPacked(width, height, data(0, source.y), strideY, data(1, source.u),
                                 strideUV, data(2, source.v), strideUV);
        QCOMPARE(frame.isValid(), valid);
        QCOMPARE(bool(frame.storage), valid);
        if (!valid)
            return;
        const YuvTestPicture packed = YuvTestPicture::blocks(width, height);
        QCOMPARE(
            QList<int>({frame.width, frame.height, frame.strides[YuvFrame::PlaneY],
                        frame.strides[YuvFrame::PlaneU], frame.strides[YuvFrame::PlaneV],
                        frame.planeHeight(YuvFrame::PlaneU)}),
            QList<int>({width, height, width, packed.strideUV, packed.strideUV, (height + 1) / 2}));
        const QByteArray planes[] = {packed.y, packed.u, packed.v};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.planes[i]), planes[i].size()),
                     planes[i]);
    }

    void decodedFramesAreSharedNotCopied()
    {
        AVFrame *decoded = TestPicture::makeFrame(QSize(90, 160), 0);
        QVERIFY(decoded);
        const uint8_t corner = decoded->data[0][159 * decoded->linesize[0] + 89];
        YuvFrame shared = YuvFrame::share(decoded);
        QVERIFY(shared.isValid());
        // The decoder's own frame goes away; the shared planes stay readable.
        av_frame_free(&decoded);
        QCOMPARE(shared.planes[YuvFrame::PlaneY][159 * shared.strides[0] + 89], corner);
        // Anything but planar 4:2:0 is not drawn by the item.
        decoded = av_frame_alloc();
        decoded->format = AV_PIX_FMT_RGB24;
        decoded->width = decoded->height = 4;
        QVERIFY(av_frame_get_buffer(decoded, 0) == 0 && !YuvFrame::share(decoded).isValid());
        av_frame_free(&decoded);
    }
};

PARVIX_TEST(YuvVideoItemTest)
#include "yuvvideoitemtest.moc"
