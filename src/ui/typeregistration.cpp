#include "typeregistration.h"

#include "apiresponse.h"
#include "controlmsg.h"
#include "userinfo.h"

#include <QMetaType>

void registerParvixTypes()
{
    // Control messages travel through signals by reference (Controller::messageSent).
    qRegisterMetaType<ControlMsg>("ControlMsg");
    // Account replies travel through signals; the login hands a UserInfo to the session.
    qRegisterMetaType<APIResponse>("APIResponse");
    qRegisterMetaType<UserInfo>("UserInfo");
    UserInfo::registerConversions();
}
