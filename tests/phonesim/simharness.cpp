#include "simharness.h"

#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace Sim {

TestFleet::TestFleet(int phones, const QStringList &initOptions)
{
    m_phonesim = TestSupport::phonesimPath();
    if (m_phonesim.isEmpty() || !m_dir.isValid())
        return;
    const Run run = tool(
        QStringList{"init", "--home", home(), "--phones", QString::number(phones)} + initOptions);
    m_valid = run.exitCode == 0;
}

TestFleet::~TestFleet()
{
    for (QProcess *process : std::as_const(m_processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(3000);
        }
        delete process;
    }
    // Forward helpers outlive adb calls, as adb's own server does; end them.
    if (m_valid)
        adb({"kill-server"});
}

namespace {

QProcessEnvironment fleetEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PHONESIM_HOME", home);
    env.remove("ANDROID_SERIAL");
    return env;
}

QList<QJsonObject> readJsonLines(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        }
    }
    return lines;
}

} // namespace

Run TestFleet::adb(const QStringList &args, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(fleetEnvironment(home()));
    process.start(m_phonesim, args);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(3000);
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QProcess *TestFleet::startAdb(const QStringList &args)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(fleetEnvironment(home()));
    process->start(m_phonesim, args);
    m_processes << process;
    return process;
}

QStringList TestFleet::serials() const
{
    QStringList result;
    for (const QJsonValue &phone : fleetJson().value("phones").toArray())
        result << phone.toObject().value("serial").toString();
    return result;
}

QList<ListedDevice> TestFleet::devices() const
{
    QList<ListedDevice> result;
    const Run run = adb({"devices", "-l"});
    const QList<QByteArray> lines = run.out.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList words =
            QString::fromUtf8(lines.at(i)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        ListedDevice device{words.at(0), words.at(1), {}};
        for (const QString &word : words.mid(2))
            device.tokens.insert(word.section(QLatin1Char(':'), 0, 0),
                                 word.section(QLatin1Char(':'), 1));
        result << device;
    }
    return result;
}

QJsonObject TestFleet::status() const
{
    return QJsonDocument::fromJson(tool({"status", "--home", home()}).out).object();
}

QJsonObject TestFleet::fleetJson() const
{
    QFile file(home() + "/fleet.json");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void TestFleet::setFleetJson(const QJsonObject &json) const
{
    QFile file(home() + "/fleet.json");
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QJsonDocument(json).toJson());
}

void TestFleet::editPhone(const QString &serial,
                          const std::function<void(QJsonObject &)> &edit) const
{
    QJsonObject root = fleetJson();
    QJsonArray phones = root.value("phones").toArray();
    for (int i = 0; i < phones.size(); ++i) {
        QJsonObject phone = phones.at(i).toObject();
        if (phone.value("serial").toString() == serial) {
            edit(phone);
            phones[i] = phone;
        }
    }
    root.insert("phones", phones);
    setFleetJson(root);
}

QJsonObject TestFleet::phone(const QString &serial) const
{
    for (const QJsonValue &phone : fleetJson().value("phones").toArray()) {
        if (phone.toObject().value("serial").toString() == serial)
            return phone.toObject();
    }
    return {};
}

void TestFleet::setFault(const QString &serial, const QString &key, const QJsonValue &value) const
{
    editPhone(serial, [&](QJsonObject &phone) {
        QJsonObject faults = phone["faults"].toObject();
        faults[key] = value;
        phone["faults"] = faults;
    });
}

void TestFleet::setTop(const QString &key, const QJsonValue &value) const
{
    QJsonObject root = fleetJson();
    root.insert(key, value);
    setFleetJson(root);
}

QList<QJsonObject> TestFleet::adbLog() const
{
    return readJsonLines(home() + "/adb.log");
}

QList<QJsonObject> TestFleet::jsonLines(const QString &serial, const QString &file) const
{
    return readJsonLines(home() + "/" + serial + "/" + file);
}

QString TestFleet::phoneFile(const QString &serial, const QString &phonePath) const
{
    return home() + "/" + serial + "/fs" + phonePath;
}

