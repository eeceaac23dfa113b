#include "yuvvideonode.h"

#include "medialog.h"

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QSGClipNode>
#include <QtMath>

namespace {
const char *const kVertexShader = "#version 120\n"
                                  "attribute vec2 aPos;\n"
                                  "attribute vec2 aTexCoord;\n"
                                  "uniform mat4 uMatrix;\n"
                                  "varying vec2 vTexCoord;\n"
                                  "void main() {\n"
                                  "    gl_Position = uMatrix * vec4(aPos, 0.0, 1.0);\n"
                                  "    vTexCoord = aTexCoord;\n"
                                  "}\n";

// Full-range BT.601 on the sampled values as they are (no 16..235 expansion).
const char *const kFragmentShader = "#version 120\n"
                                    "varying vec2 vTexCoord;\n"
                                    "uniform sampler2D texY;\n"
                                    "uniform sampler2D texU;\n"
                                    "uniform sampler2D texV;\n"
                                    "uniform float uBlank;\n"
                                    "void main() {\n"
                                    "    float y = texture2D(texY, vTexCoord).r;\n"
                                    "    float u = texture2D(texU, vTexCoord).r - 0.5;\n"
                                    "    float v = texture2D(texV, vTexCoord).r - 0.5;\n"
                                    "    vec3 rgb = vec3(y + 1.402 * v,\n"
                                    "                    y - 0.344136 * u - 0.714136 * v,\n"
                                    "                    y + 1.772 * u);\n"
                                    "    gl_FragColor = vec4(rgb * (1.0 - uBlank), 1.0);\n"
                                    "}\n";
constexpr int kVertexStride = 4 * sizeof(GLfloat);
constexpr int kPositionAttribute = 0;
constexpr int kTexCoordAttribute = 1;
} // namespace

YuvVideoNode::YuvVideoNode() = default;

YuvVideoNode::~YuvVideoNode()
{
    releaseResources();
}

void YuvVideoNode::releaseResources()
{
    // Without a current context the GL objects died with it.
    if (m_initialised && QOpenGLContext::currentContext())
        m_gl.glDeleteTextures(PlaneCount, m_textures.data());
    m_program.reset();
    m_textures = {};
    m_textureSizes = {};
    m_initialised = false;
    m_texturesFilled = false;
    m_frameChanged = m_frame.isValid();
}

void YuvVideoNode::setFrame(YuvFrame frame)
{
    m_frame = std::move(frame);
    m_frameChanged = true;
    markDirty(DirtyMaterial);
}

bool YuvVideoNode::initialise()
{
    if (m_initialised)
        return m_program->isLinked();
    m_initialised = true;
    m_gl.initializeOpenGLFunctions();
    m_gl.glGenTextures(PlaneCount, m_textures.data());
    for (GLuint texture : m_textures) {
        m_gl.glBindTexture(GL_TEXTURE_2D, texture);
        m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        m_gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    m_gl.glBindTexture(GL_TEXTURE_2D, 0);
    m_program = std::make_unique<QOpenGLShaderProgram>();
    m_program->bindAttributeLocation("aPos", kPositionAttribute);
    m_program->bindAttributeLocation("aTexCoord", kTexCoordAttribute);
    const bool built =
        m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
        m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) &&
        m_program->link();
    if (!built) {
        qCWarning(lcMedia) << "video shader failed to build:" << m_program->log();
        return false;
    }
    // Looked up once: every tile draws in every window frame.
    m_matrixUniform = m_program->uniformLocation("uMatrix");
    m_blankUniform = m_program->uniformLocation("uBlank");
    m_program->bind();
    static const char *const samplers[PlaneCount] = {"texY", "texU", "texV"};
    for (int plane = 0; plane < PlaneCount; ++plane)
        m_program->setUniformValue(samplers[plane], plane);
    m_program->release();
    return true;
}

void YuvVideoNode::prepare()
{
    // Qt 6.4 hands render() a pointer to a matrix that is gone by then; this one is live.
    if (const QMatrix4x4 *current = matrix())
        m_matrix = *current;
    // Rectangular clips (a grid's viewport) by their bounds in the scene.
    m_clipped = false;
    for (const QSGClipNode *clip = clipList(); clip; clip = clip->clipList()) {
        const QRectF area =
            clip->matrix() ? clip->matrix()->mapRect(clip->clipRect()) : clip->clipRect();
        m_clip = m_clipped ? m_clip & area : area;
        m_clipped = true;
    }
}

void YuvVideoNode::render(const RenderState *state)
{
    if (!initialise() || m_rect.isEmpty())
        return;
    if (m_frameChanged) {
        uploadFrame();
        m_frameChanged = false;
        // The textures have the pixels; the decoder may reuse its buffers.
        m_frame = YuvFrame();
    }
    drawQuad(state);
}

