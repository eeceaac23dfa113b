#pragma once
// What a forward leads to. Real adb keeps forwards in its background server; here each
// forward is a detached helper process listening on the computer port. For the phone's
// port 7347 it plays the AutoJS app's service: it reads the 16-byte-header command
// frames, logs each command to HOME/<serial>/autojs.jsonl and answers with a hello frame.
// A "localabstract:NAME" forward relays each connection to the phone-side server listening
// on that socket (forward mode), or closes it while none listens there. Any other phone
// port has nothing listening, so connections are closed at once. While the fleet's host is
// cut, every connection closes.
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

struct ForwardHelperOptions
{
    QString home;
    QString phone;     // the phone's own serial
    QString transport; // serial the forward was made through
    QString model;
    QString remote; // tcp:<phone port> or localabstract:<name>
    int localPort = 0;
    int listenFd = -1; // already bound and listening, inherited from the forward command
    bool autojs = true;
};

class ForwardHelper : public QObject
{
    Q_OBJECT
public:
    explicit ForwardHelper(const ForwardHelperOptions &options, QObject *parent = nullptr);
    bool start();

private:
    void acceptConnections();
    void readFrames(QTcpSocket *socket);
    void relay(QTcpSocket *socket);
    int abstractSocketPort() const;
    bool hostCut() const;
    void logLine(QJsonObject line) const;
    void checkRegistration();

    ForwardHelperOptions m_options;
    QTcpServer *m_server = nullptr;
    qint64 m_startedMs = 0;
};

constexpr int kAutojsPort = 7347;
