#pragma once
// Draws the frames of a YuvFboItem: three luminance textures, converted to RGB
// by a GLSL 1.20 program into the item's framebuffer object.
#include "yuvfboframe.h"

#include <QOpenGLFunctions>
#include <QQuickFramebufferObject>
#include <QSize>
#include <array>
#include <memory>

class QOpenGLShaderProgram;

class YuvFboRenderer : public QQuickFramebufferObject::Renderer, protected QOpenGLFunctions
{
public:
    YuvFboRenderer();
    ~YuvFboRenderer() override;

protected:
    void render() override;
    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override;
    void synchronize(QQuickFramebufferObject *item) override;

private:
    static constexpr int PlaneCount = YuvFrame::PlaneCount;

    void buildProgram();
    void uploadFrame();
    void uploadPlane(int plane);
    void drawQuad();

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::array<GLuint, PlaneCount> m_textures{};
    std::array<QSize, PlaneCount> m_textureSizes{};
    YuvFrame m_frame;
    bool m_frameChanged = false; // m_frame not yet in the textures
    bool m_texturesFilled = false;
};
