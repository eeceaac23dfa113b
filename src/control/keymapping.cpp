#include "keymapping.h"

#include "appconfig.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char *kFileName = "keymappings.json";

KeyMappingEntry touchEntry(int keyCode, int modifiers, const QString &keyDisplay, double x,
                           double y, int count)
{
    KeyMappingEntry entry;
    entry.keyCode = keyCode;
    entry.modifiers = modifiers;
    entry.keyDisplay = keyDisplay;
    entry.type = KeyMappingEntry::Touch;
    entry.x = x;
    entry.y = y;
    entry.count = count;
    return entry;
}

} // namespace

// ---- KeyMappingEntry ----------------------------------------------------------

QVariantMap KeyMappingEntry::toVariantMap() const
{
    return toJson().toVariantMap();
}

QJsonObject KeyMappingEntry::toJson() const
{
    // Built directly: a full store saves thousands of entries on the GUI thread.
    QJsonObject data;
    if (type == Touch) {
        data.insert("x", x);
        data.insert("y", y);
        data.insert("count", count);
    } else if (type == Swipe) {
        data.insert("startX", startX);
        data.insert("startY", startY);
        data.insert("endX", endX);
        data.insert("endY", endY);
        data.insert("duration", duration);
    }
    return {{"keyCode", keyCode},
            {"modifiers", modifiers},
            {"keyDisplay", keyDisplay},
            {"type", type},
            {"data", data}};
}

std::optional<KeyMappingEntry> KeyMappingEntry::fromJson(const QJsonObject &object, bool *usable)
{
    // Each member of a wrong type or beyond what the editor accepts falls back to a value
    // the controller can play, and the entry counts as damaged.
    bool sound = true;
    const auto number = [&sound](const QJsonObject &from, const char *key, double fallback,
                                 double low, double high) {
        const QJsonValue value = from.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (!value.isDouble()) {
            sound = false;
            return fallback;
        }
        const double read = value.toDouble();
        if (read < low || read > high) {
            sound = false;
            return std::clamp(read, low, high);
        }
        return read;
    };
    const auto integer = [&](const QJsonObject &from, const char *key, int fallback, int low,
                             int high) {
        const double read = number(from, key, fallback, low, high);
        if (read != std::trunc(read)) {
            sound = false;
            return fallback;
        }
        return int(read);
    };
    constexpr int kIntMin = std::numeric_limits<int>::min();
    constexpr int kIntMax = std::numeric_limits<int>::max();

    KeyMappingEntry entry;
    entry.keyCode = integer(object, "keyCode", 0, kIntMin, kIntMax);
    entry.modifiers = integer(object, "modifiers", 0, kIntMin, kIntMax);
    if (!sound) {
        // No key to press it with: a guessed one could collide with another entry.
        if (usable)
            *usable = false;
        return std::nullopt;
    }
    entry.type = integer(object, "type", Touch, kIntMin, kIntMax);
    const QJsonValue display = object.value("keyDisplay");
    if (!display.isUndefined() && !display.isString())
        sound = false;
    entry.keyDisplay = display.toString();
    const QJsonValue dataValue = object.value("data");
    if (!dataValue.isUndefined() && !dataValue.isObject())
        sound = false;
    const QJsonObject data = dataValue.toObject();
    if (entry.type == Touch) {
        // The older flat form kept the point beside the key.
        const QJsonObject &source = data.isEmpty() ? object : data;
        entry.x = number(source, "x", 0.0, 0.0, 1.0);
        entry.y = number(source, "y", 0.0, 0.0, 1.0);
        entry.count = data.isEmpty() ? 1 : integer(data, "count", 1, kMinCount, kMaxCount);
    } else if (entry.type == Swipe) {
        entry.startX = number(data, "startX", 0.0, 0.0, 1.0);
        entry.startY = number(data, "startY", 0.0, 0.0, 1.0);
        entry.endX = number(data, "endX", 0.0, 0.0, 1.0);
        entry.endY = number(data, "endY", 0.0, 0.0, 1.0);
        entry.duration = integer(data, "duration", 200, kMinDuration, kMaxDuration);
    }
    if (usable && !sound)
        *usable = false;
    return entry;
}

// ---- KeyMappingProfile --------------------------------------------------------

KeyMappingProfile::KeyMappingProfile(QObject *parent) : QObject(parent) {}

KeyMappingProfile::KeyMappingProfile(const QString &name, QObject *parent)
    : QObject(parent), m_name(name)
{}

