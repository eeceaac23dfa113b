#include "wirelesspairing.h"

#include "adbrunner.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QThreadPool>

#include <algorithm>

namespace {
const QRegularExpression kHostPattern(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
const QRegularExpression kIpv4Pattern(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"));
const QRegularExpression kCodePattern(QStringLiteral("^\\d{6}$"));

bool validPort(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port >= 1 && port <= 65535;
}

bool validHost(const QString &host)
{
    if (!kHostPattern.match(host).hasMatch())
        return false;
    if (!kIpv4Pattern.match(host).hasMatch())
        return true;
    const QStringList parts = host.split(QLatin1Char('.'));
    return std::all_of(parts.cbegin(), parts.cend(),
                       [](const QString &part) { return part.toInt() <= 255; });
}

// The first line of adb's words, without the "[error]" wrapping.
QString adbWords(const QString &output)
{
    static const QRegularExpression wrapping(
        QStringLiteral("^\\[error\\] (adb command failed \\(exit code -?\\d+\\): )?"));
    QString text = output.trimmed();
    text.remove(wrapping);
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

bool mentions(const QString &text, std::initializer_list<const char *> words)
{
    return std::any_of(words.begin(), words.end(), [&text](const char *word) {
        return text.contains(QLatin1String(word), Qt::CaseInsensitive);
    });
}
} // namespace

WirelessPairing::WirelessPairing(QObject *parent) : QObject(parent) {}

QString WirelessPairing::checkInput(const QString &pairAddress, const QString &code,
                                    const QString &connectPort)
{
    const QString address = pairAddress.trimmed();
    const int colon = int(address.lastIndexOf(QLatin1Char(':')));
    if (colon < 0 || !validHost(address.left(colon)) || !validPort(address.mid(colon + 1)))
        return tr("Enter the pairing address as IP:port, as the phone shows it");
    if (!kCodePattern.match(code.trimmed()).hasMatch())
        return tr("The pairing code has six digits");
    if (!validPort(connectPort))
        return tr("Enter the port of the phone's Wireless debugging screen (1 to 65535)");
    return QString();
}

WirelessPairing::Outcome WirelessPairing::pairAndConnect(const QString &pairAddress,
                                                         const QString &code, int connectPort)
{
    const QString host = pairAddress.section(QLatin1Char(':'), 0, -2);
    const ADBRunner::Outcome paired = ADBRunner::run({QStringLiteral("pair"), pairAddress, code});
    const QString pairWords = adbWords(paired.output);
    // adb's exit code is not reliable here across versions; its words are.
    if (!pairWords.contains(QLatin1String("Successfully paired"))) {
        if (mentions(pairWords, {"wrong password", "incorrect"}))
            return {false, tr("Wrong pairing code: check the code shown on the phone")};
        if (mentions(pairWords, {"unable to start pairing", "unable to connect", "refused",
                                 "no route", "timed out", "failed to connect", "unreachable"}))
            return {false, tr("Cannot reach %1: check the address, and that the phone is on the "
                              "same network with its pairing dialog open")
                               .arg(pairAddress)};
        return {false, tr("Pairing failed: %1").arg(pairWords)};
    }
    const QString target = QStringLiteral("%1:%2").arg(host).arg(connectPort);
    const ADBRunner::Outcome connected = ADBRunner::run({QStringLiteral("connect"), target});
    const QString connectWords = adbWords(connected.output);
    // adb connect exits with 0 when it could not connect; its text tells.
    if (!connected.succeeded || !(connectWords.startsWith(QLatin1String("connected to")) ||
                                  connectWords.startsWith(QLatin1String("already connected"))))
        return {false, tr("Paired, but connecting to %1 failed: %2").arg(target, connectWords)};
    return {true, tr("Connected to %1").arg(target)};
}

bool WirelessPairing::start(const QString &pairAddress, const QString &code,
                            const QString &connectPort)
{
    if (m_busy)
        return false;
    const QString refused = checkInput(pairAddress, code, connectPort);
    if (!refused.isEmpty()) {
        setOutcome({false, refused});
        return false;
    }
    m_busy = true;
    emit busyChanged();
    const QPointer<WirelessPairing> self(this);
    const QString address = pairAddress.trimmed();
    const QString digits = code.trimmed();
    const int port = connectPort.trimmed().toInt();
    ADBRunner::workPool()->start([self, address, digits, port] {
        const Outcome outcome = pairAndConnect(address, digits, port);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, outcome] {
                if (!self)
                    return;
                self->m_busy = false;
                emit self->busyChanged();
                self->setOutcome(outcome);
                emit self->finished(outcome.ok);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void WirelessPairing::setOutcome(const Outcome &outcome)
{
    m_succeeded = outcome.ok;
    m_message = outcome.message;
    emit messageChanged();
}
