#include "yuvvideoitem.h"

#include "tileframeclock.h"
#include "videoframefeed.h"
#include "yuvvideonode.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <QQuickWindow>
#include <QThread>
#include <QTimer>
#include <utility>

namespace {
constexpr int kFpsIntervalMs = 1000;
}

YuvVideoItem::YuvVideoItem(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
    m_fpsTimer = new QTimer(this);
    m_fpsTimer->setInterval(kFpsIntervalMs);
    connect(m_fpsTimer, &QTimer::timeout, this, &YuvVideoItem::measureFps);
}

YuvVideoItem::~YuvVideoItem()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_ancestorConnections))
        disconnect(connection);
    if (m_shown && m_feed)
        m_feed->removeWatcher();
}

QSGNode *YuvVideoItem::updatePaintNode(QSGNode *node, UpdatePaintNodeData *)
{
    auto *video = static_cast<YuvVideoNode *>(node);
    if (!video)
        video = new YuvVideoNode;
    video->setRect(QRectF(0, 0, width(), height()));
    if (const QQuickWindow *shownIn = window())
        video->setDevicePixelRatio(shownIn->effectiveDevicePixelRatio());
    YuvFrame frame;
    if (takePendingFrame(frame))
        video->setFrame(std::move(frame));
    return video;
}

VideoFrameFeed *YuvVideoItem::feed() const
{
    return m_feed;
}

void YuvVideoItem::setFeed(VideoFrameFeed *feed)
{
    if (m_feed == feed)
        return;
    if (m_feed) {
        m_feed->disconnect(this);
        if (m_shown)
            m_feed->removeWatcher();
    }
    m_feed = feed;
    if (m_feed && m_shown)
        m_feed->addWatcher();
    m_feedFrameShown = false;
    if (m_feed)
        connect(m_feed, &VideoFrameFeed::frameAvailable, this, &YuvVideoItem::handleFrameAvailable);
    m_framesShown = 0;
    m_fpsClock.restart();
    if (m_feed)
        m_fpsTimer->start();
    else
        m_fpsTimer->stop();
    updateShown();
    emit feedChanged();
    update();
}

void YuvVideoItem::handleFrameAvailable()
{
    if (!m_shown)
        return;
    if (!m_clock || window() != m_clockWindow) {
        m_clockWindow = window();
        m_clock = TileFrameClock::of(m_clockWindow);
    }
    if (m_clock)
        m_clock->request(this);
    else
        update();
}

void YuvVideoItem::present(int width, int height, const uint8_t *yData, int yStride,
                           const uint8_t *uData, int uStride, const uint8_t *vData, int vStride)
{
    // Copy before locking so the render thread never waits for pixels.
    YuvFrame frame =
        YuvFrame::copyPacked(width, height, yData, yStride, uData, uStride, vData, vStride);
    if (!frame.isValid())
        return;
    {
        QMutexLocker lock(&m_mutex);
        m_pending = std::move(frame);
        m_hasFrame = true;
    }
    requestUpdate();
}

void YuvVideoItem::clearFrame()
{
    YuvFrame dropped;
    {
        QMutexLocker lock(&m_mutex);
        std::swap(dropped, m_pending);
        m_hasFrame = false;
    }
    requestUpdate();
}

bool YuvVideoItem::takePendingFrame(YuvFrame &frame)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_hasFrame) {
            frame = std::exchange(m_pending, YuvFrame());
            m_hasFrame = false;
            ++m_framesShown;
            m_takenPts = frame.pts;
            return true;
        }
    }
    if (!m_feed || !m_shown)
        return false;
    quint64 sequence = 0;
    qint64 publishedAtNs = 0;
    YuvFrame newest = m_feed->latest(&sequence, &publishedAtNs);
    if (m_feedFrameShown && sequence == m_feedSequence)
        return false;
    // On screen after this window frame is drawn and swapped, as long as the last one took.
    if (newest.isValid() && publishedAtNs > 0) {
        const qint64 waitedMs =
            (QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() - publishedAtNs) / 1000000;
        m_feed->reportShowDelay(waitedMs + (m_clock ? m_clock->drawMs() : 0));
    }
    m_feedSequence = sequence;
    m_feedFrameShown = true;
    if (newest.isValid())
        ++m_framesShown;
    m_takenPts = newest.pts;
    frame = std::move(newest);
    return true;
}

void YuvVideoItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    // The clock guards the window's frames from the first tile on, not only once video runs:
    // adding phones relayouts the grid too.
    if (change == ItemSceneChange && value.window && value.window != m_clockWindow) {
        m_clockWindow = value.window;
        m_clock = TileFrameClock::of(m_clockWindow);
    }
    if (change == ItemSceneChange || change == ItemParentHasChanged)
        followAncestors();
    if (change == ItemSceneChange || change == ItemParentHasChanged ||
        change == ItemVisibleHasChanged)
        updateShown();
}

void YuvVideoItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
    updateShown();
}

void YuvVideoItem::followAncestors()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_ancestorConnections))
        disconnect(connection);
    m_ancestorConnections.clear();
    m_followedParent = parentItem();
    m_followedWindow = window();
    for (QQuickItem *ancestor = parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        for (auto signal : {&QQuickItem::xChanged, &QQuickItem::yChanged, &QQuickItem::widthChanged,
                            &QQuickItem::heightChanged})
            m_ancestorConnections << connect(ancestor, signal, this, &YuvVideoItem::updateShown);
        m_ancestorConnections << connect(ancestor, &QQuickItem::clipChanged, this,
                                         &YuvVideoItem::updateShown);
        m_ancestorConnections << connect(ancestor, &QQuickItem::parentChanged, this, [this] {
            followAncestors();
            updateShown();
        });
    }
    if (QQuickWindow *shownIn = window()) {
        for (auto signal : {&QWindow::widthChanged, &QWindow::heightChanged})
            m_ancestorConnections << connect(shownIn, signal, this, &YuvVideoItem::updateShown);
        // The node learns the pixel ratio of the window's screen in the sync.
        m_ancestorConnections << connect(shownIn, &QWindow::screenChanged, this,
                                         [this] { update(); });
        m_ancestorConnections << connect(shownIn, &QWindow::visibleChanged, this,
                                         &YuvVideoItem::updateShown);
    }
}

bool YuvVideoItem::computeShown() const
{
    const QQuickWindow *shownIn = window();
    if (!isVisible() || !shownIn || !shownIn->isVisible() || width() <= 0 || height() <= 0)
        return false;
    QRectF area = mapRectToScene(QRectF(0, 0, width(), height()));
    for (const QQuickItem *ancestor = parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (ancestor->clip())
            area &= ancestor->mapRectToScene(QRectF(0, 0, ancestor->width(), ancestor->height()));
    }
    area &= QRectF(0, 0, shownIn->width(), shownIn->height());
    return area.width() > 0 && area.height() > 0;
}

void YuvVideoItem::updateShown()
{
    if (m_followedParent != parentItem() || m_followedWindow != window())
        followAncestors();
    const bool shown = computeShown();
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (m_feed) {
        if (shown)
            m_feed->addWatcher();
        else
            m_feed->removeWatcher();
    }
    // Back in view: catch up with the newest frame at once.
    if (shown && m_feed) {
        m_feedFrameShown = false;
        update();
    }
}

void YuvVideoItem::measureFps()
{
    const qint64 elapsed = m_fpsClock.restart();
    const qreal fps = elapsed > 0 ? m_framesShown * 1000.0 / elapsed : 0.0;
    m_framesShown = 0;
    if (!qFuzzyCompare(fps + 1, m_fps + 1)) {
        m_fps = fps;
        emit fpsChanged();
    }
}

void YuvVideoItem::requestUpdate()
{
    // QQuickItem::update() belongs to the item's thread.
    if (QThread::currentThread() == thread())
        update();
    else
        QMetaObject::invokeMethod(this, &QQuickItem::update, Qt::QueuedConnection);
}