void KeyMappingProfile::setName(const QString &name)
{
    if (name == m_name || !StoreFile::acceptText(name, KeyMapping::kMaxProfileNameLength))
        return;
    m_name = name;
    emit nameChanged();
}

const KeyMappingEntry *KeyMappingProfile::findEntry(int keyCode, int modifiers) const
{
    if (m_retired)
        return nullptr;
    const int index = indexOf(keyCode, modifiers);
    return index < 0 ? nullptr : &m_entries.at(index);
}

void KeyMappingProfile::appendLoadedEntry(const KeyMappingEntry &entry)
{
    m_entries.append(entry);
}

int KeyMappingProfile::indexOf(int keyCode, int modifiers) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).keyCode == keyCode && m_entries.at(i).modifiers == modifiers)
            return i;
    }
    return -1;
}

// A key other than the entry at `index` (-1 for a new one) maps already, or it has no name.
bool KeyMappingProfile::acceptKey(const KeyMappingEntry &entry, int index) const
{
    if (entry.keyDisplay.isEmpty() ||
        !StoreFile::acceptText(entry.keyDisplay, kMaxKeyDisplayLength))
        return false;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (i != index && m_entries.at(i).keyCode == entry.keyCode &&
            m_entries.at(i).modifiers == entry.modifiers)
            return false;
    }
    return true;
}

bool KeyMappingProfile::append(const KeyMappingEntry &entry)
{
    if (!acceptKey(entry, -1) ||
        !StoreFile::acceptOneMore(m_entries.size(), kMaxMappings, tr("key mappings in a profile")))
        return false;
    m_entries.append(entry);
    emit mappingsChanged();
    return true;
}

bool KeyMappingProfile::replaceEntry(int index, const KeyMappingEntry &entry)
{
    if (index < 0 || index >= m_entries.size() || !acceptKey(entry, index))
        return false;
    m_entries[index] = entry;
    emit mappingsChanged();
    return true;
}

bool KeyMappingProfile::moveEntry(int from, int to)
{
    if (from < 0 || from >= m_entries.size() || to < 0 || to >= m_entries.size())
        return false;
    if (from != to) {
        m_entries.move(from, to);
        emit mappingsChanged();
    }
    return true;
}

bool KeyMappingProfile::addMapping(int keyCode, int modifiers, const QString &keyDisplay, double x,
                                   double y, int count)
{
    return append(touchEntry(keyCode, modifiers, keyDisplay, x, y, count));
}

bool KeyMappingProfile::addMapping(int keyCode, int modifiers, const QString &keyDisplay, double x,
                                   double y)
{
    return addMapping(keyCode, modifiers, keyDisplay, x, y, 1);
}

bool KeyMappingProfile::addMappingWithType(int keyCode, int modifiers, const QString &keyDisplay,
                                           int type, const QVariantMap &data)
{
    KeyMappingEntry entry;
    entry.keyCode = keyCode;
    entry.modifiers = modifiers;
    entry.keyDisplay = keyDisplay;
    entry.type = type;
    if (type == KeyMappingEntry::Touch) {
        entry.x = data.value("x", 0.0).toDouble();
        entry.y = data.value("y", 0.0).toDouble();
        entry.count = data.value("count", 1).toInt();
    } else if (type == KeyMappingEntry::Swipe) {
        entry.startX = data.value("startX", 0.0).toDouble();
        entry.startY = data.value("startY", 0.0).toDouble();
        entry.endX = data.value("endX", 0.0).toDouble();
        entry.endY = data.value("endY", 0.0).toDouble();
        entry.duration = data.value("duration", 200).toInt();
    }
    return append(entry);
}

bool KeyMappingProfile::addSwipeMapping(int keyCode, int modifiers, const QString &keyDisplay,
                                        double startX, double startY, double endX, double endY,
                                        int duration)
{
    KeyMappingEntry entry;
    entry.keyCode = keyCode;
    entry.modifiers = modifiers;
    entry.keyDisplay = keyDisplay;
    entry.type = KeyMappingEntry::Swipe;
    entry.startX = startX;
    entry.startY = startY;
    entry.endX = endX;
    entry.endY = endY;
    entry.duration = duration;
    return append(entry);
}

bool KeyMappingProfile::addSwipeMapping(int keyCode, int modifiers, const QString &keyDisplay,
                                        double startX, double startY, double endX, double endY)
{
    return addSwipeMapping(keyCode, modifiers, keyDisplay, startX, startY, endX, endY, 200);
}

