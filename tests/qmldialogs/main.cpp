// Qt Quick tests of the dialogs: the real module "Parvix" over virtual phones and, for the
// account dialogs, the reference account service. Every run gets a private home folder.
#include "accountdprocess.h"
#include "adbrunner.h"
#include "testsupport.h"
#include "translationloader.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTranslator>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest>

#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

// What the QML tests reach outside the module: the phones, files, the language, screenshots
// and the account service.
class DialogTestHelper : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList serials READ serials CONSTANT)
    Q_PROPERTY(bool fleetValid READ fleetValid CONSTANT)
    Q_PROPERTY(bool accountServiceAvailable READ accountServiceAvailable CONSTANT)
    Q_PROPERTY(bool takingScreenshots READ takingScreenshots CONSTANT)

public:
    explicit DialogTestHelper(VirtualFleet *fleet) : m_fleet(fleet) {}
    void setEngine(QQmlEngine *engine) { m_engine = engine; }

    QStringList serials() const { return m_fleet->isValid() ? m_fleet->serials() : QStringList(); }
    bool fleetValid() const { return m_fleet->isValid(); }
    bool accountServiceAvailable() const { return !AccountdProcess::binary().isEmpty(); }
    bool takingScreenshots() const { return !qEnvironmentVariableIsEmpty("PARVIX_DIALOG_SHOTS"); }

    // The phone's control log as a list of objects, oldest first.
    Q_INVOKABLE QVariantList controlLog(const QString &serial) const
    {
        QVariantList log;
        for (const QJsonObject &entry : m_fleet->controlLog(serial))
            log << entry.toVariantMap();
        return log;
    }

    Q_INVOKABLE QString readFile(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    Q_INVOKABLE QString temporaryFolder() const { return m_scratch.path(); }

    // "" for English, otherwise a locale such as "zh_CN"; the texts on screen follow at once.
    Q_INVOKABLE bool setLanguage(const QString &locale)
    {
        QCoreApplication::removeTranslator(&m_translator);
        bool installed = true;
        if (!locale.isEmpty())
            installed =
                installLocaleTranslator(QCoreApplication::instance(), &m_translator, locale);
        if (m_engine)
            m_engine->retranslate();
        return installed;
    }

    // Saves the test window as <PARVIX_DIALOG_SHOTS>/<name>.png when that folder is given.
    Q_INVOKABLE bool saveScreenshot(const QString &name) const
    {
        const QString folder = qEnvironmentVariable("PARVIX_DIALOG_SHOTS");
        if (folder.isEmpty())
            return false;
        QDir().mkpath(folder);
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible())
                return quick->grabWindow().save(QDir(folder).filePath(name + ".png"));
        }
        return false;
    }

    // Starts the reference account service and points the application at it; its base URL.
    Q_INVOKABLE QString startAccountService(const QStringList &extraArgs)
    {
        m_accountd = std::make_unique<AccountdProcess>();
        if (!m_accountd->start(extraArgs))
            return QString();
        qputenv("PARVIX_ACCOUNT_URL", m_accountd->baseUrl().toUtf8());
        return m_accountd->baseUrl();
    }

    Q_INVOKABLE void stopAccountService()
    {
        m_accountd.reset();
        qunsetenv("PARVIX_ACCOUNT_URL");
    }

    Q_INVOKABLE void setAccountUrl(const QString &url)
    {
        qputenv("PARVIX_ACCOUNT_URL", url.toUtf8());
    }

    // The default password the service mailed to the address last, or "".
    Q_INVOKABLE QString mailedPassword(const QString &address) const
    {
        if (!m_accountd)
            return QString();
        static const QRegularExpression password(QStringLiteral("password is: (\\S+)"));
        QString found;
        for (const OutboxMail &mail : m_accountd->mailsTo(address))
            found = password.match(mail.body).hasMatch() ? password.match(mail.body).captured(1)
                                                         : found;
        return found;
    }

    Q_INVOKABLE int mailCount(const QString &address) const
    {
        return m_accountd ? int(m_accountd->mailsTo(address).size()) : 0;
    }

private:
    VirtualFleet *m_fleet;
    QQmlEngine *m_engine = nullptr;
    QTranslator m_translator;
    QTemporaryDir m_scratch;
    std::unique_ptr<AccountdProcess> m_accountd;
};

class Setup : public QObject
{
    Q_OBJECT

public:
    Setup()
    {
        TestSupport::usePrivateHome(m_home.path());
        qunsetenv("PARVIX_ACCOUNT_URL");
        // The video items of the module draw with OpenGL only.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    }

public slots:
    void applicationAvailable()
    {
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{4, {720, 1280}, 30});
        m_helper = std::make_unique<DialogTestHelper>(m_fleet.get());
        registerParvixTypes();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/")); // the module's qmldir
        m_helper->setEngine(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), m_helper.get());
    }

    void cleanupTestCase()
    {
        // Property refreshes and adb commands still running would write into the gone fleet.
        QThreadPool::globalInstance()->waitForDone();
        ADBRunner::workPool()->waitForDone();
        m_helper.reset();
        m_fleet.reset();
    }

private:
    QTemporaryDir m_home;
    std::unique_ptr<VirtualFleet> m_fleet;
    std::unique_ptr<DialogTestHelper> m_helper;
};

QUICK_TEST_MAIN_WITH_SETUP(parvix_qmldialogs, Setup)

#include "main.moc"
