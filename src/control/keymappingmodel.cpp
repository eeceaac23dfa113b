#include "keymappingmodel.h"

#include "keymapping.h"

#include <QHash>
#include <QKeySequence>

KeyMappingModel::KeyMappingModel(QObject *parent) : QAbstractListModel(parent) {}

void KeyMappingModel::setProfile(KeyMappingProfile *profile)
{
    if (profile == m_profile)
        return;
    if (m_profile)
        disconnect(m_profile, nullptr, this, nullptr);
    m_profile = profile;
    if (m_profile) {
        connect(m_profile, &KeyMappingProfile::mappingsChanged, this, [this] {
            if (!m_editing)
                reload();
        });
        // A removed profile goes later; its rows must not outlive it.
        connect(m_profile, &QObject::destroyed, this, &KeyMappingModel::reload);
    }
    reload();
    emit profileChanged();
}

void KeyMappingModel::setType(EntryType type)
{
    if (type == m_type)
        return;
    m_type = type;
    reload();
    emit typeChanged();
}

void KeyMappingModel::reload()
{
    beginResetModel();
    m_rows.clear();
    if (m_profile) {
        const QList<KeyMappingEntry> &entries = m_profile->entries();
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).type == m_type)
                m_rows.append(i);
        }
    }
    endResetModel();
    emit countChanged();
}

int KeyMappingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int KeyMappingModel::profileIndex(int row) const
{
    return m_profile && row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

QVariant KeyMappingModel::data(const QModelIndex &index, int role) const
{
    const int at = profileIndex(index.row());
    if (at < 0 || at >= m_profile->entries().size())
        return {};
    const KeyMappingEntry &entry = m_profile->entries().at(at);
    switch (role) {
    case KeyCodeRole:
        return entry.keyCode;
    case ModifiersRole:
        return entry.modifiers;
    case Qt::DisplayRole:
    case KeyDisplayRole:
        return entry.keyDisplay;
    case TypeRole:
        return entry.type;
    case TouchXRole:
        return entry.x;
    case TouchYRole:
        return entry.y;
    case CountRole:
        return entry.count;
    case StartXRole:
        return entry.startX;
    case StartYRole:
        return entry.startY;
    case EndXRole:
        return entry.endX;
    case EndYRole:
        return entry.endY;
    case DurationRole:
        return entry.duration;
    default:
        return {};
    }
}

QHash<int, QByteArray> KeyMappingModel::roleNames() const
{
    return {{KeyCodeRole, "keyCode"}, {ModifiersRole, "modifiers"}, {KeyDisplayRole, "keyDisplay"},
            {TypeRole, "type"},       {TouchXRole, "touchX"},       {TouchYRole, "touchY"},
            {CountRole, "count"},     {StartXRole, "startX"},       {StartYRole, "startY"},
            {EndXRole, "endX"},       {EndYRole, "endY"},           {DurationRole, "duration"}};
}

QString KeyMappingModel::keyName(int keyCode, int modifiers)
{
    // The editor's names, as stored in the files users already have: the Control key reads
    // "Cmd" on macOS, Qt's short names are spelled out, keys outside the set by their code.
#ifdef Q_OS_MACOS
    const bool mac = true;
#else
    const bool mac = false;
#endif
    QString text;
    if (modifiers & Qt::ControlModifier)
        text += mac ? QStringLiteral("Cmd+") : QStringLiteral("Ctrl+");
    if (modifiers & Qt::MetaModifier)
        text += mac ? QStringLiteral("Ctrl+") : QStringLiteral("Meta+");
    if (modifiers & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    if (modifiers & Qt::ShiftModifier)
        text += QStringLiteral("Shift+");

    static const QHash<int, QString> spelledOut{{Qt::Key_Return, QStringLiteral("Enter")},
                                                {Qt::Key_Delete, QStringLiteral("Delete")},
                                                {Qt::Key_Insert, QStringLiteral("Insert")},
                                                {Qt::Key_PageUp, QStringLiteral("PageUp")},
                                                {Qt::Key_PageDown, QStringLiteral("PageDown")}};
    static const QList<int> named{Qt::Key_Space,       Qt::Key_Minus,        Qt::Key_Equal,
                                  Qt::Key_BracketLeft, Qt::Key_BracketRight, Qt::Key_Backslash,
                                  Qt::Key_Semicolon,   Qt::Key_Apostrophe,   Qt::Key_Comma,
                                  Qt::Key_Period,      Qt::Key_Slash,        Qt::Key_QuoteLeft,
                                  Qt::Key_Escape,      Qt::Key_Tab,          Qt::Key_Backspace,
                                  Qt::Key_Home,        Qt::Key_End,          Qt::Key_Left,
                                  Qt::Key_Right,       Qt::Key_Up,           Qt::Key_Down};
    const bool known = (keyCode >= Qt::Key_A && keyCode <= Qt::Key_Z) ||
                       (keyCode >= Qt::Key_0 && keyCode <= Qt::Key_9) ||
                       (keyCode >= Qt::Key_F1 && keyCode <= Qt::Key_F12) || named.contains(keyCode);
    if (spelledOut.contains(keyCode))
        return text + spelledOut.value(keyCode);
    if (!known)
        return text + QStringLiteral("Key_") + QString::number(keyCode);
    return text + QKeySequence(keyCode).toString(QKeySequence::PortableText);
}

QString KeyMappingModel::keyText(int keyCode, int modifiers) const
{
    return keyName(keyCode, modifiers);
}

template<typename Edit> bool KeyMappingModel::edit(Edit &&change)
{
    if (!m_profile)
        return false;
    m_editing = true;
    const bool done = change(*m_profile);
    m_editing = false;
    return done;
}

bool KeyMappingModel::addTouch(int keyCode, int modifiers, double x, double y, int count)
{
    const int row = int(m_rows.size());
    const int at = m_profile ? int(m_profile->entries().size()) : 0;
    if (!edit([&](KeyMappingProfile &profile) {
            return profile.addMapping(keyCode, modifiers, keyName(keyCode, modifiers), x, y, count);
        }))
        return false;
    if (m_type == Touch) {
        beginInsertRows({}, row, row);
        m_rows.append(at);
        endInsertRows();
        emit countChanged();
    }
    return true;
}

bool KeyMappingModel::addSwipe(int keyCode, int modifiers, double startX, double startY,
                               double endX, double endY, int duration)
{
    const int row = int(m_rows.size());
    const int at = m_profile ? int(m_profile->entries().size()) : 0;
    if (!edit([&](KeyMappingProfile &profile) {
            return profile.addSwipeMapping(keyCode, modifiers, keyName(keyCode, modifiers), startX,
                                           startY, endX, endY, duration);
        }))
        return false;
    if (m_type == Swipe) {
        beginInsertRows({}, row, row);
        m_rows.append(at);
        endInsertRows();
        emit countChanged();
    }
    return true;
}

bool KeyMappingModel::setTouch(int row, double x, double y, int count)
{
    const int at = profileIndex(row);
    if (at < 0)
        return false;
    KeyMappingEntry entry = m_profile->entries().at(at);
    entry.x = x;
    entry.y = y;
    entry.count = count;
    if (!edit([&](KeyMappingProfile &profile) { return profile.replaceEntry(at, entry); }))
        return false;
    emit dataChanged(index(row), index(row), {TouchXRole, TouchYRole, CountRole});
    return true;
}

bool KeyMappingModel::setSwipe(int row, double startX, double startY, double endX, double endY,
                               int duration)
{
    const int at = profileIndex(row);
    if (at < 0)
        return false;
    KeyMappingEntry entry = m_profile->entries().at(at);
    entry.startX = startX;
    entry.startY = startY;
    entry.endX = endX;
    entry.endY = endY;
    entry.duration = duration;
    if (!edit([&](KeyMappingProfile &profile) { return profile.replaceEntry(at, entry); }))
        return false;
    emit dataChanged(index(row), index(row),
                     {StartXRole, StartYRole, EndXRole, EndYRole, DurationRole});
    return true;
}

bool KeyMappingModel::remove(int row)
{
    // Checked first: the views read the rows around a removal before it happens.
    const int at = profileIndex(row);
    if (at < 0)
        return false;
    beginRemoveRows({}, row, row);
    edit([at](KeyMappingProfile &profile) { return profile.removeMapping(at); });
    m_rows.removeAt(row);
    for (int &later : m_rows) {
        if (later > at)
            --later;
    }
    endRemoveRows();
    emit countChanged();
    return true;
}

bool KeyMappingModel::move(int from, int to)
{
    // The entry takes the other row's place in the profile; entries between shift by one.
    const int source = profileIndex(from);
    const int target = profileIndex(to);
    if (source < 0 || target < 0)
        return false;
    if (from == to)
        return true;
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    edit([&](KeyMappingProfile &profile) { return profile.moveEntry(source, target); });
    for (int &at : m_rows) {
        if (source < target && at > source && at <= target)
            --at;
        else if (target < source && at >= target && at < source)
            ++at;
    }
    m_rows.move(from, to);
    m_rows[to] = target;
    endMoveRows();
    return true;
}
