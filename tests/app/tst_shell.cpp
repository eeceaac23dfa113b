// Start-up pieces: the translation rule on the real catalogues, and the palette
// as QML sees it through the module.
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

namespace {
// The module's qmldir (and with it the QML singleton Theme) lies at qrc:/Parvix/.
std::unique_ptr<QObject> createQml(QQmlEngine &engine, const QByteArray &body, QString *errors)
{
    engine.addImportPath(QStringLiteral("qrc:/"));
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Parvix\n" + body, QUrl());
    std::unique_ptr<QObject> root(component.create());
    if (!root)
        *errors = component.errorString();
    return root;
}
} // namespace

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void localePicksTheCatalogue_data();
    void localePicksTheCatalogue();
    void paletteReachesQml();
    void registeredSingletonsAreTheSharedInstances();
};

void ShellTest::localePicksTheCatalogue_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("catalogue"); // empty: nothing installed
    QTest::newRow("zh_CN") << "zh_CN" << ":/translations/Parvix_CN.qm";
    QTest::newRow("zh_TW") << "zh_TW" << ":/translations/Parvix_TW.qm";
    QTest::newRow("en_US") << "en_US" << "";
    QTest::newRow("zh_HK") << "zh_HK" << "";
    QTest::newRow("lower case") << "zh_cn" << "";
    QTest::newRow("both, TW wins") << "CN_TW" << ":/translations/Parvix_TW.qm";
    QTest::newRow("both, other order") << "TW_CN" << ":/translations/Parvix_TW.qm";
    QTest::newRow("empty") << "" << "";
}

void ShellTest::localePicksTheCatalogue()
{
    QFETCH(QString, locale);
    QFETCH(QString, catalogue);
    QTranslator translator;
    const bool installed = installLocaleTranslator(QCoreApplication::instance(), &translator, locale);
    QCOMPARE(installed, !catalogue.isEmpty());
    QCOMPARE(translator.filePath(), catalogue);
    if (installed)
        QVERIFY(QCoreApplication::removeTranslator(&translator));
}

void ShellTest::paletteReachesQml()
{
    QQmlEngine engine;
    QString errors;
    const std::unique_ptr<QObject> root = createQml(engine, R"(
        QtObject {
            property color themeDanger: Theme.danger
            property color managerDanger: ColorManager.danger
            property color themePrimary: Theme.primary
            property color managerPrimary: ColorManager.primaryGreen
            property color themeBlackGreen: Theme.textBlackGreen
            property bool sameManager: Theme.colorManager === ColorManager
            property int buttons: Theme.controlButtonsWidth
        })",
                                                    &errors);
    QVERIFY2(root, qPrintable(errors));
    QCOMPARE(root->property("themeDanger").value<QColor>(), QColor("#FF3333"));
    QCOMPARE(root->property("managerDanger").value<QColor>(), QColor("#FF3333"));
    QCOMPARE(root->property("themePrimary").value<QColor>(),
             root->property("managerPrimary").value<QColor>());
    QCOMPARE(root->property("managerPrimary").value<QColor>(), QColor("#00FF7F"));
    QCOMPARE(root->property("themeBlackGreen").value<QColor>(), QColor("#07c80e"));
    QVERIFY(root->property("sameManager").toBool());
    QCOMPARE(root->property("buttons").toInt(), 35);
}

void ShellTest::registeredSingletonsAreTheSharedInstances()
{
    // First through the module's own registration, then after start-up's.
    for (bool startUpRegistration : {false, true}) {
        if (startUpRegistration)
            registerParvixTypes();
        QQmlEngine engine;
        QString errors;
        const std::unique_ptr<QObject> root = createQml(engine, R"(
            QtObject {
                property var config: AppConfig
                property var settings: DeviceSettings
                property var colors: ColorManager
            })",
                                                        &errors);
        QVERIFY2(root, qPrintable(errors));
        QCOMPARE(root->property("config").value<QObject *>(), AppConfig::instance());
        QCOMPARE(root->property("settings").value<QObject *>(), DeviceSettings::instance());
        QCOMPARE(root->property("colors").value<QObject *>(), ColorManager::instance());
    }
}

PARVIX_TEST(ShellTest)
#include "tst_shell.moc"
