#include "typeregistration.h"

#include "controlmsg.h"

#include <QMetaType>

void registerParvixTypes()
{
    // Control messages travel through signals by reference (Controller::messageSent).
    qRegisterMetaType<ControlMsg>("ControlMsg");
}
