#pragma once
// Records the names of every signal an object emits, in emission order, across all
// of its signals (QSignalSpy watches one signal only).
#include <QObject>
#include <QStringList>

class SignalLog : public QObject
{
    Q_OBJECT

public:
    // Watches the signals declared by the object's own class (not QObject's); each
    // name is recorded with the prefix in front.
    explicit SignalLog(QObject *watched, const QString &prefix = QString());

    QStringList names;

private slots:
    void record();

private:
    QString m_prefix;
};
