#pragma once
#include <QJsonValue>
#include <QMetaType>
#include <QString>

// One reply of the account service: {"code": int, "message": string, "data": any}.
struct APIResponse
{
    // The service's code for an accepted operation; the reference service uses the same.
    static constexpr int SuccessCode = 200;

    int code = 0;
    QString message;
    QJsonValue data = QJsonValue::Null;
};

Q_DECLARE_METATYPE(APIResponse)
