// CPU cost of whole simulated phones: every phone is a phonesim process started with the
// server command line, connected back through its reverse tunnel and read to the end by this
// process, as the application would. Prints per-phone and fleet figures per scenario.
//
//   phonesim_fleet_bench [seconds per scenario] [phonesim path]
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSize>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Scenario
{
    const char *label;
    QSize screen;
    int fps;
    int bitRate;
    bool replay;
    bool audio;
    int phones;
};

// Counts the frames of one media connection without keeping them.
struct StreamReader
{
    int headerBytes = 0; // stream header still to skip
    QByteArray pending;
    qint64 bytes = 0;
    qint64 packets = 0;

    void feed(const QByteArray &data)
    {
        bytes += data.size();
        pending += data;
        qsizetype at = 0;
        if (headerBytes > 0) {
            const qsizetype skip = std::min<qsizetype>(headerBytes, pending.size());
            headerBytes -= int(skip);
            at = skip;
        }
        while (pending.size() - at >= 12) {
            const quint32 size = qFromBigEndian<quint32>(
                reinterpret_cast<const uchar *>(pending.constData()) + at + 8);
            if (pending.size() - at < 12 + qsizetype(size))
                break;
            at += 12 + size;
            ++packets;
        }
        pending.remove(0, at);
    }
};

struct Phone
{
    QString serial;
    std::unique_ptr<QTcpServer> listener;
    std::unique_ptr<QProcess> adb;
    QTcpSocket *video = nullptr;
    QTcpSocket *audio = nullptr;
    QTcpSocket *control = nullptr;
    StreamReader videoReader;
    StreamReader audioReader;
};

double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Busy and total jiffies of the whole machine, to show what is left for anything else.
std::pair<qint64, qint64> machineJiffies()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    qint64 total = 0, idle = 0;
    for (int i = 1; i < fields.size(); ++i) {
        total += fields.at(i).toLongLong();
        if (i == 4 || i == 5) // idle, iowait
            idle += fields.at(i).toLongLong();
    }
    return {total - idle, total};
}

int run(const QString &phonesim, const QString &home, QStringList args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PHONESIM_HOME"), home);
    process.setProcessEnvironment(env);
    process.start(phonesim, args);
    if (!process.waitForFinished(60000))
        return -1;
    return process.exitCode();
}

// Runs the event loop (sleeping between events) until done() or the time is up.
void waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll, deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(50);
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    if (!done())
        loop.exec();
}

