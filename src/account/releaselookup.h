#pragma once
#include "appinfo.h"

#include <QObject>

// The newest release as the account service announces it. Until a lookup succeeds it is
// this build.
class ReleaseLookup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AppInfo appInfo READ appInfo NOTIFY appInfoChanged)

public:
    explicit ReleaseLookup(QObject *parent);

    static ReleaseLookup *instance();

    AppInfo appInfo() const { return m_appInfo; }

    // Asks the service; appInfoChanged follows an accepted reply, a failed lookup changes
    // nothing.
    Q_INVOKABLE void lookup();

signals:
    void appInfoChanged();

private:
    AppInfo m_appInfo;
};
