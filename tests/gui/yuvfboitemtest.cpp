// The video item drawn by Qt Quick's OpenGL back end (Mesa's software renderer
// under Xvfb): colours, orientation, frame hand-over and texture reuse, read
// back from the window as a user would see it.
#include "yuvfboitem.h"
#include "testregistry.h"
#include "typeregistration.h"
#include "yuvtestpicture.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QtTest>
#include <memory>

namespace {
constexpr int kTolerance = 8;
const QColor kBackground(Qt::white);

// Counts the renderer's texture allocations, which it logs at debug level.
QMutex allocationMutex;
int allocationCount = 0;
QtMessageHandler previousHandler = nullptr;

void countAllocations(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "parvix.videoitem") == 0 &&
        message.startsWith("texture allocated")) {
        QMutexLocker lock(&allocationMutex);
        ++allocationCount;
        return;
    }
    previousHandler(type, context, message);
}

int allocations()
{
    QMutexLocker lock(&allocationMutex);
    return allocationCount;
}

void present(YuvFboItem *item, const YuvTestPicture &picture)
{
    item->present(picture.width, picture.height, picture.yTop(), picture.yStep(), picture.uTop(),
                  picture.uvStep(), picture.vTop(), picture.uvStep());
}

// Samples of the block picture: (fx, fy) in the item and the pixel of the frame there.
struct Probe
{
    const char *name;
    double fx;
    double fy;
};
const Probe kProbes[] = {
    {"top marker", 0.5, 1.0 / 16}, {"upper left", 0.25, 0.35}, {"upper right", 0.75, 0.35},
    {"lower left", 0.25, 0.8},     {"lower right", 0.75, 0.8},
};
} // namespace

// Emits frames the way a device does, so QML can forward them.
class FrameSource : public QObject
{
    Q_OBJECT
public:
    void send(const YuvTestPicture &picture)
    {
        emit yuvFrameReady(picture.width, picture.height, picture.yTop(), picture.yStep(),
                           picture.uTop(), picture.uvStep(), picture.vTop(), picture.uvStep());
    }
signals:
    void yuvFrameReady(int width, int height, const uint8_t *yData, int yStride,
                       const uint8_t *uData, int uStride, const uint8_t *vData, int vStride);
};

class YuvFboItemTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showsBlackBeforeTheFirstFrame();
    void showsColoursUpright_data();
    void showsColoursUpright();
    void drawsOnlyTheNewestFrame();
    void reallocatesTexturesOnlyWhenAPlaneChangesSize();
    void keepsThePictureWhenTheItemResizes();
    void takesFramesWhileTheRenderThreadDraws();
    void qmlForwardsDeviceFrames();

private:
    QImage grab(const QString &tag);
    void verifyPicture(const QImage &image, const QRect &area,
                       const std::function<QColor(double, double)> &expectedAt);
    void verifyBlocks(const QImage &image, const QRect &area);
    void verifySolid(const QImage &image, const QRect &area, const QColor &expected);
    QRect itemArea() const { return m_item->mapRectToScene(m_item->boundingRect()).toRect(); }

    std::unique_ptr<QQuickWindow> m_window;
    YuvFboItem *m_item = nullptr;
};

void YuvFboItemTest::initTestCase()
{
    // The item draws with OpenGL only; threaded rendering as on the user's machine.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    qputenv("QSG_RENDER_LOOP", "threaded");
    QLoggingCategory::setFilterRules("parvix.videoitem.debug=true");
    previousHandler = qInstallMessageHandler(countAllocations);
}

void YuvFboItemTest::init()
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

void YuvFboItemTest::cleanup()
{
    m_window.reset();
    m_item = nullptr;
}

QImage YuvFboItemTest::grab(const QString &tag)
{
    QImage image = m_window->grabWindow();
    const QString folder = qEnvironmentVariable("PARVIX_GRAB_DIR");
    if (!folder.isEmpty()) {
        QString name = QString(QTest::currentTestFunction()) + "_" + tag;
        if (QTest::currentDataTag())
            name += QString("_") + QTest::currentDataTag();
        name.replace(QRegularExpression("[^A-Za-z0-9_]"), "_");
        image.save(folder + "/" + name + ".png");
    }
    return image;
}

