// Writes the fuzz seed corpora from a real session with the virtual phone: the bytes of
// the video, audio and control connections, the AutoJS app's replies, and adb's output
// for the listing, properties, screen size and IP look-ups (the debian-adb-* seeds came
// once from Debian's own adb without phones).
//
//   capture_corpus <corpus folder>      (tests/fuzz/corpus)
//
// The first byte of a stream seed is the fuzz targets' chunk plan (see fuzzsupport.h).
#include "simsession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>

#include <cstdio>

using namespace Sim;

namespace {

QString g_corpus;

bool writeSeed(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(g_corpus + "/" + target);
    QFile file(g_corpus + "/" + target + "/" + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    std::printf("%s/%s: %lld bytes\n", qPrintable(target), qPrintable(name),
                static_cast<long long>(bytes.size()));
    return true;
}

// Everything the socket delivers until the time is up or `limit` bytes came.
QByteArray collect(QTcpSocket *socket, int milliseconds, int limit)
{
    QByteArray bytes;
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired() && bytes.size() < limit) {
        if (!socket->bytesAvailable())
            socket->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 50)));
        bytes += socket->readAll();
    }
    return bytes;
}

// The first whole frames of a media stream after its header, at most `limit` bytes.
QByteArray wholeFrames(const QByteArray &stream, int headerSize, int limit)
{
    qsizetype end = headerSize;
    while (end + 12 <= stream.size()) {
        const qsizetype next = end + 12 + be32(stream, int(end) + 8);
        if (next > stream.size() || next > limit)
            break;
        end = next;
    }
    return stream.left(end);
}

QString firstAddress(const QByteArray &ipAddrOutput)
{
    const QRegularExpressionMatch match = QRegularExpression("inet\\s+(\\d+\\.\\d+\\.\\d+\\.\\d+)")
                                              .match(QString::fromUtf8(ipAddrOutput));
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray plan(std::initializer_list<int> sizes)
{
    QByteArray bytes(1, char(sizes.size()));
    for (int size : sizes)
        bytes.append(char(size - 1));
    return bytes;
}

bool captureSession(VirtualFleet &fleet)
{
    const QString serial = fleet.serial();
    const QByteArray selection = QStringLiteral("Grüße aus dem Telefon 123").toUtf8();
    fleet.editPhone(
        serial, [&](QJsonObject &phone) { phone["selectedText"] = QString::fromUtf8(selection); });
    Session::Options options;
    options.audio = true;
    options.maxSize = 160;
    auto session = openSession(fleet, options);
    if (!session)
        return false;

    // Copy and cut send the selection to the computer; a clipboard with a sequence number
    // is acknowledged.
    send(session->control, keyPress(278));
    send(session->control, keyPress(277) + clipboardMessage(5, false, "from the computer"));
    const QByteArray video = collect(session->video, 2000, 1 << 20);
    const QByteArray audio = collect(session->audio, 200, 1 << 20);
    const QByteArray control = collect(session->control, 500, 1 << 16);
    if (video.size() < 76 || audio.size() < 4 || control.isEmpty())
        return false;

    const QByteArray videoSeed = wholeFrames(video, 76, 6000);
    const QByteArray audioSeed = wholeFrames(audio, 4, 3000);
    // The audio connection of a session without video opens with the device-name field.
    const QByteArray nameField = video.left(64);
    return writeSeed("videodemuxer", "session-one-read", plan({}) + videoSeed) &&
           writeSeed("videodemuxer", "session-pieces", plan({40, 1, 200, 12}) + videoSeed) &&
           writeSeed("audiodemuxer", "session-one-read", plan({}) + audioSeed) &&
           writeSeed("audiodemuxer", "session-pieces", plan({3, 12, 100}) + audioSeed) &&
           writeSeed("audiodemuxer", "first-connection",
                     QByteArray(1, char(0x10 | 2)) + char(63) + char(11) + nameField + audioSeed) &&
           writeSeed("devicemessages", "session-one-read", plan({}) + control) &&
           writeSeed("devicemessages", "session-pieces", plan({1, 7}) + control);
}

bool captureAutojs(VirtualFleet &fleet)
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return false;
    const quint16 port = probe.serverPort();
    probe.close();
    if (fleet.on(fleet.serial(), {"forward", QStringLiteral("tcp:%1").arg(port), "tcp:7347"})
            .exitCode != 0)
        return false;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return false;
    // A run command and a stop command as the application frames them.
    auto frame = [](const QByteArray &json) {
        QByteArray header(16, '\0');
        header.replace(0, QByteArray::number(json.size()).size(), QByteArray::number(json.size()));
        header[14] = '1';
        return header + json;
    };
    const QByteArray run =
        frame(QString("{\"data\":{\"command\":\"run\",\"id\":%1,\"name\":\"demo\","
                      "\"script\":\"toast('hi')\"},\"id\":%1,\"type\":\"command\"}")
                  .arg(port)
                  .toUtf8());
    const QByteArray stop = frame(QString("{\"data\":{\"command\":\"stopAll\",\"id\":%1},\"id\":%1,"
                                          "\"type\":\"command\"}")
                                      .arg(port)
                                      .toUtf8());
    send(&socket, run + stop);
    const QByteArray replies = collect(&socket, 1500, 1 << 16);
    if (replies.isEmpty())
        return false;
    return writeSeed("autojsreplies", "service-one-read", plan({}) + replies) &&
           writeSeed("autojsreplies", "service-pieces", plan({5, 2}) + replies);
}

bool captureAdb(VirtualFleet &fleet)
{
    auto output = [&fleet](const QStringList &args) { return fleet.adb(args).out; };
    const QString serial = fleet.serial();
    auto shell = [&](const QStringList &args) {
        return output(QStringList{"-s", serial, "shell"} + args);
    };
    // Phone 2 goes over Wi-Fi adb as well, so the listing shows both kinds of entry.
    const QString second = fleet.serial(1);
    const QString ip = firstAddress(fleet.on(second, {"shell", "ip addr show wlan0"}).out);
    fleet.on(second, {"tcpip", "5555"});
    if (!ip.isEmpty())
        fleet.adb({"connect", ip + ":5555"});

    bool ok = writeSeed("adboutput", "devices-l", output({"devices", "-l"}));
    for (const char *key : {"ro.product.manufacturer", "ro.product.model", "ro.build.fingerprint",
                            "sys.usb.config", "dhcp.wlan0.ipaddress"})
        ok = ok &&
             writeSeed("adboutput", QStringLiteral("getprop-%1").arg(key), shell({"getprop", key}));
    return ok && writeSeed("adboutput", "wm-size", shell({"wm", "size"})) &&
           writeSeed("adboutput", "ip-addr-wlan0", shell({"ip addr show wlan0"})) &&
           writeSeed("adboutput", "ifconfig-wlan0", shell({"ifconfig wlan0"})) &&
           writeSeed("adboutput", "ip-addr-eth0", shell({"ip addr show eth0"}));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: capture_corpus <corpus folder>\n");
        return 2;
    }
    g_corpus = QString::fromLocal8Bit(argv[1]);
    VirtualFleet fleet(2);
    if (!fleet.isValid()) {
        std::fprintf(stderr, "no virtual phone fleet (is phonesim built?)\n");
        return 1;
    }
    // Each step says what it wrote; the first that fails ends the run.
    if (!captureSession(fleet) || !captureAutojs(fleet) || !captureAdb(fleet)) {
        std::fprintf(stderr, "capture failed\n");
        return 1;
    }
    return 0;
}
