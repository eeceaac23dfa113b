#pragma once
// Shows a phone's live YUV420P picture. Bound to a device's VideoFrameFeed, the item
// takes the feed's newest frame for each render while it is visible: the render thread
// uploads straight from the decoder's buffers, and a hidden item uploads nothing.
// present() hands it a frame directly instead (copied).
#include "yuvfboframe.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QQuickFramebufferObject>
#include <cstdint>

class QTimer;
class VideoFrameFeed;

class YuvFboItem : public QQuickFramebufferObject
{
    Q_OBJECT
    Q_PROPERTY(VideoFrameFeed *feed READ feed WRITE setFeed NOTIFY feedChanged)
    // Frames shown per second, measured over about a second; 0 while none are shown.
    Q_PROPERTY(qreal fps READ fps NOTIFY fpsChanged)

public:
    explicit YuvFboItem(QQuickItem *parent = nullptr);
    ~YuvFboItem() override;

    Renderer *createRenderer() const override;

    VideoFrameFeed *feed() const;
    void setFeed(VideoFrameFeed *feed);
    qreal fps() const { return m_fps; }

    // The pointers need to stay valid only during the call.
    Q_INVOKABLE void present(int width, int height, const uint8_t *yData, int yStride,
                             const uint8_t *uData, int uStride, const uint8_t *vData, int vStride);
    // Drops a frame not yet drawn; the picture on screen stays.
    Q_INVOKABLE void clearFrame();

    // Render thread, while the GUI thread waits: the frame to draw if it changed since the
    // last call. Counts the frame and tells the feed the size it is shown at.
    bool takePendingFrame(YuvFrame &frame);

signals:
    void feedChanged();
    void fpsChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void handleFrameAvailable();
    void measureFps();
    void requestUpdate();

    QPointer<VideoFrameFeed> m_feed;
    quint64 m_feedSequence = 0; // of the feed frame last handed to the renderer
    bool m_feedFrameShown = false;

    QMutex m_mutex; // guards the directly presented frame
    YuvFrame m_pending;
    bool m_hasFrame = false;

    QTimer *m_fpsTimer = nullptr;
    QElapsedTimer m_fpsClock;
    int m_framesShown = 0; // written during synchronize, while the GUI thread waits
    qreal m_fps = 0;
};
