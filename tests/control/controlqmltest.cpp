// The control types as the interface reaches them: created and called from QML.
#include "commonphrasemanager.h"
#include "controller.h"
#include "keymapping.h"
#include "testregistry.h"
#include "typeregistration.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtQml/QQmlExtensionPlugin>
#include <QtTest>

#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

class ControlQmlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerParvixTypes(); }

    void typesAndSingletonsFromQml()
    {
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQml
            import Parvix
            QtObject {
                id: root
                property var store: KeyMapping
                property var phrases: CommonPhraseManager
                property Controller controller: Controller {}
                property CommonPhrase phrase: CommonPhrase { text: "hi" }
                property PhraseCategory category: PhraseCategory { name: "Greetings" }
                property KeyMappingProfile profile: KeyMappingProfile { name: "Made in QML" }
                property string lastMessage
                property var watch: Connections {
                    target: root.controller
                    function onUserMessage(message, kind) { root.lastMessage = message }
                }
                function addSpace() { return profile.addMapping(32, 0, "Space", 0.5, 0.8) }
                function upload() { controller.uploadFile("/tmp/x.txt") }
            })",
                          QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));

        QCOMPARE(root->property("store").value<QObject *>(), KeyMapping::instance());
        QCOMPARE(root->property("phrases").value<QObject *>(), CommonPhraseManager::instance());
        QCOMPARE(QQmlEngine::objectOwnership(KeyMapping::instance()), QQmlEngine::CppOwnership);
        QVERIFY(qobject_cast<Controller *>(root->property("controller").value<QObject *>()));
        QVERIFY(root->property("phrase").value<CommonPhrase *>()->id().size() == 36);

        auto *profile = root->property("profile").value<KeyMappingProfile *>();
        QVERIFY(profile);
        QVariant added;
        QVERIFY(QMetaObject::invokeMethod(root.get(), "addSpace", Q_RETURN_ARG(QVariant, added)));
        QVERIFY(added.toBool());
        QCOMPARE(profile->property("mappingCount").toInt(), 1);
        QCOMPARE(profile->property("mappings").toList().at(0).toMap().value("keyDisplay"), "Space");

        // A controller made in QML has no phone: its error goes to whoever made it.
        QVERIFY(QMetaObject::invokeMethod(root.get(), "upload"));
        QCOMPARE(root->property("lastMessage").toString(), "Not Connected");
    }
};

PARVIX_TEST(ControlQmlTest)
#include "controlqmltest.moc"
