#pragma once
// Draws a YuvVideoItem's frames straight into the window's frame: three luminance textures,
// converted to RGB by a GLSL 1.20 program while the scene is drawn. No framebuffer of its
// own: with software OpenGL every extra render target costs the rasteriser a pass of its
// own, and a tile's picture would be drawn twice.
#include "yuvframe.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QRectF>
#include <QSGRenderNode>
#include <QSize>
#include <array>
#include <memory>

class QOpenGLShaderProgram;

class YuvVideoNode : public QSGRenderNode
{
public:
    YuvVideoNode();
    ~YuvVideoNode() override;

    // Render thread, while the GUI thread waits (the item's sync).
    void setFrame(YuvFrame frame);
    void setRect(const QRectF &rect) { m_rect = rect; }
    // Of the window the picture is drawn into.
    void setDevicePixelRatio(qreal ratio) { m_devicePixelRatio = ratio; }

    void prepare() override;
    void render(const RenderState *state) override;
    void releaseResources() override;
    StateFlags changedStates() const override;
    RenderingFlags flags() const override;
    QRectF rect() const override { return m_rect; }

private:
    static constexpr int PlaneCount = YuvFrame::PlaneCount;

    bool initialise();
    void uploadFrame();
    void uploadPlane(int plane);
    void drawQuad(const RenderState *state);

    QOpenGLFunctions m_gl;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    int m_matrixUniform = -1;
    int m_blankUniform = -1;
    bool m_initialised = false;
    std::array<GLuint, PlaneCount> m_textures{};
    std::array<QSize, PlaneCount> m_textureSizes{};
    QRectF m_rect;
    qreal m_devicePixelRatio = 1;
    QMatrix4x4 m_matrix; // the item in the scene, taken in prepare()
    QRectF m_clip;       // likewise, in the scene
    bool m_clipped = false;
    YuvFrame m_frame;
    bool m_frameChanged = false; // m_frame not yet in the textures
    bool m_texturesFilled = false;
};
