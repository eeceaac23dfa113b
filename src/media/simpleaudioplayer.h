#pragma once
#include <QAudioFormat>
#include <QByteArray>
#include <QObject>

struct AVFrame;
struct SwrContext;
class QAudioSink;
class QIODevice;

// Plays decoded audio frames on the default output as 16-bit stereo at 48000 Hz.
// No queue of its own: a chunk that does not fit into the sink's buffer is dropped.
class SimpleAudioPlayer : public QObject
{
    Q_OBJECT

public:
    explicit SimpleAudioPlayer(QObject *parent = nullptr);
    ~SimpleAudioPlayer() override;

    void start();
    void play(const AVFrame *frame);
    bool isStarted() const { return m_started; }

    static constexpr int OutputSampleRate = 48000;
    static constexpr int OutputChannels = 2;

protected:
    // Seams so that tests can watch what reaches the output and control its room.
    virtual QIODevice *startOutput();
    virtual qint64 outputBytesFree() const;

    // Converts one frame to interleaved 16-bit stereo; empty on failure.
    QByteArray convert(const AVFrame *frame);

private:
    bool ensureResampler(const AVFrame *frame);

    QAudioSink *m_sink = nullptr;
    QAudioFormat m_format;
    QIODevice *m_output = nullptr;
    SwrContext *m_resampler = nullptr;
    bool m_resamplerReady = false;
    bool m_started = false;
    // What the resampler was configured for.
    QByteArray m_inputLayout;
    int m_inputSampleRate = 0;
    int m_inputSampleFormat = -1;
};
