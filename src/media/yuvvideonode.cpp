#include "yuvfborenderer.h"

#include "medialog.h"
#include "yuvfboitem.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>

namespace {
const char *const kVertexShader = "#version 120\n"
                                  "            attribute vec2 aPos;\n"
                                  "            attribute vec2 aTexCoord;\n"
                                  "            varying vec2 vTexCoord;\n"
                                  "            void main(){ gl_Position = vec4(aPos,0.0,1.0); "
                                  "vTexCoord = aTexCoord; }\n"
                                  "        ";

// Full-range BT.601 on the sampled values as they are (no 16..235 expansion).
const char *const kFragmentShader =
    "#version 120\n"
    "            varying vec2 vTexCoord;\n"
    "            uniform sampler2D texY;\n"
    "            uniform sampler2D texU;\n"
    "            uniform sampler2D texV;\n"
    "            void main(){\n"
    "                float y = texture2D(texY, vTexCoord).r;\n"
    "                float u = texture2D(texU, vTexCoord).r - 0.5;\n"
    "                float v = texture2D(texV, vTexCoord).r - 0.5;\n"
    "                float r = y + 1.402 * v;\n"
    "                float g = y - 0.344136 * u - 0.714136 * v;\n"
    "                float b = y + 1.772 * u;\n"
    "                gl_FragColor = vec4(r,g,b,1.0);\n"
    "            }\n"
    "        ";

// (x, y, s, t): the first uploaded row (t = 0) lands on framebuffer row 0, which
// Qt Quick shows as the top row of the item.
const GLfloat kQuad[] = {
    -1.f, -1.f, 0.f, 0.f, //
    1.f,  -1.f, 1.f, 0.f, //
    -1.f, 1.f,  0.f, 1.f, //
    1.f,  1.f,  1.f, 1.f, //
};
constexpr int kVertexStride = 4 * sizeof(GLfloat);
} // namespace

YuvFboRenderer::YuvFboRenderer()
{
    initializeOpenGLFunctions();
    glGenTextures(PlaneCount, m_textures.data());
    for (GLuint texture : m_textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    buildProgram();
}

YuvFboRenderer::~YuvFboRenderer()
{
    // Without a current context the GL objects died with it.
    if (QOpenGLContext::currentContext())
        glDeleteTextures(PlaneCount, m_textures.data());
}

void YuvFboRenderer::buildProgram()
{
    m_program = std::make_unique<QOpenGLShaderProgram>();
    const bool built =
        m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
        m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) &&
        m_program->link();
    if (!built)
        qCWarning(lcMedia) << "video shader failed to build:" << m_program->log();
}

QOpenGLFramebufferObject *YuvFboRenderer::createFramebufferObject(const QSize &size)
{
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    return new QOpenGLFramebufferObject(size, format);
}

void YuvFboRenderer::synchronize(QQuickFramebufferObject *item)
{
    auto *videoItem = static_cast<YuvFboItem *>(item);
    if (videoItem->takePendingFrame(m_frame))
        m_frameChanged = true;
}

void YuvFboRenderer::render()
{
    const QSize size = framebufferObject()->size();
    glViewport(0, 0, size.width(), size.height());
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);

    if (m_frameChanged) {
        uploadFrame();
        m_frameChanged = false;
        // The textures have the pixels; the decoder may reuse its buffers.
        m_frame = YuvFrame();
    }
    // Empty textures would sample as (0, 0, 0) and convert to green, not black.
    if (m_texturesFilled)
        drawQuad();
    // No self-scheduled update: the item asks for a render when a frame arrives,
    // and Qt Quick renders again when the framebuffer is resized.
}

void YuvFboRenderer::uploadFrame()
{
    // A cleared feed (the session ended) shows black until the next frame.
    m_texturesFilled = m_frame.isValid();
    if (!m_texturesFilled)
        return;
    for (int plane = 0; plane < PlaneCount; ++plane)
        uploadPlane(plane);
}

void YuvFboRenderer::uploadPlane(int plane)
{
    const int width = m_frame.planeWidth(plane);
    const int height = m_frame.planeHeight(plane);
    glBindTexture(GL_TEXTURE_2D, m_textures[plane]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const QSize size(width, height);
    if (m_textureSizes[plane] != size) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, width, height, 0, GL_LUMINANCE,
                     GL_UNSIGNED_BYTE, nullptr);
        m_textureSizes[plane] = size;
        qCDebug(lcMedia) << "texture allocated: plane" << plane << width << "x" << height;
    }
    // Rows are read with their stride straight from the decoder's buffer: no repacking.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, m_frame.strides[plane]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                    m_frame.planes[plane]);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // GL's default, which Qt Quick may rely on
}

void YuvFboRenderer::drawQuad()
{
    if (!m_program->isLinked())
        return;
    // Qt Quick leaves its own state behind; the quad needs none of it.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    m_program->bind();
    static const char *const samplers[PlaneCount] = {"texY", "texU", "texV"};
    for (int plane = 0; plane < PlaneCount; ++plane) {
        glActiveTexture(GL_TEXTURE0 + plane);
        glBindTexture(GL_TEXTURE_2D, m_textures[plane]);
        m_program->setUniformValue(samplers[plane], plane);
    }

    const int position = m_program->attributeLocation("aPos");
    const int texCoord = m_program->attributeLocation("aTexCoord");
    m_program->enableAttributeArray(position);
    m_program->enableAttributeArray(texCoord);
    m_program->setAttributeArray(position, GL_FLOAT, kQuad, 2, kVertexStride);
    m_program->setAttributeArray(texCoord, GL_FLOAT, kQuad + 2, 2, kVertexStride);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program->disableAttributeArray(position);
    m_program->disableAttributeArray(texCoord);
    m_program->release();
    glActiveTexture(GL_TEXTURE0);
}
