// The four data stores filled to their limits, once with ordinary text (Chinese phrases and
// names) and once with the widest text JSON can hold (control characters, six bytes each):
// file size, time to load (opening the store) and time to save, best of five. Then a file of
// 100 MB in the phrase store's format: time until the store is open (refused unread, set aside).
// Prints figures only.
//
//   bench_stores [--huge-mb 100]
#include "appconfig.h"
#include "commonphrasemanager.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicesettings.h"
#include "jsonfile.h"
#include "keymapping.h"
#include "storeerrors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

QString text(const QString &start, int length, QChar fill)
{
    return start + QString(length - start.size(), fill);
}

// The file content of each store at its limits, texts filled with `fill`.
QJsonObject nicknames(QChar fill)
{
    QJsonObject map;
    for (int i = 0; i < DeviceSettings::kMaxNicknames; ++i)
        map.insert(text(QString::number(i), DeviceSettings::kMaxSerialLength, fill),
                   text("n", DeviceSettings::kMaxNicknameLength, fill));
    return {{"device_nicknames", map}};
}

QJsonObject groups(QChar fill)
{
    QJsonArray list;
    for (int i = 0; i < DeviceGroupManager::kMaxGroups; ++i)
        list.append(
            QJsonObject{{"name", text(QString::number(i), DeviceGroup::kMaxNameLength, fill)},
                        {"settings", QJsonObject{{"maxSize", 720}, {"bitRate", 4000000}}}});
    return {{"device_groups", list}};
}

QJsonObject keyMappings(QChar fill)
{
    QJsonObject profiles;
    for (int p = 0; p < KeyMapping::kMaxProfiles; ++p) {
        QJsonArray entries;
        for (int e = 0; e < KeyMappingProfile::kMaxMappings; ++e)
            entries.append(QJsonObject{
                {"keyCode", e},
                {"modifiers", 0},
                {"keyDisplay", text("k", KeyMappingProfile::kMaxKeyDisplayLength, fill)},
                {"type", 1},
                {"data", QJsonObject{{"startX", 0.123456789012345},
                                     {"startY", 0.9876543210987},
                                     {"endX", 0.5},
                                     {"endY", 0.25},
                                     {"duration", 300}}}});
        profiles.insert(text(QString::number(p), KeyMapping::kMaxProfileNameLength, fill), entries);
    }
    return {{"currentProfile", ""}, {"profiles", profiles}};
}

QJsonObject phrases(QChar fill)
{
    using namespace PhraseLimits;
    QJsonArray categories, list;
    for (int i = 0; i < CommonPhraseManager::kMaxCategories; ++i)
        categories.append(QJsonObject{{"id", text(QString::number(i), kMaxIdLength, fill)},
                                      {"name", text("n", kMaxNameLength, fill)},
                                      {"description", text("d", kMaxDescriptionLength, fill)}});
    for (int i = 0; i < CommonPhraseManager::kMaxPhrases; ++i)
        list.append(QJsonObject{{"id", text(QString::number(i), kMaxIdLength, fill)},
                                {"text", text("t", kMaxTextLength, fill)},
                                {"category", text("0", kMaxIdLength, fill)},
                                {"description", text("d", kMaxDescriptionLength, fill)}});
    return {{"categories", categories}, {"phrases", list}, {"currentCategoryId", ""}};
}

struct Store
{
    const char *name;
    std::function<QJsonObject(QChar)> content;
    QString path;
    // Opens the store (it loads), then saves it once; returns load and save times in ms.
    std::function<std::pair<double, double>()> openAndSave;
};

