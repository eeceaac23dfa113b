// Phones' adb lanes run side by side: a phone whose adb hangs holds back no other phone.
#include "adblane.h"
#include "testregistry.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <memory>

class AdbLaneTest : public QObject
{
    Q_OBJECT

private slots:
    void aHungLaneHoldsNoOtherLane()
    {
        // More hung phones than the shared adb pool has threads; the tasks outlive a failure.
        constexpr int kHung = 12;
        auto started = std::make_shared<QSemaphore>();
        auto release = std::make_shared<QSemaphore>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        const auto releaseAll = qScopeGuard([release] { release->release(kHung); });
        for (int i = 0; i < kHung; ++i)
            AdbLane::post(QStringLiteral("hung-%1").arg(i), [started, release] {
                started->release();
                release->acquire();
            });
        AdbLane::post(QStringLiteral("healthy"), [done] { done->store(true); });
        QTRY_VERIFY(done->load());
        QTRY_COMPARE(started->available(), kHung);
    }
};

PARVIX_TEST(AdbLaneTest)
#include "adblanetest.moc"