void YuvFboItemTest::verifyPicture(const QImage &image, const QRect &area,
                                   const std::function<QColor(double, double)> &expectedAt)
{
    QVERIFY(!image.isNull());
    for (const Probe &probe : kProbes) {
        const QColor seen = colourAt(image, area, probe.fx, probe.fy);
        const QColor expected = expectedAt(probe.fx, probe.fy);
        QVERIFY2(
            colourDistance(seen, expected) <= kTolerance,
            qPrintable(
                QString("%1: saw %2, expected %3").arg(probe.name, seen.name(), expected.name())));
    }
    // Nothing drawn outside the item.
    QCOMPARE(image.pixelColor(area.left() - 5, area.center().y()), kBackground);
    QCOMPARE(image.pixelColor(area.center().x(), area.bottom() + 5), kBackground);
}

void YuvFboItemTest::verifyBlocks(const QImage &image, const QRect &area)
{
    // The block picture scaled to 1000 x 1000 tells what lies under each probe.
    verifyPicture(image, area, [](double fx, double fy) {
        return YuvTestPicture::blocksAt(1000, 1000, int(fx * 1000), int(fy * 1000));
    });
}

void YuvFboItemTest::verifySolid(const QImage &image, const QRect &area, const QColor &expected)
{
    verifyPicture(image, area, [expected](double, double) { return expected; });
}

void YuvFboItemTest::showsBlackBeforeTheFirstFrame()
{
    const QImage image = grab("empty");
    const QRect area = itemArea();
    for (int y = area.top(); y <= area.bottom(); y += 7)
        for (int x = area.left(); x <= area.right(); x += 7)
            QCOMPARE(image.pixelColor(x, y), QColor(Qt::black));
    QCOMPARE(image.pixelColor(area.right() + 3, area.top()), kBackground);

    // Nothing to draw from arguments that are no picture.
    const YuvTestPicture picture = YuvTestPicture::solid(16, 16, Qt::red);
    m_item->present(0, 16, picture.yTop(), 16, picture.uTop(), 8, picture.vTop(), 8);
    m_item->present(16, 16, picture.yTop(), 16, nullptr, 8, picture.vTop(), 8);
    verifySolid(grab("invalid"), area, Qt::black);
}

void YuvFboItemTest::showsColoursUpright_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("strideY");
    QTest::addColumn<int>("strideUV");
    QTest::addColumn<bool>("bottomUp");
    QTest::newRow("280x622 packed") << 280 << 622 << 280 << 140 << false;
    QTest::newRow("720x1600 padded") << 720 << 1600 << 768 << 384 << false;
    QTest::newRow("1080x2400 decoder strides") << 1080 << 2400 << 1088 << 544 << false;
    QTest::newRow("1079x2399 odd") << 1079 << 2399 << 1088 << 544 << false;
    QTest::newRow("281x623 odd packed") << 281 << 623 << 281 << 141 << false;
    QTest::newRow("90x160 enlarged") << 90 << 160 << 96 << 48 << false;
    QTest::newRow("rows bottom-up") << 280 << 622 << 288 << 144 << true;
}

void YuvFboItemTest::showsColoursUpright()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, strideY);
    QFETCH(int, strideUV);
    QFETCH(bool, bottomUp);

    present(m_item, YuvTestPicture::blocks(width, height, strideY, strideUV, bottomUp));
    verifyBlocks(grab("blocks"), itemArea());
}

void YuvFboItemTest::drawsOnlyTheNewestFrame()
{
    const QRect area = itemArea();
    present(m_item, YuvTestPicture::solid(64, 64, QColor(40, 60, 200)));
    verifySolid(grab("first"), area, QColor(40, 60, 200));

    // Two frames before the next render: the older one is never shown.
    present(m_item, YuvTestPicture::solid(64, 64, QColor(200, 40, 40)));
    present(m_item, YuvTestPicture::solid(32, 48, QColor(40, 180, 60)));
    verifySolid(grab("newest"), area, QColor(40, 180, 60));

    // Bad arguments leave the picture alone.
    const YuvTestPicture red = YuvTestPicture::solid(64, 64, QColor(200, 40, 40));
    m_item->present(64, 0, red.yTop(), 64, red.uTop(), 32, red.vTop(), 32);
    m_item->present(64, 64, red.yTop(), 64, red.uTop(), 32, nullptr, 32);
    m_item->present(64, 64, red.yTop(), 63, red.uTop(), 32, red.vTop(), 32);
    verifySolid(grab("invalid"), area, QColor(40, 180, 60));

    // A dropped frame is never drawn; the one on screen stays.
    present(m_item, red);
    m_item->clearFrame();
    verifySolid(grab("cleared"), area, QColor(40, 180, 60));
}

