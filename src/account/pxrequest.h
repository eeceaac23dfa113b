#pragma once
#include "apiresponse.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One JSON request to the account service, reported once through requestFinished.
// Create one per call, call request() once, deleteLater() after the report.
class PXRequest : public QObject
{
    Q_OBJECT

public:
    // Replies are small envelopes; anything larger is cut off as a failed transfer.
    static constexpr qint64 MaxReplyBytes = 1024 * 1024;

    explicit PXRequest(QObject *parent);

    QString baseUrl() const { return m_baseUrl; }

    // method is "post", "get", "put" or "delete" (exact case); anything else sends
    // nothing, never reports and returns false. A given token, even an empty one,
    // is sent as "Authorization: Bearer <token>".
    bool request(const QString &path, const QJsonObject &body, const QString &method,
                 const std::optional<QString> &token = std::nullopt);

signals:
    // success: the transfer ended without a network or HTTP error.
    void requestFinished(bool success, const APIResponse &apiResponse);

private:
    void handleReplyFinished(QNetworkReply *reply);
    void refuse(const QString &reason);

    QString m_baseUrl;
    QNetworkAccessManager *m_network;
};