void YuvVideoNode::uploadFrame()
{
    // A cleared feed (the session ended) shows black until the next frame.
    m_texturesFilled = m_frame.isValid();
    if (!m_texturesFilled)
        return;
    for (int plane = 0; plane < PlaneCount; ++plane)
        uploadPlane(plane);
}

void YuvVideoNode::uploadPlane(int plane)
{
    const int width = m_frame.planeWidth(plane);
    const int height = m_frame.planeHeight(plane);
    m_gl.glBindTexture(GL_TEXTURE_2D, m_textures[plane]);
    m_gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const QSize size(width, height);
    if (m_textureSizes[plane] != size) {
        m_gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, width, height, 0, GL_LUMINANCE,
                          GL_UNSIGNED_BYTE, nullptr);
        m_textureSizes[plane] = size;
        qCDebug(lcMedia) << "texture allocated: plane" << plane << width << "x" << height;
    }
    // Rows are read with their stride straight from the decoder's buffer: no repacking.
    m_gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, m_frame.strides[plane]);
    m_gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                         m_frame.planes[plane]);
    m_gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4); // GL's default, which Qt Quick may rely on
}

void YuvVideoNode::drawQuad(const RenderState *state)
{
    // The target's size in pixels, from the projection of its logical area onto -1..1.
    const QMatrix4x4 &projection = *state->projectionMatrix();
    if (qFuzzyIsNull(projection(0, 0)) || qFuzzyIsNull(projection(1, 1)))
        return; // an empty target
    const QSize target(qRound(2 / qAbs(projection(0, 0)) * m_devicePixelRatio),
                       qRound(2 / qAbs(projection(1, 1)) * m_devicePixelRatio));
    // Qt 6.4 hands render nodes no usable scissor: the clip taken in prepare() is mapped
    // to the target's pixels here. Only what lies in front is drawn after the picture, as
    // Qt Quick draws a scene with a node that is not depth-aware in order.
    if (m_clipped) {
        const QRectF ndc = projection.mapRect(m_clip);
        const int x = qFloor((ndc.left() + 1) / 2 * target.width());
        const int y = qFloor((ndc.top() + 1) / 2 * target.height());
        const int right = qCeil((ndc.right() + 1) / 2 * target.width());
        const int bottom = qCeil((ndc.bottom() + 1) / 2 * target.height());
        m_gl.glEnable(GL_SCISSOR_TEST);
        m_gl.glScissor(x, y, qMax(0, right - x), qMax(0, bottom - y));
    } else {
        m_gl.glDisable(GL_SCISSOR_TEST);
    }
    m_gl.glDisable(GL_STENCIL_TEST);
    // Qt 6.4 leaves the viewport as its last pass had it.
    m_gl.glViewport(0, 0, target.width(), target.height());
    m_gl.glDisable(GL_DEPTH_TEST);
    m_gl.glDisable(GL_BLEND);
    m_gl.glDisable(GL_CULL_FACE);
    m_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);

    m_program->bind();
    m_program->setUniformValue(m_matrixUniform, projection * m_matrix);
    // Empty textures would sample as (0, 0, 0) and convert to green, not black.
    m_program->setUniformValue(m_blankUniform, m_texturesFilled ? 0.f : 1.f);
    for (int plane = 0; plane < PlaneCount; ++plane) {
        m_gl.glActiveTexture(GL_TEXTURE0 + plane);
        m_gl.glBindTexture(GL_TEXTURE_2D, m_textures[plane]);
    }

    // (x, y, s, t) in the item's coordinates: the first uploaded row is the item's top row.
    const GLfloat left = m_rect.left(), top = m_rect.top();
    const GLfloat right = m_rect.right(), bottom = m_rect.bottom();
    const GLfloat quad[] = {
        left,  top,    0.f, 0.f, //
        right, top,    1.f, 0.f, //
        left,  bottom, 0.f, 1.f, //
        right, bottom, 1.f, 1.f, //
    };
    m_program->enableAttributeArray(kPositionAttribute);
    m_program->enableAttributeArray(kTexCoordAttribute);
    m_program->setAttributeArray(kPositionAttribute, GL_FLOAT, quad, 2, kVertexStride);
    m_program->setAttributeArray(kTexCoordAttribute, GL_FLOAT, quad + 2, 2, kVertexStride);
    m_gl.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program->disableAttributeArray(kPositionAttribute);
    m_program->disableAttributeArray(kTexCoordAttribute);
    m_program->release();
    m_gl.glActiveTexture(GL_TEXTURE0);
}

QSGRenderNode::StateFlags YuvVideoNode::changedStates() const
{
    return DepthState | StencilState | ScissorState | BlendState | CullState | ViewportState;
}

QSGRenderNode::RenderingFlags YuvVideoNode::flags() const
{
    // Not depth-aware: Qt 6.4 gives render nodes no depth of their own in the scene.
    return BoundedRectRendering | OpaqueRendering;
}
