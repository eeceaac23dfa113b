#include "releaselookup.h"

#include "accountendpoint.h"
#include "pxrequest.h"
#include "version.h"

#include <QJsonObject>

ReleaseLookup::ReleaseLookup(QObject *parent)
    : QObject(parent), m_appInfo{QStringLiteral("Parvix Multi-Phones Control"),
                                 QStringLiteral(PARVIX_VERSION)}
{}

ReleaseLookup *ReleaseLookup::instance()
{
    static ReleaseLookup *const shared = new ReleaseLookup(nullptr); // lives until the end
    return shared;
}

void ReleaseLookup::lookup()
{
    auto *request = new PXRequest(this);
    connect(request, &PXRequest::requestFinished, this,
            [this, request](bool success, const APIResponse &response) {
                request->deleteLater();
                // Only an accepted reply names a release; an error page must not
                // announce an empty "newer" version.
                if (!success || response.code != APIResponse::SuccessCode)
                    return;
                const QJsonObject data = response.data.toObject();
                m_appInfo = {data.value(QLatin1String("app_name")).toString(),
                             data.value(QLatin1String("app_version")).toString()};
                emit appInfoChanged();
            });
    request->request(AccountEndpoint::path(AccountEndpoint::Operation::AppInfo), {},
                     QStringLiteral("get"));
}
