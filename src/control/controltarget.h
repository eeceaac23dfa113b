#pragma once
// What a controller needs to know of the phone it drives; the session's device provides it
// and is the controller's parent, so it outlives the controller.
#include <QSize>
#include <QString>

#include "usermessage.h"

class KeyMappingProfile;

class ControlTarget
{
public:
    virtual QString adbConnectionSerial() const = 0;
    // Size of the decoded video frames.
    virtual QSize frameSize() const = 0;
    virtual KeyMappingProfile *currentKeyMappingProfile() const = 0;
    // Outcomes of work that may end after the controller (installs, uploads).
    virtual void showUserMessage(const QString &message, UserMessage::Kind kind) = 0;

protected:
    ~ControlTarget() = default;
};
