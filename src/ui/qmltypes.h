#pragma once
// The module "Parvix" 1.0 as QML sees it: the subsystems' classes, registered from here so
// that the libraries below the interface need not know QML. Singletons hand out the one
// shared instance, which the engine must never delete.
#include "adbdeviceinfo.h"
#include "adbhostwatch.h"
#include "apiresponse.h"
#include "appconfig.h"
#include "appinfo.h"
#include "authentication.h"
#include "autojs.h"
#include "batchjob.h"
#include "batterymonitor.h"
#include "colormanager.h"
#include "commonphrase.h"
#include "commonphrasemanager.h"
#include "controller.h"
#include "device.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "deviceinfo.h"
#include "devicelink.h"
#include "devicesettings.h"
#include "keymapping.h"
#include "keymappingmodel.h"
#include "mediarecorder.h"
#include "releaselookup.h"
#include "serverparams.h"
#include "storeerrors.h"
#include "userinfo.h"
#include "usersession.h"
#include "videoframefeed.h"
#include "wirelesspairing.h"
#include "yuvvideoitem.h"

#include <QJSEngine>
#include <QtQml/qqml.h>

namespace ParvixQml {
template<typename T> T *shared()
{
    T *instance = T::instance();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}
} // namespace ParvixQml

struct AppConfigForeign
{
    Q_GADGET
    QML_FOREIGN(AppConfig)
    QML_NAMED_ELEMENT(AppConfig)
    QML_SINGLETON
public:
    static AppConfig *create(QQmlEngine *, QJSEngine *) { return ParvixQml::shared<AppConfig>(); }
};

struct AdbHostWatchForeign
{
    Q_GADGET
    QML_FOREIGN(AdbHostWatch)
    QML_NAMED_ELEMENT(AdbHostWatch)
    QML_SINGLETON
public:
    static AdbHostWatch *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<AdbHostWatch>();
    }
};

struct DeviceSettingsForeign
{
    Q_GADGET
    QML_FOREIGN(DeviceSettings)
    QML_NAMED_ELEMENT(DeviceSettings)
    QML_SINGLETON
public:
    static DeviceSettings *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<DeviceSettings>();
    }
};

struct StoreErrorsForeign
{
    Q_GADGET
    QML_FOREIGN(StoreErrors)
    QML_NAMED_ELEMENT(StoreErrors)
    QML_SINGLETON
public:
    static StoreErrors *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<StoreErrors>();
    }
};

struct ColorManagerForeign
{
    Q_GADGET
    QML_FOREIGN(ColorManager)
    QML_NAMED_ELEMENT(ColorManager)
    QML_SINGLETON
public:
    static ColorManager *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<ColorManager>();
    }
};

struct CommonPhraseManagerForeign
{
    Q_GADGET
    QML_FOREIGN(CommonPhraseManager)
    QML_NAMED_ELEMENT(CommonPhraseManager)
    QML_SINGLETON
public:
    static CommonPhraseManager *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<CommonPhraseManager>();
    }
};

struct KeyMappingForeign
{
    Q_GADGET
    QML_FOREIGN(KeyMapping)
    QML_NAMED_ELEMENT(KeyMapping)
    QML_SINGLETON
public:
    static KeyMapping *create(QQmlEngine *, QJSEngine *) { return ParvixQml::shared<KeyMapping>(); }
};

struct AuthenticationForeign
{
    Q_GADGET
    QML_FOREIGN(Authentication)
    QML_NAMED_ELEMENT(Authentication)
    QML_SINGLETON
public:
    static Authentication *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<Authentication>();
    }
};

struct UserSessionForeign
{
    Q_GADGET
    QML_FOREIGN(UserSession)
    QML_NAMED_ELEMENT(UserSession)
    QML_SINGLETON
public:
    static UserSession *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<UserSession>();
    }
};

struct ReleaseLookupForeign
{
    Q_GADGET
    QML_FOREIGN(ReleaseLookup)
    QML_NAMED_ELEMENT(ReleaseLookup)
    QML_SINGLETON
public:
    static ReleaseLookup *create(QQmlEngine *, QJSEngine *)
    {
        return ParvixQml::shared<ReleaseLookup>();
    }
};

struct UserInfoForeign
{
    Q_GADGET
    QML_FOREIGN(UserInfo)
    QML_VALUE_TYPE(userInfo)
};

struct AppInfoForeign
{
    Q_GADGET
    QML_FOREIGN(AppInfo)
    QML_VALUE_TYPE(appInfo)
};

