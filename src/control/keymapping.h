#pragma once
// Keyboard-to-touch mappings grouped in named profiles, and the application-wide store.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

#include "keymappingmodel.h"
#include "storefile.h"

class QJsonObject;

// One mapping. Positions are fractions 0.0 to 1.0 of the phone screen.
struct KeyMappingEntry
{
    // The kinds by the names QML sees on the editor's model; other numbers load and play nothing.
    static constexpr int Touch = KeyMappingModel::Touch;
    static constexpr int Swipe = KeyMappingModel::Swipe;
    // What the editor accepts; a stored value outside is bounded on load.
    static constexpr int kMinCount = 1;
    static constexpr int kMaxCount = 10;
    static constexpr int kMinDuration = 50;
    static constexpr int kMaxDuration = 2000;

    int keyCode = 0;
    int modifiers = 0;
    QString keyDisplay;
    int type = Touch;

    // Touch data.
    double x = 0.0;
    double y = 0.0;
    int count = 1;

    // Swipe data.
    double startX = 0.0;
    double startY = 0.0;
    double endX = 0.0;
    double endY = 0.0;
    int duration = 200;

    QVariantMap toVariantMap() const;
    QJsonObject toJson() const;
    // Reads the file form, including the older flat form of a touch entry. *usable becomes
    // false when a member has a type or a value the entry cannot take (that member is then
    // defaulted or bounded); an entry whose key cannot be read is dropped.
    static std::optional<KeyMappingEntry> fromJson(const QJsonObject &object,
                                                   bool *usable = nullptr);
};

class KeyMappingProfile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged FINAL)
    Q_PROPERTY(int mappingCount READ getMappingCount NOTIFY mappingsChanged FINAL)
    Q_PROPERTY(QVariantList mappings READ getMappings NOTIFY mappingsChanged FINAL)

public:
    // Limits that keep the store's file small (see KeyMapping).
    static constexpr int kMaxMappings = 100;
    static constexpr int kMaxKeyDisplayLength = 32;

    explicit KeyMappingProfile(QObject *parent = nullptr);
    KeyMappingProfile(const QString &name, QObject *parent);

    QString name() const { return m_name; }
    void setName(const QString &name);

    // For the controller: the first entry of that key, or null. Null also once the
    // profile was taken out of its store, so a device still naming it plays nothing.
    const KeyMappingEntry *findEntry(int keyCode, int modifiers) const;
    const QList<KeyMappingEntry> &entries() const { return m_entries; }
    // Appends without the interface checks (the file may hold anything).
    void appendLoadedEntry(const KeyMappingEntry &entry);
    // Overwrites the entry at index; the same checks as updateMapping.
    bool replaceEntry(int index, const KeyMappingEntry &entry);
    bool moveEntry(int from, int to);

    bool isRetired() const { return m_retired; }
    void retire() { m_retired = true; }

signals:
    void nameChanged();
    void mappingsChanged();

public:
    Q_INVOKABLE bool addMapping(int keyCode, int modifiers, const QString &keyDisplay, double x,
                                double y, int count);
    Q_INVOKABLE bool addMapping(int keyCode, int modifiers, const QString &keyDisplay, double x,
                                double y);
    Q_INVOKABLE bool addMappingWithType(int keyCode, int modifiers, const QString &keyDisplay,
                                        int type, const QVariantMap &data);
    Q_INVOKABLE bool addSwipeMapping(int keyCode, int modifiers, const QString &keyDisplay,
                                     double startX, double startY, double endX, double endY,
                                     int duration);
    Q_INVOKABLE bool addSwipeMapping(int keyCode, int modifiers, const QString &keyDisplay,
                                     double startX, double startY, double endX, double endY);
    Q_INVOKABLE bool removeMapping(int index);
    Q_INVOKABLE bool updateMapping(int index, int keyCode, int modifiers, const QString &keyDisplay,
                                   double x, double y, int count);
    Q_INVOKABLE bool updateMapping(int index, int keyCode, int modifiers, const QString &keyDisplay,
                                   double x, double y);
    Q_INVOKABLE void clearMappings();
    Q_INVOKABLE QVariantMap getMappingByKey(int keyCode, int modifiers) const;
    Q_INVOKABLE bool hasMapping(int keyCode, int modifiers) const;
    Q_INVOKABLE int getMappingCount() const;
    Q_INVOKABLE QVariantList getMappings() const;

private:
    int indexOf(int keyCode, int modifiers) const;
    bool acceptKey(const KeyMappingEntry &entry, int index) const;
    bool append(const KeyMappingEntry &entry);

    QString m_name;
    QList<KeyMappingEntry> m_entries;
    bool m_retired = false;
};

class KeyMapping : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList profileNames READ profileNames NOTIFY profilesChanged FINAL)
    Q_PROPERTY(KeyMappingProfile *currentProfile READ currentProfile WRITE setCurrentProfile NOTIFY
                   currentProfileChanged FINAL)
    Q_PROPERTY(
        QVariantList currentMappings READ currentMappings NOTIFY currentMappingsChanged FINAL)

public:
    static constexpr int kMaxProfiles = 50;
    static constexpr int kMaxProfileNameLength = 64;

    static KeyMapping *instance();
    // A store over an explicit file (tests, tools); the application uses instance().
    explicit KeyMapping(const QString &configFilePath, QObject *parent = nullptr);
    ~KeyMapping() override;

    QList<KeyMappingProfile *> profiles() const { return m_profiles; }

signals:
    void profilesChanged();
    void currentProfileChanged();
    void currentMappingsChanged();

public:
    Q_INVOKABLE QStringList profileNames() const;
    Q_INVOKABLE KeyMappingProfile *currentProfile() const { return m_currentProfile; }
    Q_INVOKABLE void setCurrentProfile(KeyMappingProfile *profile);
    Q_INVOKABLE bool addProfile(const QString &profileName);
    Q_INVOKABLE bool removeProfile(const QString &profileName);
    Q_INVOKABLE KeyMappingProfile *getProfile(const QString &profileName) const;
    Q_INVOKABLE bool hasProfile(const QString &profileName) const;
    Q_INVOKABLE QVariantList currentMappings() const;
    Q_INVOKABLE bool saveToFile();
    Q_INVOKABLE bool loadFromFile();
    Q_INVOKABLE QString getConfigFilePath() const;

private:
    KeyMapping();
    void connectCurrent();
    void disconnectCurrent();
    void handleCurrentMappingsChanged();

    QString m_fixedConfigFilePath; // empty: the folder from the application settings
    QList<KeyMappingProfile *> m_profiles;
    QPointer<KeyMappingProfile> m_currentProfile;
    StoreFile m_file{StoreErrors::Store::KeyMappings};
};
