#pragma once
// A readable device that the test fills; every feed raises readyRead at once.
#include <QIODevice>

#include <cstring>

class FeedDevice : public QIODevice
{
public:
    explicit FeedDevice(QObject *parent = nullptr) : QIODevice(parent)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_pending.size() + QIODevice::bytesAvailable();
    }
    void feed(const QByteArray &bytes)
    {
        m_pending += bytes;
        emit readyRead();
    }
    // The bytes in pieces of chunkSize, one readyRead each.
    void feedInPieces(const QByteArray &bytes, int chunkSize)
    {
        for (qsizetype at = 0; at < bytes.size(); at += chunkSize)
            feed(bytes.mid(at, chunkSize));
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = qMin<qint64>(maxSize, m_pending.size());
        std::memcpy(data, m_pending.constData(), size_t(count));
        m_pending.remove(0, count);
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_pending;
};