bool KeyMappingProfile::removeMapping(int index)
{
    if (index < 0 || index >= m_entries.size())
        return false;
    m_entries.removeAt(index);
    emit mappingsChanged();
    return true;
}

bool KeyMappingProfile::updateMapping(int index, int keyCode, int modifiers,
                                      const QString &keyDisplay, double x, double y, int count)
{
    return replaceEntry(index, touchEntry(keyCode, modifiers, keyDisplay, x, y, count));
}

bool KeyMappingProfile::updateMapping(int index, int keyCode, int modifiers,
                                      const QString &keyDisplay, double x, double y)
{
    return updateMapping(index, keyCode, modifiers, keyDisplay, x, y, 1);
}

void KeyMappingProfile::clearMappings()
{
    m_entries.clear();
    emit mappingsChanged();
}

QVariantMap KeyMappingProfile::getMappingByKey(int keyCode, int modifiers) const
{
    const int index = indexOf(keyCode, modifiers);
    return index < 0 ? QVariantMap() : m_entries.at(index).toVariantMap();
}

bool KeyMappingProfile::hasMapping(int keyCode, int modifiers) const
{
    return indexOf(keyCode, modifiers) >= 0;
}

int KeyMappingProfile::getMappingCount() const
{
    return int(m_entries.size());
}

QVariantList KeyMappingProfile::getMappings() const
{
    QVariantList list;
    list.reserve(m_entries.size());
    for (const KeyMappingEntry &entry : m_entries)
        list.append(entry.toVariantMap());
    return list;
}

// ---- KeyMapping -----------------------------------------------------------------

KeyMapping *KeyMapping::instance()
{
    static KeyMapping *shared = new KeyMapping;
    return shared;
}

KeyMapping::KeyMapping() : QObject(nullptr)
{
    loadFromFile();
}

KeyMapping::KeyMapping(const QString &configFilePath, QObject *parent)
    : QObject(parent), m_fixedConfigFilePath(configFilePath)
{
    loadFromFile();
}

KeyMapping::~KeyMapping() = default;

QStringList KeyMapping::profileNames() const
{
    QStringList names;
    names.reserve(m_profiles.size());
    for (const KeyMappingProfile *profile : m_profiles)
        names.append(profile->name());
    return names;
}

void KeyMapping::disconnectCurrent()
{
    if (m_currentProfile)
        disconnect(m_currentProfile, &KeyMappingProfile::mappingsChanged, this, nullptr);
}

void KeyMapping::connectCurrent()
{
    if (m_currentProfile)
        connect(m_currentProfile, &KeyMappingProfile::mappingsChanged, this,
                &KeyMapping::handleCurrentMappingsChanged);
}

void KeyMapping::handleCurrentMappingsChanged()
{
    emit currentMappingsChanged();
    saveToFile();
}

void KeyMapping::setCurrentProfile(KeyMappingProfile *profile)
{
    if (profile == m_currentProfile)
        return;
    // Only profiles of this store can be current.
    if (profile && !m_profiles.contains(profile))
        return;
    disconnectCurrent();
    m_currentProfile = profile;
    connectCurrent();
    emit currentProfileChanged();
    emit currentMappingsChanged();
}

bool KeyMapping::addProfile(const QString &profileName)
{
    if (profileName.isEmpty() || hasProfile(profileName) ||
        !StoreFile::acceptText(profileName, kMaxProfileNameLength) ||
        !StoreFile::acceptOneMore(m_profiles.size(), kMaxProfiles, tr("key-mapping profiles")))
        return false;
    m_profiles.append(new KeyMappingProfile(profileName, this));
    emit profilesChanged();
    saveToFile();
    return true;
}

bool KeyMapping::removeProfile(const QString &profileName)
{
    KeyMappingProfile *profile = getProfile(profileName);
    if (!profile)
        return false;
    if (profile == m_currentProfile) {
        KeyMappingProfile *next = nullptr;
        if (m_profiles.first() != profile)
            next = m_profiles.first();
        else if (m_profiles.size() > 1)
            next = m_profiles.at(1);
        setCurrentProfile(next);
    }
    m_profiles.removeOne(profile);
    // Devices may still name it until it is deleted; it must not play from now on.
    profile->retire();
    profile->deleteLater();
    emit profilesChanged();
    saveToFile();
    return true;
}

