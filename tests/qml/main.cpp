// Qt Quick tests of the interface: the real module "Parvix" over a fleet of virtual phones.
// Every run gets a private home folder, so groups, settings and nicknames start empty.
#include "storeerrors.h"
#include "testsupport.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest>

#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

// What the QML tests see of the fleet: the phones' serials and what each phone received.
class TestFleet : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList serials READ serials CONSTANT)
    Q_PROPERTY(bool valid READ valid CONSTANT)

public:
    explicit TestFleet(VirtualFleet *fleet) : m_fleet(fleet) {}
    QStringList serials() const { return m_fleet->isValid() ? m_fleet->serials() : QStringList(); }
    bool valid() const { return m_fleet->isValid(); }

    // The phone's control log as a list of objects, oldest first.
    Q_INVOKABLE QVariantList controlLog(const QString &serial) const
    {
        QVariantList log;
        for (const QJsonObject &entry : m_fleet->controlLog(serial))
            log << entry.toVariantMap();
        return log;
    }

    // A data-file problem as the stores report it, from any thread.
    Q_INVOKABLE void reportStoreError(const QString &message) const
    {
        StoreErrors::instance()->report(message);
    }

    // Every QML file of the module, as qrc URLs.
    Q_INVOKABLE QStringList moduleQmlFiles() const
    {
        QStringList files;
        QDirIterator it(QStringLiteral(":/Parvix/src/qml"), {QStringLiteral("*.qml")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QStringLiteral("qrc") + it.next();
        files.sort();
        return files;
    }

private:
    VirtualFleet *m_fleet;
};

class Setup : public QObject
{
    Q_OBJECT

public:
    Setup()
    {
        TestSupport::usePrivateHome(m_home.path());
        // The video item draws with OpenGL only.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    }

public slots:
    void applicationAvailable()
    {
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{4, {720, 1280}, 30});
        m_testFleet = std::make_unique<TestFleet>(m_fleet.get());
        registerParvixTypes();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/")); // the module's qmldir is a resource
        engine->rootContext()->setContextProperty(QStringLiteral("fleet"), m_testFleet.get());
    }

    void cleanupTestCase()
    {
        m_testFleet.reset();
        m_fleet.reset();
    }

private:
    QTemporaryDir m_home;
    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<TestFleet> m_testFleet;
};

QUICK_TEST_MAIN_WITH_SETUP(parvix_qml, Setup)

#include "main.moc"
