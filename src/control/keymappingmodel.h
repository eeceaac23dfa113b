#pragma once
// The entries of one key-mapping profile of one type, as rows for the editor. Edits made here
// go to the profile (and so to the store's file); edits made elsewhere reload the rows.
#include <QAbstractListModel>
#include <QList>
#include <QPointer>

class KeyMappingProfile;

class KeyMappingModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(KeyMappingProfile *profile READ profile WRITE setProfile NOTIFY profileChanged FINAL)
    Q_PROPERTY(EntryType type READ type WRITE setType NOTIFY typeChanged FINAL)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged FINAL)

public:
    // Stored as numbers in the file; other numbers load but play nothing.
    enum EntryType { Touch = 0, Swipe = 1 };
    Q_ENUM(EntryType)
    // A touch's point is named touchX and touchY, as x and y are a delegate's own place.
    enum Role {
        KeyCodeRole = Qt::UserRole + 1,
        ModifiersRole,
        KeyDisplayRole,
        TypeRole,
        TouchXRole,
        TouchYRole,
        CountRole,
        StartXRole,
        StartYRole,
        EndXRole,
        EndYRole,
        DurationRole
    };

    explicit KeyMappingModel(QObject *parent = nullptr);

    KeyMappingProfile *profile() const { return m_profile; }
    void setProfile(KeyMappingProfile *profile);
    EntryType type() const { return m_type; }
    void setType(EntryType type);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The name a key is shown and stored under, e.g. "Ctrl+Shift+A".
    static QString keyName(int keyCode, int modifiers);
    Q_INVOKABLE QString keyText(int keyCode, int modifiers) const;

    // Each fails (false, nothing changed) without a profile, on a row out of range, or on a
    // key the profile maps already.
    Q_INVOKABLE bool addTouch(int keyCode, int modifiers, double x, double y, int count);
    Q_INVOKABLE bool addSwipe(int keyCode, int modifiers, double startX, double startY, double endX,
                              double endY, int duration);
    Q_INVOKABLE bool setTouch(int row, double x, double y, int count);
    Q_INVOKABLE bool setSwipe(int row, double startX, double startY, double endX, double endY,
                              int duration);
    Q_INVOKABLE bool remove(int row);
    Q_INVOKABLE bool move(int from, int to);

signals:
    void profileChanged();
    void typeChanged();
    void countChanged();

private:
    // Runs an edit of the profile without reloading the rows on its change signal.
    template<typename Edit> bool edit(Edit &&change);
    void reload();
    int profileIndex(int row) const;

    QPointer<KeyMappingProfile> m_profile;
    EntryType m_type = Touch;
    QList<int> m_rows; // index in the profile of each row
    bool m_editing = false;
};
