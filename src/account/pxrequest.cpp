#include "pxrequest.h"

#include "accountendpoint.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
// A stalled service must not leave a dialog waiting forever.
constexpr int kTransferTimeoutMs = 30000;

QJsonObject parseObject(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object(); // empty on a parse failure
}

void readEnvelope(const QJsonObject &envelope, APIResponse *response)
{
    const QJsonValue code = envelope.value(QLatin1String("code"));
    response->code = code.isDouble() ? code.toInt() : 0;
    response->message = envelope.value(QLatin1String("message")).toString();
    const QJsonValue data = envelope.value(QLatin1String("data"));
    response->data = data.isUndefined() ? QJsonValue(QJsonValue::Null) : data;
}

// An error reply counts as the service's own answer only when it is a whole envelope.
bool isEnvelope(const QJsonObject &object)
{
    return object.value(QLatin1String("code")).isDouble() &&
           object.value(QLatin1String("message")).isString();
}
} // namespace

PXRequest::PXRequest(QObject *parent)
    : QObject(parent), m_baseUrl(AccountEndpoint::baseUrl()),
      m_network(new QNetworkAccessManager(this))
{
    connect(m_network, &QNetworkAccessManager::finished, this, &PXRequest::handleReplyFinished);
}

bool PXRequest::request(const QString &path, const QJsonObject &body, const QString &method,
                        const std::optional<QString> &token)
{
    QNetworkRequest request(QUrl(m_baseUrl + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kTransferTimeoutMs);
    if (token)
        request.setRawHeader("Authorization", QStringLiteral("Bearer %1").arg(*token).toUtf8());

    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Indented);
    if (method == QLatin1String("post"))
        m_network->post(request, payload);
    else if (method == QLatin1String("get"))
        m_network->get(request);
    else if (method == QLatin1String("put"))
        m_network->put(request, payload);
    else if (method == QLatin1String("delete"))
        m_network->deleteResource(request);
    else
        return false;
    return true;
}

void PXRequest::handleReplyFinished(QNetworkReply *reply)
{
    APIResponse response;
    const bool success = reply->error() == QNetworkReply::NoError;
    const QJsonObject body = parseObject(reply->readAll());
    if (success) {
        readEnvelope(body, &response);
    } else if (isEnvelope(body)) {
        // An HTTP error status with the service's envelope: the transfer still failed,
        // but the service's code and message tell the user why (wrong password, rate
        // limit, ...) better than the transfer's error text would.
        readEnvelope(body, &response);
    } else {
        response.message = reply->errorString();
    }
    emit requestFinished(success, response);
    reply->deleteLater();
}
