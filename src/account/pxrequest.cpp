#include "pxrequest.h"

#include "accountendpoint.h"
#include "accountlog.h"

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
    const QUrl url(m_baseUrl + path);
    if (method != QLatin1String("post") && method != QLatin1String("get") &&
        method != QLatin1String("put") && method != QLatin1String("delete"))
        return false;
    if (!AccountEndpoint::isAllowed(url)) {
        refuse(tr("The account service address must use https."));
        return true;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kTransferTimeoutMs);
    if (token)
        request.setRawHeader("Authorization", QStringLiteral("Bearer %1").arg(*token).toUtf8());

    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Indented);
    QNetworkReply *reply = nullptr;
    if (method == QLatin1String("post"))
        reply = m_network->post(request, payload);
    else if (method == QLatin1String("get"))
        reply = m_network->get(request);
    else if (method == QLatin1String("put"))
        reply = m_network->put(request, payload);
    else
        reply = m_network->deleteResource(request);
    // Qt stops reading past this, so memory stays bounded even before the abort.
    reply->setReadBufferSize(MaxReplyBytes + 1);
    const auto capSize = [reply] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > MaxReplyBytes ||
            reply->bytesAvailable() > MaxReplyBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, capSize);
    connect(reply, &QNetworkReply::readyRead, reply, capSize);
    return true;
}

void PXRequest::handleReplyFinished(QNetworkReply *reply)
{
    APIResponse response;
    const bool tooLarge =
        reply->property("tooLarge").toBool() || reply->bytesAvailable() > MaxReplyBytes;
    const bool success = reply->error() == QNetworkReply::NoError && !tooLarge;
    const QJsonObject body = parseObject(reply->read(MaxReplyBytes));
    if (success) {
        readEnvelope(body, &response);
    } else if (isEnvelope(body) && !tooLarge) {
        // An HTTP error status with the service's envelope: the transfer still failed,
        // but the service's code and message tell the user why (wrong password, rate
        // limit, ...) better than the transfer's error text would.
        readEnvelope(body, &response);
    } else {
        response.message = tooLarge ? tr("The account service sent a reply that is too large.")
                                    : reply->errorString();
        // The address stays out: a reset link carries its token in it.
        qCInfo(lcAccount) << "account request failed:" << reply->error();
    }
    emit requestFinished(success, response);
    reply->deleteLater();
}

void PXRequest::refuse(const QString &reason)
{
    // Reported later, as a transfer would be: callers connect after request().
    APIResponse response;
    response.message = reason;
    QMetaObject::invokeMethod(
        this, [this, response] { emit requestFinished(false, response); }, Qt::QueuedConnection);
}