KeyMappingProfile *KeyMapping::getProfile(const QString &profileName) const
{
    for (KeyMappingProfile *profile : m_profiles) {
        if (profile->name() == profileName)
            return profile;
    }
    return nullptr;
}

bool KeyMapping::hasProfile(const QString &profileName) const
{
    return getProfile(profileName) != nullptr;
}

QVariantList KeyMapping::currentMappings() const
{
    return m_currentProfile ? m_currentProfile->getMappings() : QVariantList();
}

QString KeyMapping::getConfigFilePath() const
{
    if (!m_fixedConfigFilePath.isEmpty())
        return m_fixedConfigFilePath;
    const QString folder = AppConfig::instance()->getKeyMappingSavePath();
    QDir().mkpath(folder);
    return QDir(folder).filePath(kFileName);
}

bool KeyMapping::saveToFile()
{
    QJsonObject profiles;
    for (const KeyMappingProfile *profile : m_profiles) {
        QJsonArray entries;
        for (const KeyMappingEntry &entry : profile->entries())
            entries.append(entry.toJson());
        // Two profiles renamed to one name share a member; the first in the list wins.
        if (!profiles.contains(profile->name()))
            profiles.insert(profile->name(), entries);
    }
    QJsonObject root;
    root.insert("version", "1.0");
    root.insert("currentProfile", m_currentProfile ? m_currentProfile->name() : QString());
    root.insert("profiles", profiles);
    return m_file.save(getConfigFilePath(), root);
}

bool KeyMapping::loadFromFile()
{
    const std::optional<QJsonObject> file = m_file.load(getConfigFilePath());
    if (!file) {
        // Missing, or unusable as a whole: the store keeps what it has.
        m_file.finishLoad();
        return false;
    }
    const QJsonObject &root = *file;

    const QJsonValue currentValue = root.value("currentProfile");
    if (!currentValue.isUndefined() && !currentValue.isString())
        m_file.markDamaged();
    const QString currentName = currentValue.toString();
    const QJsonValue profilesValue = root.value("profiles");
    if (!profilesValue.isUndefined() && !profilesValue.isObject())
        m_file.markDamaged();
    if (profilesValue.isObject()) {
        setCurrentProfile(nullptr);
        for (KeyMappingProfile *profile : std::as_const(m_profiles)) {
            profile->retire();
            profile->deleteLater();
        }
        m_profiles.clear();
        const QJsonObject profiles = profilesValue.toObject();
        for (auto it = profiles.begin(); it != profiles.end(); ++it) {
            if (m_profiles.size() >= kMaxProfiles || !it.value().isArray()) {
                m_file.markDamaged();
                continue;
            }
            // Names cut to their limit may meet; the first keeps its place.
            const QString name = StoreFile::cut(it.key(), kMaxProfileNameLength);
            if (name != it.key())
                m_file.markDamaged();
            if (hasProfile(name)) {
                m_file.markDamaged();
                continue;
            }
            auto *profile = new KeyMappingProfile(name, this);
            const QJsonArray entries = it.value().toArray();
            for (const QJsonValue &value : entries) {
                if (!value.isObject() ||
                    profile->entries().size() >= KeyMappingProfile::kMaxMappings) {
                    m_file.markDamaged();
                    continue;
                }
                bool usable = true;
                std::optional<KeyMappingEntry> read =
                    KeyMappingEntry::fromJson(value.toObject(), &usable);
                if (!read) {
                    m_file.markDamaged();
                    continue;
                }
                KeyMappingEntry &entry = *read;
                if (entry.keyDisplay.size() > KeyMappingProfile::kMaxKeyDisplayLength) {
                    usable = false;
                    entry.keyDisplay =
                        StoreFile::cut(entry.keyDisplay, KeyMappingProfile::kMaxKeyDisplayLength);
                }
                if (!usable)
                    m_file.markDamaged();
                profile->appendLoadedEntry(entry);
            }
            m_profiles.append(profile);
        }
    }
    m_file.finishLoad();

    KeyMappingProfile *current = currentName.isEmpty() ? nullptr : getProfile(currentName);
    if (current && current != m_currentProfile) {
        disconnectCurrent();
        m_currentProfile = current;
        connectCurrent();
    }
    emit profilesChanged();
    if (m_currentProfile) {
        emit currentProfileChanged();
        emit currentMappingsChanged();
    }
    return true;
}