template<typename Open, typename Save> std::pair<double, double> timed(Open open, Save save)
{
    QElapsedTimer clock;
    clock.start();
    auto store = open();
    const double loadMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    save(*store);
    const double saveMs = clock.nsecsElapsed() / 1e6;
    return {loadMs, saveMs};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

long peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QGuiApplication app(argc, argv);
    int hugeMb = 100;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf("--huge-mb"); at > 0 && at + 1 < args.size())
        hugeMb = args.at(at + 1).toInt();

    const QString root = home.filePath("data");
    AppConfig::instance()->setDeviceNicknameSavePath(root + "/nicknames");
    AppConfig::instance()->setDeviceGroupSavePath(root + "/groups");
    const QString keyPath = root + "/keymap/keymappings.json";
    const QString phrasePath = root + "/phrases/common_phrases.json";

    const std::vector<Store> stores{
        {"nicknames", nicknames, root + "/nicknames/device_nicknames.json",
         [] {
             return timed([] { return std::make_unique<DeviceSettings>(nullptr); },
                          [](DeviceSettings &s) { s.sync(); });
         }},
        {"groups", groups, root + "/groups/device_groups.json",
         [] {
             return timed([] { return std::make_unique<DeviceGroupManager>(); },
                          [](DeviceGroupManager &m) {
                              DeviceGroup *first = m.deviceGroups().first();
                              first->setCellWidth(first->cellWidth() + 1);
                          });
         }},
        {"key mappings", keyMappings, keyPath,
         [keyPath] {
             return timed([keyPath] { return std::make_unique<KeyMapping>(keyPath); },
                          [](KeyMapping &k) { k.saveToFile(); });
         }},
        {"phrases", phrases, phrasePath, [phrasePath] {
             return timed(
                 [phrasePath] { return std::make_unique<CommonPhraseManager>(phrasePath); },
                 [](CommonPhraseManager &p) { p.saveData(); });
         }}};

    std::printf("store          text       file KiB  load ms  save ms  (best of 5)\n");
    for (const Store &store : stores) {
        for (const auto &[label, fill] :
             {std::pair{"Chinese", QChar(0x8bdd)}, std::pair{"widest", QChar(1)}}) {
            if (!writeFile(store.path, QJsonDocument(store.content(fill)).toJson()))
                return 1;
            double bestLoad = 1e9, bestSave = 1e9;
            for (int i = 0; i < 5; ++i) {
                const auto [loadMs, saveMs] = store.openAndSave();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                bestLoad = std::min(bestLoad, loadMs);
                bestSave = std::min(bestSave, saveMs);
            }
            std::printf("%-14s %-10s %8lld %8.1f %8.1f\n", store.name, label,
                        QFileInfo(store.path).size() / 1024, bestLoad, bestSave);
        }
    }

    // A phrase file far over the limit: valid JSON, written piece by piece so that this
    // process never holds it; the store refuses it unread and sets it aside.
    qint64 hugeBytes = 0;
    {
        QFile file(phrasePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        const QByteArray phrase =
            QJsonDocument(QJsonObject{{"text", QString(1000, QChar(0x8bdd))}}).toJson();
        file.write("{\"phrases\": [\n");
        for (qint64 i = 0; file.size() < qint64(hugeMb) * 1024 * 1024; ++i)
            file.write((i ? QByteArray(",\n") : QByteArray()) + phrase);
        file.write("]}\n");
        hugeBytes = file.size();
    }
    const long rssBefore = peakRssMb();
    QElapsedTimer clock;
    clock.start();
    {
        CommonPhraseManager refused(phrasePath);
        std::printf("\n%lld MB phrase file: store open after %.1f ms with %lld phrases, "
                    "set aside %s, peak RSS %ld MB -> %ld MB\n",
                    hugeBytes / (1024 * 1024), clock.nsecsElapsed() / 1e6,
                    qint64(refused.getAllPhrases().size()),
                    QFileInfo(JsonFile::backupPath(phrasePath)).size() == hugeBytes ? "whole"
                                                                                    : "MISSING",
                    rssBefore, peakRssMb());
        QFile::rename(JsonFile::backupPath(phrasePath), phrasePath + ".huge");
    }
    // What reading it would have cost: the parse alone, as the stores did before.
    QFile file(phrasePath + ".huge");
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    clock.restart();
    const QJsonDocument parsed = QJsonDocument::fromJson(file.readAll());
    std::printf("parsing it instead: %.1f ms, %lld phrases, peak RSS %ld MB\n",
                clock.nsecsElapsed() / 1e6,
                qint64(parsed.object().value("phrases").toArray().size()), peakRssMb());
    return 0;
}
