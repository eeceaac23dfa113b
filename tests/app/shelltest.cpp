// Start-up pieces: the translation rule on the real catalogues, and the shared objects and
// palette as QML sees them through the module.
#include "appconfig.h"
#include "colormanager.h"
#include "devicesettings.h"
#include "testregistry.h"
#include "translationloader.h"
#include "typeregistration.h"

#include <QColor>
#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTranslator>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>
#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void localePicksTheCatalogue_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("catalogue"); // empty: nothing installed
        QTest::newRow("zh_CN") << "zh_CN"
                               << ":/translations/Parvix_CN.qm";
        QTest::newRow("zh_TW") << "zh_TW"
                               << ":/translations/Parvix_TW.qm";
        QTest::newRow("en_US") << "en_US"
                               << "";
        QTest::newRow("lower case") << "zh_cn"
                                    << "";
        QTest::newRow("both, TW wins") << "CN_TW"
                                       << ":/translations/Parvix_TW.qm";
        QTest::newRow("both, other order") << "TW_CN"
                                           << ":/translations/Parvix_TW.qm";
    }

    void localePicksTheCatalogue()
    {
        QFETCH(QString, locale);
        QFETCH(QString, catalogue);
        QTranslator translator;
        const bool installed =
            installLocaleTranslator(QCoreApplication::instance(), &translator, locale);
        QCOMPARE(installed, !catalogue.isEmpty());
        QCOMPARE(translator.filePath(), catalogue);
        if (installed)
            QVERIFY(QCoreApplication::removeTranslator(&translator));
    }

    // First through the module's own registration, then after start-up's.
    void qmlSeesTheSharedInstances()
    {
        AppConfig::instance()->setScreenshotSavePath("/shots");
        for (bool startUpRegistration : {false, true}) {
            if (startUpRegistration)
                registerParvixTypes();
            QQmlEngine engine;
            engine.addImportPath(QStringLiteral("qrc:/")); // the module's qmldir and Theme
            QQmlComponent component(&engine);
            component.setData(R"(
                import QtQuick
                import Parvix
                QtObject {
                    property var config: AppConfig
                    property var settings: DeviceSettings
                    property var colors: ColorManager
                    property string shots: AppConfig.getScreenshotSavePath()
                    property bool sameManager: Theme.colorManager === ColorManager
                    property color themePrimary: Theme.primary
                    property color managerPrimary: ColorManager.primaryGreen
                })",
                              QUrl());
            std::unique_ptr<QObject> root(component.create());
            QVERIFY2(root, qPrintable(component.errorString()));
            QCOMPARE(root->property("config").value<QObject *>(), AppConfig::instance());
            QCOMPARE(root->property("settings").value<QObject *>(), DeviceSettings::instance());
            QCOMPARE(root->property("colors").value<QObject *>(), ColorManager::instance());
            QCOMPARE(QQmlEngine::objectOwnership(AppConfig::instance()), QQmlEngine::CppOwnership);
            QCOMPARE(root->property("shots").toString(), QStringLiteral("/shots"));
            QVERIFY(root->property("sameManager").toBool());
            QCOMPARE(root->property("themePrimary").value<QColor>(),
                     root->property("managerPrimary").value<QColor>());
        }
    }
};

PARVIX_TEST(ShellTest)
#include "shelltest.moc"
