#include "typeregistration.h"

#include "apiresponse.h"
#include "appconfig.h"
#include "authentication.h"
#include "colormanager.h"
#include "commonphrasemanager.h"
#include "controller.h"
#include "controlmsg.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "devicesettings.h"
#include "keymapping.h"
#include "serverparams.h"
#include "userinfo.h"
#include "usersession.h"
#include "yuvfboitem.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace {
constexpr const char *kUri = "Parvix";
constexpr int kMajor = 1;
constexpr int kMinor = 0;

template<typename T>
void registerSharedSingleton(const char *name)
{
    qmlRegisterSingletonType<T>(kUri, kMajor, kMinor, name, [](QQmlEngine *, QJSEngine *) -> QObject * {
        T *shared = T::instance();
        QJSEngine::setObjectOwnership(shared, QJSEngine::CppOwnership);
        return shared;
    });
}
} // namespace

void registerParvixTypes()
{
    // Creatable and uncreatable types.
    qmlRegisterType<YuvFboItem>(kUri, kMajor, kMinor, "YuvFboItem");
    qmlRegisterType<Controller>(kUri, kMajor, kMinor, "Controller");
    qmlRegisterType<CommonPhrase>(kUri, kMajor, kMinor, "CommonPhrase");
    qmlRegisterType<PhraseCategory>(kUri, kMajor, kMinor, "PhraseCategory");
    qmlRegisterUncreatableType<Device>(kUri, kMajor, kMinor, "Device",
                                       QStringLiteral("Devices are created by their device group"));
    qmlRegisterType<DeviceGroupManager>(kUri, kMajor, kMinor, "DeviceGroupManager");
    qmlRegisterType<DeviceGroup>(kUri, kMajor, kMinor, "DeviceGroup");
    qmlRegisterType<ServerParams>(kUri, kMajor, kMinor, "ServerParams");
    // Control messages travel through signals by reference (Controller::messageSent).
    qRegisterMetaType<ControlMsg>("ControlMsg");
    // Account replies travel through signals; the login hands a UserInfo to the session.
    qRegisterMetaType<APIResponse>("APIResponse");
    qRegisterMetaType<UserInfo>("UserInfo");
    UserInfo::registerConversions();
    // (DeviceGroupManager, Device, DeviceGroup, YuvFboItem, Controller, CommonPhrase,
    //  PhraseCategory join here as their subsystems land.)

    // Singletons, in this order.
    registerSharedSingleton<AppConfig>("AppConfig");
    registerSharedSingleton<DeviceSettings>("DeviceSettings");
    registerSharedSingleton<ColorManager>("ColorManager");
    registerSharedSingleton<CommonPhraseManager>("CommonPhraseManager");
    registerSharedSingleton<Authentication>("Authentication");
    registerSharedSingleton<UserSession>("UserSession");
    registerSharedSingleton<KeyMapping>("KeyMapping");
}