QString differences(const QJsonObject &actual, const QJsonObject &expected)
{
    QStringList wrong;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        // Through QVariant so that 3 and 3.0 count as the same number.
        if (!actual.contains(it.key()) || actual.value(it.key()).toVariant() != it->toVariant())
            wrong << QStringLiteral("%1: %2 instead of %3")
                         .arg(it.key(), actual.value(it.key()).toVariant().toString(),
                              it->toVariant().toString());
    }
    return wrong.join(QStringLiteral("; "));
}

quint32 be32(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

quint64 be64(const QByteArray &bytes, int offset)
{
    return qFromBigEndian<quint64>(bytes.constData() + offset);
}

QByteArray be32Bytes(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be64Bytes(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

void send(QTcpSocket *socket, const QByteArray &bytes)
{
    socket->write(bytes);
    while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
    }
}

QByteArray readExactly(QTcpSocket *socket, int n, int timeoutMs)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs);
    while (bytes.size() < n && !deadline.hasExpired()) {
        if (socket->bytesAvailable() == 0) {
            if (socket->state() != QAbstractSocket::ConnectedState)
                break;
            socket->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        }
        bytes += socket->read(n - bytes.size());
    }
    return bytes;
}

bool waitForClose(QTcpSocket *socket, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        socket->readAll();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            return true;
        socket->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        if (socket->state() == QAbstractSocket::UnconnectedState ||
            socket->state() == QAbstractSocket::ClosingState)
            return true;
    }
    return false;
}

MediaPacket readPacket(QTcpSocket *socket, int timeoutMs)
{
    MediaPacket packet;
    const QByteArray header = readExactly(socket, 12, timeoutMs);
    if (header.size() != 12)
        return packet;
    packet.ptsAndFlags = be64(header, 0);
    const quint32 size = be32(header, 8);
    if (size == 0 || size > (1u << 23))
        return packet;
    packet.payload = readExactly(socket, int(size), timeoutMs);
    packet.valid = packet.payload.size() == int(size);
    return packet;
}

QList<int> nalTypes(const QByteArray &annexB)
{
    QList<int> types;
    for (int i = 0; i + 3 < annexB.size(); ++i) {
        if (annexB.at(i) == 0 && annexB.at(i + 1) == 0 && annexB.at(i + 2) == 1) {
            types << (quint8(annexB.at(i + 3)) & 0x1f);
            i += 3;
        }
    }
    return types;
}

struct H264Probe::Private
{
    AVCodecContext *context = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    AVFrame *last = nullptr;
};

H264Probe::H264Probe() : d(std::make_unique<Private>())
{
    const AVCodec *codec = avcodec_find_decoder_by_name("h264");
    d->context = avcodec_alloc_context3(codec);
    avcodec_open2(d->context, codec, nullptr);
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    d->last = av_frame_alloc();
}

H264Probe::~H264Probe()
{
    av_frame_free(&d->frame);
    av_frame_free(&d->last);
    av_packet_free(&d->packet);
    avcodec_free_context(&d->context);
}

QSize H264Probe::feed(const QByteArray &payload)
{
    if (av_new_packet(d->packet, int(payload.size())) != 0)
        return {};
    memcpy(d->packet->data, payload.constData(), size_t(payload.size()));
    avcodec_send_packet(d->context, d->packet);
    av_packet_unref(d->packet);
    QSize size;
    while (avcodec_receive_frame(d->context, d->frame) == 0) {
        size = QSize(d->frame->width, d->frame->height);
        av_frame_unref(d->last);
        av_frame_move_ref(d->last, d->frame);
    }
    return size;
}

int H264Probe::redChroma(const QPoint &at) const
{
    const AVFrame *f = d->last;
    if (!f->data[2] || f->format != AV_PIX_FMT_YUV420P || at.x() < 0 || at.y() < 0 ||
        at.x() >= f->width || at.y() >= f->height)
        return -1;
    return f->data[2][(at.y() / 2) * f->linesize[2] + at.x() / 2];
}

QByteArray keycodeMessage(int action, int keycode, int repeat, int metaState)
{
    return QByteArray(1, char(0)) + char(action) + be32Bytes(quint32(keycode)) +
           be32Bytes(quint32(repeat)) + be32Bytes(quint32(metaState));
}

