#pragma once
// Shows a phone's live YUV420P picture. Bound to a device's VideoFrameFeed, the item
// takes the feed's newest frame for each render while it is shown: the render thread
// uploads straight from the decoder's buffers. "Shown" means visible and not clipped away
// entirely (a tile scrolled out of its grid, or kept in the grid's cache buffer); an item
// that is not shown does not watch its feed, so its phone's frames cost the GUI thread
// nothing and nothing is uploaded. present() hands it a frame directly instead (copied).
#include "yuvframe.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QQuickItem>
#include <cstdint>

class QTimer;
class TileFrameClock;
class VideoFrameFeed;

class YuvVideoItem : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(VideoFrameFeed *feed READ feed WRITE setFeed NOTIFY feedChanged)
    // Frames shown per second, measured over about a second; 0 while none are shown.
    Q_PROPERTY(qreal fps READ fps NOTIFY fpsChanged)

public:
    explicit YuvVideoItem(QQuickItem *parent = nullptr);
    ~YuvVideoItem() override;

    VideoFrameFeed *feed() const;
    void setFeed(VideoFrameFeed *feed);
    qreal fps() const { return m_fps; }
    // Visible and at least partly inside the window and every clipping ancestor.
    bool isShown() const { return m_shown; }

    // The pointers need to stay valid only during the call.
    Q_INVOKABLE void present(int width, int height, const uint8_t *yData, int yStride,
                             const uint8_t *uData, int uStride, const uint8_t *vData, int vStride);
    // Drops a frame not yet drawn; the picture on screen stays.
    Q_INVOKABLE void clearFrame();

    // Render thread, while the GUI thread waits (the item's sync): the frame to draw if it
    // changed since the last call. Counts the frame and tells the feed the size it is shown at.
    bool takePendingFrame(YuvFrame &frame);
    // Render thread: the time stamp of the frame last taken for drawing (-1 before any).
    qint64 takenPts() const { return m_takenPts; }

signals:
    void feedChanged();
    void fpsChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *node, UpdatePaintNodeData *data) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void handleFrameAvailable();
    void measureFps();
    void requestUpdate();
    // Scrolling moves an ancestor, not the item: every ancestor's geometry is followed.
    void followAncestors();
    void updateShown();
    bool computeShown() const;

    QPointer<VideoFrameFeed> m_feed;
    bool m_shown = false; // GUI thread; read by the render thread while the GUI thread waits
    QList<QMetaObject::Connection> m_ancestorConnections;
    // What the connections above follow: an item given its parent in its constructor gets
    // no itemChange() of ours for it.
    QQuickItem *m_followedParent = nullptr;
    QQuickWindow *m_followedWindow = nullptr;
    // The window's frame clock, looked up again only when the item changes window.
    QPointer<TileFrameClock> m_clock;
    QQuickWindow *m_clockWindow = nullptr;
    quint64 m_feedSequence = 0; // of the feed frame last handed to the renderer
    bool m_feedFrameShown = false;

    QMutex m_mutex; // guards the directly presented frame
    YuvFrame m_pending;
    bool m_hasFrame = false;

    QTimer *m_fpsTimer = nullptr;
    QElapsedTimer m_fpsClock;
    int m_framesShown = 0;  // written during synchronize, while the GUI thread waits
    qint64 m_takenPts = -1; // likewise
    qreal m_fps = 0;
};
