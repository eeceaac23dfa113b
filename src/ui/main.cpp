#include "adbrunner.h"
#include "appconfig.h"
#include "commandline.h"
#include "devicegroup.h"
#include "devicegroupmanager.h"
#include "groupstartup.h"
#include "quitsignals.h"
#include "translationloader.h"
#include "typeregistration.h"
#include "uilog.h"
#include "version.h"

#include <QGuiApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QThread>
#include <QTranslator>
#include <QWindow>
#include <QtQml/QQmlExtensionPlugin>

#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

int main(int argc, char *argv[])
{
    // Judged before the application object, which needs a display: help, version and
    // mistakes are answered without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Result commandLine = CommandLine::parse(arguments);
    if (commandLine.action != CommandLine::Action::Run)
        return CommandLine::report(commandLine);
    CommandLine::exportToEnvironment(commandLine.options);

    // The video item draws with OpenGL; no other back end is supported.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Parvix"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("parvix.app"));
    QCoreApplication::setApplicationName(QStringLiteral("Parvix"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Parvix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARVIX_VERSION));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/Parvix/src/icons/parvix_logo.png")));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    QQmlApplicationEngine engine;
    // The module's qmldir is a resource; an installed executable has no copy beside it.
    engine.addImportPath(QStringLiteral("qrc:/"));
    registerParvixTypes();

    const QUrl mainUrl(QStringLiteral("qrc:/Parvix/src/qml/Main.qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &app,
        [mainUrl](QObject *object, const QUrl &url) {
            if (!object && url == mainUrl)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);

    static QTranslator translator; // lives until the process ends
    installLocaleTranslator(&app, &translator, AppConfig::instance()->getLocale());

    engine.load(mainUrl);
    const QList<QObject *> roots = engine.rootObjects();
    if (auto *manager =
            roots.isEmpty() ? nullptr : roots.first()->findChild<DeviceGroupManager *>()) {
        const CommandLine::Options &options = commandLine.options;
        if (!GroupStartup::apply(manager, options.groupName, options.startAll))
            qCWarning(lcUi, "no device group is named \"%s\"", qUtf8Printable(options.groupName));
    }

    // Quitting takes the window away at once; the adb server is stopped behind it, and a
    // slow adb is given up on after a short while.
    constexpr int kStopAdbMs = 2500;
    std::unique_ptr<QThread> stopAdb(QThread::create([] { ADBRunner::killServer(kStopAdbMs); }));
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&stopAdb] {
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (QWindow *window : windows)
            window->hide();
        stopAdb->start();
    });
    quitOnTerminationSignals(&app);

    const int code = app.exec();
    stopAdb->wait();
    return code;
}