QByteArray touchMessage(int action, quint64 pointerId, int x, int y, int width, int height,
                        quint16 pressure, int actionButton, int buttons)
{
    return QByteArray(1, char(2)) + char(action) + be64Bytes(pointerId) + be32Bytes(quint32(x)) +
           be32Bytes(quint32(y)) + be32Bytes((quint32(width) << 16) | quint16(height)) +
           be32Bytes(quint32(pressure) << 16).left(2) + be32Bytes(quint32(actionButton)) +
           be32Bytes(quint32(buttons));
}

QByteArray clipboardMessage(quint64 sequence, bool paste, const QByteArray &utf8)
{
    return QByteArray(1, char(9)) + be64Bytes(sequence) + char(paste ? 1 : 0) +
           be32Bytes(quint32(utf8.size())) + utf8;
}

Session::Session(TestFleet &fleet, const Options &options) : m_fleet(fleet), m_options(options)
{
    m_listener = new QTcpServer;
}

Session::~Session()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(3000);
    }
    delete m_listener;
}

QStringList Session::serverArguments(const Options &options)
{
    QStringList args{"-s",
                     options.serial,
                     "shell",
                     "CLASSPATH=/data/local/tmp/scrcpy-server.jar",
                     "app_process",
                     "/",
                     "com.genymobile.scrcpy.Server",
                     options.version,
                     QStringLiteral("video_bit_rate=%1").arg(options.bitRate),
                     "audio_codec=opus",
                     "log_level=verbose"};
    if (options.maxSize > 0)
        args << QStringLiteral("max_size=%1").arg(options.maxSize);
    if (options.maxFps > 0)
        args << QStringLiteral("max_fps=%1").arg(options.maxFps);
    args << "stay_awake=true"
         << QStringLiteral("scid=%1").arg(options.scid, 8, 16, QLatin1Char('0'))
         << QStringLiteral("control=%1").arg(options.control ? "true" : "false")
         << QStringLiteral("video=%1").arg(options.video ? "true" : "false")
         << QStringLiteral("audio=%1").arg(options.audio ? "true" : "false");
    return args + options.extra;
}

bool Session::launch()
{
    const QString serial = m_options.serial;
    if (m_options.push && m_fleet.adb({"-s", serial, "push", m_fleet.home() + "/scrcpy-server",
                                       "/data/local/tmp/scrcpy-server.jar"})
                                  .exitCode != 0)
        return false;
    if (!m_listener->listen(QHostAddress::LocalHost, 0))
        return false;
    const QString socket = QStringLiteral("scrcpy_%1").arg(m_options.scid, 8, 16, QLatin1Char('0'));
    if (m_options.tunnel && m_fleet.adb({"-s", serial, "reverse", "localabstract:" + socket,
                                         QStringLiteral("tcp:%1").arg(m_listener->serverPort())})
                                    .exitCode != 0)
        return false;
    m_process = m_fleet.startAdb(serverArguments(m_options));
    return m_process->waitForStarted(5000);
}

bool Session::acceptAll(int timeoutMs)
{
    QList<QTcpSocket **> order;
    if (m_options.video)
        order << &m_video;
    if (m_options.audio)
        order << &m_audio;
    if (m_options.control)
        order << &m_control;
    for (QTcpSocket **slot : order) {
        if (!m_listener->hasPendingConnections() && !m_listener->waitForNewConnection(timeoutMs))
            return false;
        *slot = m_listener->nextPendingConnection();
    }
    return true;
}

bool Session::waitForExit(int timeoutMs)
{
    return m_process &&
           (m_process->state() == QProcess::NotRunning || m_process->waitForFinished(timeoutMs));
}

Session::VideoHeader Session::readVideoHeader()
{
    const QByteArray bytes = readExactly(m_video, 76);
    if (bytes.size() != 76)
        return {};
    return {bytes.left(64), bytes.mid(64, 4), QSize(int(be32(bytes, 68)), int(be32(bytes, 72)))};
}

} // namespace Sim
