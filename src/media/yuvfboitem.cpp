#include "yuvfboitem.h"

#include "yuvfborenderer.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>
#include <utility>

YuvFboItem::YuvFboItem(QQuickItem *parent) : QQuickFramebufferObject(parent) {}

QQuickFramebufferObject::Renderer *YuvFboItem::createRenderer() const
{
    return new YuvFboRenderer;
}

void YuvFboItem::present(int width, int height, const uint8_t *yData, int yStride,
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

void YuvFboItem::clearFrame()
{
    YuvFrame dropped;
    {
        QMutexLocker lock(&m_mutex);
        std::swap(dropped, m_pending);
        m_hasFrame = false;
    }
    requestUpdate();
}

bool YuvFboItem::takePendingFrame(YuvFrame &frame)
{
    QMutexLocker lock(&m_mutex);
    if (!m_hasFrame)
        return false;
    frame = std::move(m_pending);
    m_pending = YuvFrame();
    m_hasFrame = false;
    return true;
}

void YuvFboItem::requestUpdate()
{
    // QQuickItem::update() belongs to the item's thread.
    if (QThread::currentThread() == thread())
        update();
    else
        QMetaObject::invokeMethod(this, &QQuickItem::update, Qt::QueuedConnection);
}