void YuvFboItemTest::reallocatesTexturesOnlyWhenAPlaneChangesSize()
{
    const QRect area = itemArea();
    const int before = allocations();

    present(m_item, YuvTestPicture::blocks(280, 622));
    verifyBlocks(grab("first"), area);
    QCOMPARE(allocations() - before, 3);

    present(m_item, YuvTestPicture::solid(280, 622, QColor(128, 128, 128)));
    verifySolid(grab("same size"), area, QColor(128, 128, 128));
    QCOMPARE(allocations() - before, 3);

    // 279 wide keeps the chroma planes at 140 x 311.
    present(m_item, YuvTestPicture::blocks(279, 622));
    verifyBlocks(grab("luma only"), area);
    QCOMPARE(allocations() - before, 4);

    present(m_item, YuvTestPicture::blocks(720, 1600, 768, 384));
    verifyBlocks(grab("larger"), area);
    QCOMPARE(allocations() - before, 7);

    present(m_item, YuvTestPicture::solid(720, 1600, QColor(230, 220, 40)));
    verifySolid(grab("larger again"), area, QColor(230, 220, 40));
    QCOMPARE(allocations() - before, 7);

    present(m_item, YuvTestPicture::blocks(280, 622));
    verifyBlocks(grab("smaller"), area);
    QCOMPARE(allocations() - before, 10);
}

void YuvFboItemTest::keepsThePictureWhenTheItemResizes()
{
    present(m_item, YuvTestPicture::blocks(280, 622));
    verifyBlocks(grab("before"), itemArea());

    // No new frame: the renderer must draw the one it holds into each new framebuffer.
    for (const QSizeF size : {QSizeF(150, 300), QSizeF(190, 250)}) {
        m_item->setSize(size);
        const QImage image = grab(QString("%1x%2").arg(size.width()).arg(size.height()));
        QCOMPARE(itemArea().size(), size.toSize());
        verifyBlocks(image, itemArea());
    }
}

void YuvFboItemTest::takesFramesWhileTheRenderThreadDraws()
{
    // Frames of changing sizes arrive while Qt Quick keeps rendering; a frame
    // whose size and planes got mixed up would show up as wrong colours or a crash.
    const YuvTestPicture sizes[] = {
        YuvTestPicture::blocks(280, 622),
        YuvTestPicture::blocks(279, 621, 288, 144),
        YuvTestPicture::blocks(720, 1600),
    };
    QElapsedTimer clock;
    clock.start();
    int frames = 0;
    while (clock.elapsed() < 1500) {
        present(m_item, sizes[frames % 3]);
        ++frames;
        QTest::qWait(2);
    }
    present(m_item, sizes[frames % 3]);
    verifyBlocks(grab("last"), itemArea());
    QVERIFY(frames > 10);
}

void YuvFboItemTest::qmlForwardsDeviceFrames()
{
    registerParvixTypes();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick
        import Parvix 1.0
        Item {
            id: root
            required property QtObject source
            YuvFboItem { objectName: "video"; x: 10; y: 20; width: 200; height: 400 }
            Connections {
                target: root.source
                function onYuvFrameReady(width, height, yData, yStride, uData, uStride, vData, vStride) {
                    root.children[0].present(width, height, yData, yStride, uData, uStride,
                                             vData, vStride)
                }
            }
        })",
                      QUrl());
    FrameSource source;
    std::unique_ptr<QObject> root(component.createWithInitialProperties(
        {{"source", QVariant::fromValue(static_cast<QObject *>(&source))}}));
    QVERIFY2(root, qPrintable(component.errorString()));
    auto *video = root->findChild<YuvFboItem *>("video");
    QVERIFY(video);

    delete m_item; // the QML item takes its place
    m_item = video;
    qobject_cast<QQuickItem *>(root.get())->setParentItem(m_window->contentItem());

    source.send(YuvTestPicture::blocks(279, 621, 320, 160));
    verifyBlocks(grab("forwarded"), itemArea());
    root.reset();
    m_item = nullptr;
}

PARVIX_TEST(YuvFboItemTest)
#include "yuvfboitemtest.moc"
