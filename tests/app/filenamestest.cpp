// File names made from nicknames and serials: cut by whole characters to the file system's
// 255 bytes with their ending (time stamp, extension) whole.
#include "filenames.h"
#include "mediarecorder.h"
#include "testregistry.h"

#include <QDateTime>
#include <QtTest>

class FileNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void fitKeepsTheEndingAndWholeCharacters_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("expected");
        const QString mkv = QStringLiteral("_20240305_140709_123.mkv"); // 24 bytes
        QTest::newRow("fits") << "R58M12"
                              << ".png"
                              << "R58M12.png";
        QTest::newRow("separators") << "a/b\\c:d"
                                    << ".jpg"
                                    << "a-b-c-d.jpg";
        QTest::newRow("ASCII") << QString(300, 'a') << mkv << QString(231, 'a') + mkv;
        // Three bytes each: 231 bytes of room take 77 of them.
        QTest::newRow("CJK") << QString(100, QChar(0x624b)) << mkv
                             << QString(77, QChar(0x624b)) + mkv;
        // Four bytes and two UTF-16 units each: never half of one.
        const QString grin = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("emoji") << grin.repeated(70) << mkv << grin.repeated(57) + mkv;
        // A letter and its accent (1 + 2 bytes) stay together.
        const QString accented = QString::fromUtf8("e\xCC\x81");
        QTest::newRow("accent") << accented.repeated(100) << mkv << accented.repeated(77) + mkv;
        // Lone halves of pairs are written as U+FFFD, three bytes each.
        const QString fffd(77, QChar::ReplacementCharacter);
        QTest::newRow("lone high halves") << QString(300, QChar(0xD83D)) << mkv << fffd + mkv;
        QTest::newRow("lone low halves") << QString(300, QChar(0xDE00)) << mkv << fffd + mkv;
        QTest::newRow("ending fills it") << "abc" << QString(255, 'e') << QString(255, 'e');
        QTest::newRow("ending too long") << "abc" << QString(256, 'e') << QString();
    }

    void fitKeepsTheEndingAndWholeCharacters()
    {
        QFETCH(QString, variable);
        QFETCH(QString, ending);
        QFETCH(QString, expected);
        const QString name = FileNames::fit(variable, ending);
        QCOMPARE(name, expected);
        QVERIFY(name.toUtf8().size() <= FileNames::MaxNameBytes);
    }

    // A serial or nickname over 230 bytes: the recording still ends in its time and ".mkv".
    void longSerialsAndNicknamesKeepTheRecordingEnding()
    {
        const QDateTime time(QDate(2024, 3, 5), QTime(14, 7, 9, 123));
        const QString ending = QStringLiteral("_20240305_140709_123.mkv");
        const QList<QPair<QString, QString>> cases{
            {"Phone", QString(240, 'S')},
            {QString(240, 'N'), "R58M12"},
            {QString::fromUtf8("手机"), QString(90, QChar(0x673a))},
            {QString(90, QChar(0x624b)), QString(90, QChar(0x673a))},
            {QString(), QString::fromUtf8("\xF0\x9F\x93\xB1").repeated(70)}};
        for (const auto &[nickname, serial] : cases) {
            const QString name = MediaRecorder::recordingFileName(nickname, serial, time);
            QVERIFY2(name.endsWith(ending), qPrintable(name));
            QVERIFY2(name.toUtf8().size() <= FileNames::MaxNameBytes, qPrintable(name));
            QVERIFY(name.toUtf8().size() > FileNames::MaxNameBytes - 4);
            QCOMPARE(QString::fromUtf8(name.toUtf8()), name); // no half characters
            QVERIFY(!name.contains(QChar::ReplacementCharacter));
        }
    }
};

PARVIX_TEST(FileNamesTest)
#include "filenamestest.moc"
