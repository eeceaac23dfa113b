#pragma once
// Shows a phone's live YUV420P picture. The GUI thread copies each frame in
// present(); the render thread takes the newest copy and draws it with OpenGL.
#include "yuvfboframe.h"

#include <QMutex>
#include <QQuickFramebufferObject>
#include <cstdint>

class YuvFboItem : public QQuickFramebufferObject
{
    Q_OBJECT
public:
    explicit YuvFboItem(QQuickItem *parent = nullptr);

    Renderer *createRenderer() const override;

    // The pointers need to stay valid only during the call.
    Q_INVOKABLE void present(int width, int height, const uint8_t *yData, int yStride,
                             const uint8_t *uData, int uStride, const uint8_t *vData, int vStride);
    // Drops a frame not yet drawn; the picture on screen stays.
    Q_INVOKABLE void clearFrame();

    // Render thread: moves the newest frame out, if one arrived since the last call.
    bool takePendingFrame(YuvFrame &frame);

private:
    void requestUpdate();

    QMutex m_mutex;
    YuvFrame m_pending;
    bool m_hasFrame = false;
};
