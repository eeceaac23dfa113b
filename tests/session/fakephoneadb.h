#pragma once
// A scripted stand-in for adb: every call is logged, and each command line is
// answered by the first rule whose shell pattern matches the joined arguments.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FakePhoneAdb
{
public:
    static constexpr const char *kSerial = "R58M123";

    // Installs itself as the adb of this process until destroyed.
    FakePhoneAdb();
    ~FakePhoneAdb();
    bool isValid() const { return m_valid; }

    // A rule: a sh `case` pattern over "$*" and the shell code that answers it.
    // Rules added later win over earlier ones and over the defaults.
    void addRule(const QString &pattern, const QString &shellCode);
    // The answer of "devices -l" (the listing header is added).
    void setAttachedSerials(const QStringList &serials);
    // Every call first sleeps this long (0: none), as adb does on a slow phone or USB hub.
    void setDelaySeconds(double seconds);

    QList<QStringList> calls() const;
    // Calls whose arguments contain every one of the given words.
    QList<QStringList> callsWith(const QStringList &words) const;
    void clearCalls();

private:
    void writeBehaviour();

    QTemporaryDir m_dir;
    QList<QPair<QString, QString>> m_rules; // newest first
    QStringList m_attached;
    double m_delaySeconds = 0;
    bool m_valid = false;
};

namespace SessionTestEnv {
// The local server file every session pushes (a placeholder). The adb bridge reads
// its location once per process, so this must run before the first session.
QString serverFilePath();
} // namespace SessionTestEnv