struct DeviceInfoForeign
{
    Q_GADGET
    QML_FOREIGN(DeviceInfo)
    QML_VALUE_TYPE(deviceInfo)
};

struct ADBDeviceInfoForeign
{
    Q_GADGET
    QML_FOREIGN(ADBDeviceInfo)
    QML_VALUE_TYPE(adbDeviceInfo)
};

struct ADBDeviceInfoListForeign
{
    Q_GADGET
    QML_FOREIGN(QList<ADBDeviceInfo>)
    QML_ANONYMOUS
    QML_SEQUENTIAL_CONTAINER(ADBDeviceInfo)
};

struct DeviceGroupListForeign
{
    Q_GADGET
    QML_FOREIGN(QList<DeviceGroup *>)
    QML_ANONYMOUS
    QML_SEQUENTIAL_CONTAINER(DeviceGroup *)
};

struct YuvVideoItemForeign
{
    Q_GADGET
    QML_FOREIGN(YuvVideoItem)
    QML_NAMED_ELEMENT(YuvVideoItem)
};

struct VideoFrameFeedForeign
{
    Q_GADGET
    QML_FOREIGN(VideoFrameFeed)
    QML_NAMED_ELEMENT(VideoFrameFeed)
    QML_UNCREATABLE("Each device has its own video feed")
};

struct ControllerForeign
{
    Q_GADGET
    QML_FOREIGN(Controller)
    QML_NAMED_ELEMENT(Controller)
};

struct CommonPhraseForeign
{
    Q_GADGET
    QML_FOREIGN(CommonPhrase)
    QML_NAMED_ELEMENT(CommonPhrase)
};

struct PhraseCategoryForeign
{
    Q_GADGET
    QML_FOREIGN(PhraseCategory)
    QML_NAMED_ELEMENT(PhraseCategory)
};

struct DeviceForeign
{
    Q_GADGET
    QML_FOREIGN(Device)
    QML_NAMED_ELEMENT(Device)
    QML_UNCREATABLE("Devices are created by their device group")
};

struct DeviceLinkForeign
{
    Q_GADGET
    QML_FOREIGN(DeviceLink)
    QML_NAMED_ELEMENT(DeviceLink)
    QML_UNCREATABLE("Each device has its own link state")
};

struct DeviceGroupManagerForeign
{
    Q_GADGET
    QML_FOREIGN(DeviceGroupManager)
    QML_NAMED_ELEMENT(DeviceGroupManager)
};

struct DeviceGroupForeign
{
    Q_GADGET
    QML_FOREIGN(DeviceGroup)
    QML_NAMED_ELEMENT(DeviceGroup)
};

struct ServerParamsForeign
{
    Q_GADGET
    QML_FOREIGN(ServerParams)
    QML_NAMED_ELEMENT(ServerParams)
};

struct KeyMappingProfileForeign
{
    Q_GADGET
    QML_FOREIGN(KeyMappingProfile)
    QML_NAMED_ELEMENT(KeyMappingProfile)
};

struct KeyMappingModelForeign
{
    Q_GADGET
    QML_FOREIGN(KeyMappingModel)
    QML_NAMED_ELEMENT(KeyMappingModel)
};

struct AutojsForeign
{
    Q_GADGET
    QML_FOREIGN(Autojs)
    QML_NAMED_ELEMENT(Autojs)
    QML_UNCREATABLE("Each device has its own AutoJS runner")
};

struct MediaRecorderForeign
{
    Q_GADGET
    QML_FOREIGN(MediaRecorder)
    QML_NAMED_ELEMENT(MediaRecorder)
    QML_UNCREATABLE("Each device has its own recorder")
};

struct BatchJobForeign
{
    Q_GADGET
    QML_FOREIGN(BatchJob)
    QML_NAMED_ELEMENT(BatchJob)
    QML_UNCREATABLE("Jobs are made by their device group")
};

struct BatchJobListForeign
{
    Q_GADGET
    QML_FOREIGN(BatchJobList)
    QML_NAMED_ELEMENT(BatchJobList)
    QML_UNCREATABLE("Each device group has its own list of jobs")
};

struct BatteryMonitorForeign
{
    Q_GADGET
    QML_FOREIGN(BatteryMonitor)
    QML_NAMED_ELEMENT(BatteryMonitor)
    QML_UNCREATABLE("Each device has its own battery reading")
};

struct WirelessPairingForeign
{
    Q_GADGET
    QML_FOREIGN(WirelessPairing)
    QML_NAMED_ELEMENT(WirelessPairing)
};
