#pragma once
// Turns view input into control messages for one phone, plays gestures and runs its slow adb jobs.
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QSizeF>
#include <QString>

#include "controlmsg.h"
#include "usermessage.h"

class ControlTarget;
class QTcpSocket;
class QTimer;

class Controller : public QObject
{
    Q_OBJECT

public:
    // parent is the phone's device (a ControlTarget); a controller made by QML has neither
    // target nor socket.
    explicit Controller(QObject *parent = nullptr, QTcpSocket *controlSocket = nullptr);
    ~Controller() override;

    int clickDelayMilliSeconds() const { return m_clickDelayMs; }

    // Android key codes sent by the actions.
    enum AndroidKey {
        KeyHome = 3,
        KeyBack = 4,
        KeyVolumeUp = 24,
        KeyVolumeDown = 25,
        KeyAppSwitch = 187,
        KeySleep = 223,
        KeyWakeUp = 224,
        KeyCut = 277,
        KeyCopy = 278,
        KeyPaste = 279,
    };

signals:
    void messageSent(ControlMsg &msg);

public:
    Q_INVOKABLE void actionHome();
    Q_INVOKABLE void actionShowTaskList();
    Q_INVOKABLE void actionBack();
    Q_INVOKABLE void actionSwipeUp();
    Q_INVOKABLE void actionSwipeDown();
    Q_INVOKABLE void actionSwipeLeft();
    Q_INVOKABLE void actionSwipeRight();
    Q_INVOKABLE void actionReboot();
    Q_INVOKABLE void actionShutdown();
    Q_INVOKABLE void actionSleep();
    Q_INVOKABLE void actionWakeUp();
    Q_INVOKABLE void actionVolumeUp();
    Q_INVOKABLE void actionVolumeDown();
    Q_INVOKABLE void actionCopy();
    Q_INVOKABLE void actionPaste();
    Q_INVOKABLE void actionCut();
    Q_INVOKABLE void actionRotateScreen();
    Q_INVOKABLE void installApk(QString apkPath);
    Q_INVOKABLE void uploadFile(QString filePath);
    Q_INVOKABLE void actionInputText(QString text);
    // A pointer event at (x, y) in the pixels of the view that received it, which is
    // viewWidth x viewHeight large: the point lands at the same place of the phone's frame
    // whatever the view's size.
    Q_INVOKABLE void handleMouseEvent(int eventType, double x, double y, int button, int buttons,
                                      double viewWidth, double viewHeight);
    Q_INVOKABLE void handleKeyEvent(int eventType, int key, int modifiers, QString text);
    Q_INVOKABLE bool handleKeyMapping(int eventType, int key, int modifiers, QString text);
    Q_INVOKABLE void send(ControlMsg &msg);
    Q_INVOKABLE void groupSend(ControlMsg &msg);
    Q_INVOKABLE void setClickDelayMilliSeconds(int milliSeconds);
    Q_INVOKABLE void setWallpaper(QString nickname, int width, int height);
    Q_INVOKABLE void resetVideo();
    // Ends every gesture a held mapped key plays (the view lost the keyboard).
    Q_INVOKABLE void releaseHeldKeys();

signals:
    // Outcomes to show the user; the device passes them on to its tile.
    void userMessage(QString message, UserMessage::Kind kind);

private:
    struct HeldGesture;
    struct DelayedMessage;

    void sendKeyPair(int androidKeyCode);
    // `point` in a view of `view` size; gestures the controller plays itself use fractions of
    // the frame (a view of 1 x 1).
    void touch(quint64 pointerId, int eventType, const QPointF &point, const QSizeF &view,
               int button, int buttons);
    void playBuiltInSwipe(const QPointF &start, const QPointF &end, int steps);
    void playTapSeries(HeldGesture &gesture);
    void liftPointer(quint64 pointerId, bool announce = true);
    void playMappedSwipe(HeldGesture &gesture);
    void releaseHeldGesture(int index);
    int findHeldGesture(int key, int modifiers) const;
    quint64 takeNextPointerId();
    void sendDueDelayedMessages();
    void report(const QString &message, UserMessage::Kind kind);

    QPointer<QTcpSocket> m_controlSocket;
    ControlTarget *m_target = nullptr;
    int m_clickDelayMs = 0;
    QList<HeldGesture> m_heldGestures;
    QHash<quint64, QRect> m_touching; // fingers down on the phone: where, in which frame
    quint64 m_nextPointerId = 0;
    QList<DelayedMessage> m_delayedMessages;
    QTimer *m_delayTimer = nullptr;
};