bool runScenario(const QString &phonesim, const Scenario &s, int seconds)
{
    QTemporaryDir home;
    const QString size = QStringLiteral("%1x%2").arg(s.screen.width()).arg(s.screen.height());
    if (run(phonesim, home.path(),
            {"init", "--home", home.path(), "--phones", QString::number(s.phones), "--size", size,
             "--fps", QString::number(s.fps)}) != 0) {
        std::printf("  init failed\n");
        return false;
    }
    QFile fleetFile(home.filePath("fleet.json"));
    if (!fleetFile.open(QIODevice::ReadWrite))
        return false;
    QJsonObject root = QJsonDocument::fromJson(fleetFile.readAll()).object();
    QJsonArray phonesJson = root.value("phones").toArray();
    for (int i = 0; i < phonesJson.size(); ++i) {
        QJsonObject phone = phonesJson.at(i).toObject();
        phone["replay"] = s.replay;
        phonesJson[i] = phone;
    }
    root["phones"] = phonesJson;
    fleetFile.resize(0);
    fleetFile.write(QJsonDocument(root).toJson());
    fleetFile.close();

    std::vector<std::unique_ptr<Phone>> phones;
    for (int i = 0; i < phonesJson.size(); ++i) {
        auto phone = std::make_unique<Phone>();
        phone->serial = phonesJson.at(i).toObject().value("serial").toString();
        phone->listener = std::make_unique<QTcpServer>();
        if (!phone->listener->listen(QHostAddress::LocalHost, 0))
            return false;
        const QString scid = QStringLiteral("%1").arg(i + 1, 8, 16, QLatin1Char('0'));
        if (run(phonesim, home.path(),
                {"-s", phone->serial, "push", home.filePath("scrcpy-server"),
                 "/data/local/tmp/scrcpy-server.jar"}) != 0 ||
            run(phonesim, home.path(),
                {"-s", phone->serial, "reverse", "localabstract:scrcpy_" + scid,
                 QStringLiteral("tcp:%1").arg(phone->listener->serverPort())}) != 0) {
            std::printf("  push or reverse failed\n");
            return false;
        }
        Phone *p = phone.get();
        QObject::connect(p->listener.get(), &QTcpServer::newConnection, p->listener.get(), [p, s] {
            while (QTcpSocket *socket = p->listener->nextPendingConnection()) {
                if (!p->video) {
                    p->video = socket;
                    p->videoReader.headerBytes = 76;
                    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                     [p, socket] { p->videoReader.feed(socket->readAll()); });
                } else if (s.audio && !p->audio) {
                    p->audio = socket;
                    p->audioReader.headerBytes = 4;
                    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                     [p, socket] { p->audioReader.feed(socket->readAll()); });
                } else {
                    p->control = socket;
                }
            }
        });
        phone->adb = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PHONESIM_HOME"), home.path());
        phone->adb->setProcessEnvironment(env);
        phone->adb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        phone->adb->setStandardOutputFile(QProcess::nullDevice());
        phone->adb->start(
            phonesim,
            {"-s", phone->serial, "shell", "CLASSPATH=/data/local/tmp/scrcpy-server.jar",
             "app_process", "/", "com.genymobile.scrcpy.Server", PARVIX_SERVER_VERSION,
             QStringLiteral("video_bit_rate=%1").arg(s.bitRate), "audio_codec=opus",
             "log_level=verbose", QStringLiteral("max_fps=%1").arg(s.fps), "stay_awake=true",
             "scid=" + scid, "control=true", "video=true", s.audio ? "audio=true" : "audio=false"});
        phones.push_back(std::move(phone));
    }

    // Warm-up: every phone connected and streaming for a second (the first replay phone
    // encodes the shared loop meanwhile).
    auto allStreaming = [&] {
        return std::all_of(phones.begin(), phones.end(), [&](const auto &p) {
            return p->control && p->videoReader.packets > s.fps;
        });
    };
    waitUntil(allStreaming, 120000);
    if (!allStreaming()) {
        std::printf("  not every phone started streaming\n");
        return false;
    }
    waitUntil([] { return false; }, 1000);

    std::vector<double> cpuStart;
    std::vector<qint64> framesStart, audioStart, bytesStart;
    for (const auto &p : phones) {
        cpuStart.push_back(processCpuSeconds(p->adb->processId()));
        framesStart.push_back(p->videoReader.packets);
        audioStart.push_back(p->audioReader.packets);
        bytesStart.push_back(p->videoReader.bytes + p->audioReader.bytes);
    }
    const double ownStart = ownCpuSeconds();
    const auto machineStart = machineJiffies();
    QElapsedTimer wall;
    wall.start();
    waitUntil([] { return false; }, seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const auto machineEnd = machineJiffies();
    const double own = ownCpuSeconds() - ownStart;

    double cpu = 0, worstCpu = 0;
    double lowestFps = 1e9, fpsSum = 0, audioSum = 0, bytes = 0;
    bool allAlive = true;
    for (size_t i = 0; i < phones.size(); ++i) {
        const Phone &p = *phones[i];
        allAlive = allAlive && p.adb->state() == QProcess::Running;
        const double phoneCpu = processCpuSeconds(p.adb->processId()) - cpuStart[i];
        cpu += phoneCpu;
        worstCpu = std::max(worstCpu, phoneCpu);
        const double fps = (p.videoReader.packets - framesStart[i]) / elapsed;
        lowestFps = std::min(lowestFps, fps);
        fpsSum += fps;
        audioSum += (p.audioReader.packets - audioStart[i]) / elapsed;
        bytes += p.videoReader.bytes + p.audioReader.bytes - bytesStart[i];
    }
    const int n = int(phones.size());
    const double machineBusy = machineEnd.second > machineStart.second
                                   ? double(machineEnd.first - machineStart.first) /
                                         double(machineEnd.second - machineStart.second)
                                   : 0;
    std::printf("  simulator: %6.2f%% of a core per phone (worst %.2f%%), %6.1f%% for all %d\n",
                cpu / elapsed / n * 100, worstCpu / elapsed * 100, cpu / elapsed * 100, n);
    std::printf(
        "  received:  %5.1f video frames/s per phone (lowest %.1f)%s, %6.0f kbit/s "
        "per phone\n",
        fpsSum / n, lowestFps,
        s.audio ? qPrintable(QStringLiteral(", %1 audio packets/s").arg(audioSum / n, 0, 'f', 1))
                : "",
        bytes * 8 / elapsed / n / 1000);
    std::printf("  reader (this process): %.1f%% of a core; whole machine busy %.0f%% of %ld "
                "cores%s\n",
                own / elapsed * 100, machineBusy * 100, sysconf(_SC_NPROCESSORS_ONLN),
                allAlive ? "" : "; SOME PHONES ENDED EARLY");
    std::fflush(stdout);

    for (const auto &p : phones) {
        p->adb->terminate();
        p->adb->waitForFinished(5000);
    }
    run(phonesim, home.path(), {"kill-server"});
    return allAlive;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const QString phonesim =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(PHONESIM_PATH);
    const Scenario scenarios[] = {
        {"tile 280x622 @ 5 fps, live, 4 phones", {280, 622}, 5, 2000000, false, false, 4},
        {"tile 280x622 @ 5 fps, replay, 4 phones", {280, 622}, 5, 2000000, true, false, 4},
        {"720x1600 @ 30 fps, live, 1 phone", {720, 1600}, 30, 8000000, false, false, 1},
        {"720x1600 @ 30 fps, replay, 4 phones", {720, 1600}, 30, 8000000, true, false, 4},
        {"720x1600 @ 30 fps, replay, 32 phones", {720, 1600}, 30, 8000000, true, false, 32},
        {"720x1600 @ 30 fps, replay, 32 phones with audio",
         {720, 1600},
         30,
         8000000,
         true,
         true,
         32},
    };
    std::printf("phonesim fleet cost: whole phonesim processes, %d s measured per scenario "
                "after warm-up (CPU from /proc)\n",
                seconds);
    bool ok = true;
    for (const Scenario &s : scenarios) {
        std::printf("%s\n", s.label);
        std::fflush(stdout);
        ok = runScenario(phonesim, s, seconds) && ok;
    }
    return ok ? 0 : 1;
}
