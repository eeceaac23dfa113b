// Qt Quick tests of the module "Parvix" over virtual phones and the reference account service.
#include "accountdprocess.h"
#include "adbrunner.h"
#include "storeerrors.h"
#include "testsupport.h"
#include "translationloader.h"
#include "typeregistration.h"
#include "virtualfleet.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest>
#include <QtTest>

#include <functional>
#include <memory>

Q_IMPORT_QML_PLUGIN(ParvixPlugin)

// A private home and four virtual phones; to the tests, "helper" to reach outside the module.
class Setup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList serials READ serials CONSTANT)
    Q_PROPERTY(bool accountServiceAvailable READ accountServiceAvailable CONSTANT)
    Q_PROPERTY(QString journeyLanguage READ journeyLanguage CONSTANT)

public:
    Setup()
    {
        TestSupport::usePrivateHome(m_home.path());
        qunsetenv("PARVIX_ACCOUNT_URL");
        // The video items of the module draw with OpenGL only.
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    }

    QStringList serials() const { return m_fleet->isValid() ? m_fleet->serials() : QStringList(); }
    bool accountServiceAvailable() const { return !AccountdProcess::binary().isEmpty(); }
    QString journeyLanguage() const { return qEnvironmentVariable("PARVIX_JOURNEY_LANGUAGE"); }
    Q_INVOKABLE void reportStoreError(const QString &message)
    {
        StoreErrors::instance()->report(message);
    }

    // A JSON-lines log of the fleet ("adb.log", "<serial>/control.jsonl"), oldest first.
    Q_INVOKABLE QVariantList fleetLog(const QString &relativePath) const
    {
        QVariantList log;
        for (const QJsonObject &entry : m_fleet->jsonLines(relativePath))
            log << entry.toVariantMap();
        return log;
    }

    // Visible items (all windows, or under `within`) named so by Accessible.name, else button text.
    Q_INVOKABLE QList<QQuickItem *> named(const QString &name, QQuickItem *within = nullptr) const
    {
        QList<QQuickItem *> found;
        const std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
            if (!item->isVisible())
                return;
            QString read = item->inherits("QQuickAbstractButton")
                               ? item->property("text").toString()
                               : QString();
            for (const QObject *child : item->children())
                if (child->inherits("QQuickAccessibleAttached") &&
                    !child->property("name").toString().isEmpty())
                    read = child->property("name").toString();
            if (read == name)
                found << item;
            for (QQuickItem *child : item->childItems())
                walk(child);
        };
        if (within) {
            walk(within);
            return found;
        }
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible())
                walk(quick->contentItem());
        return found;
    }

    // Texts under `root` cut off without eliding or overlapping another, as readable lines.
    Q_INVOKABLE QStringList layoutProblems(QQuickItem *root) const
    {
        const auto sceneRect = [](QQuickItem *item) {
            return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        };
        const auto quoted = [](QQuickItem *item) {
            return '"' + item->property("text").toString().simplified().left(50) + '"';
        };
        QList<QPair<QQuickItem *, QRectF>> texts;
        QStringList problems;
        const std::function<void(QQuickItem *, QRectF, qreal)> walk =
            [&](QQuickItem *item, QRectF clip, qreal opacity) {
                opacity *= item->opacity();
                if (!item->isVisible() || opacity < 0.01)
                    return;
                if (item->clip())
                    clip = clip.intersected(sceneRect(item));
                const QRectF painted = item->mapRectToScene(item->boundingRect()).intersected(clip);
                if (item->inherits("QQuickText") &&
                    !item->property("text").toString().trimmed().isEmpty() && !painted.isEmpty()) {
                    if (item->property("elide").toInt() == 0 &&
                        (item->property("contentWidth").toReal() > item->width() + 1 ||
                         item->property("truncated").toBool()))
                        problems << "cut off: " + quoted(item);
                    texts << qMakePair(item, painted);
                    // A text hanging out of the box drawn behind it (a row, a button).
                    QQuickItem *box = item->parentItem();
                    while (box && !box->inherits("QQuickRectangle"))
                        box = box->parentItem();
                    if (box && !sceneRect(box).adjusted(-1, -1, 1, 1).contains(painted))
                        problems << "outside its box: " + quoted(item);
                }
                for (QQuickItem *child : item->childItems())
                    walk(child, clip, opacity);
            };
        if (root)
            walk(root, QRectF(-1e6, -1e6, 2e6, 2e6), 1.0);
        for (int i = 0; i < texts.size(); ++i)
            for (int j = i + 1; j < texts.size(); ++j) {
                const QRectF both = texts.at(i).second.intersected(texts.at(j).second);
                if (both.width() > 2 && both.height() > 2)
                    problems << "overlap: " + quoted(texts.at(i).first) + " and " +
                                    quoted(texts.at(j).first);
            }
        return problems;
    }

    // Real key events into the window that shows the item (the main window is not the test's).
    Q_INVOKABLE void keyClick(QQuickItem *item, int key, int modifiers = 0) const
    {
        QTest::keyClick(item->window(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }

    Q_INVOKABLE void keyClicks(QQuickItem *item, const QString &text) const
    {
        for (const QChar c : text) {
            const char latin = c.toLatin1();
            const Qt::Key key = latin ? Qt::Key(QTest::asciiToKey(latin)) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, item->window(), key, QString(c), Qt::NoModifier);
        }
    }

    // A local file dragged from the desktop and dropped on the item's centre; whether accepted.
    Q_INVOKABLE bool dropFile(QQuickItem *item, const QString &path) const
    {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(path)});
        const QPointF centre = item->mapToScene({item->width() / 2, item->height() / 2});
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(item->window(), &enter);
        QDropEvent drop(centre, Qt::CopyAction, &files, Qt::LeftButton, {});
        QCoreApplication::sendEvent(item->window(), &drop);
        return drop.isAccepted();
    }

    Q_INVOKABLE QStringList files(const QString &folder) const
    {
        QStringList found;
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }

    Q_INVOKABLE bool writeFile(const QString &path, const QByteArray &content) const
    {
        return !TestSupport::writeFile(path, content).isEmpty();
    }

    Q_INVOKABLE QString readFile(const QString &path) const
    {
        return QString::fromUtf8(TestSupport::readFile(path));
    }

    Q_INVOKABLE QString temporaryFolder() const { return m_scratch.path(); }

    // "" for English, otherwise a locale such as "zh_CN" (once); the texts on screen follow.
    Q_INVOKABLE bool setLanguage(const QString &locale)
    {
        const bool installed =
            locale.isEmpty() ||
            installLocaleTranslator(QCoreApplication::instance(), &m_translator, locale);
        m_engine->retranslate();
        return installed;
    }

    // Saves the item's window as <PARVIX_DIALOG_SHOTS>/<name>.png when that folder is given.
    Q_INVOKABLE bool saveScreenshot(const QString &name, QQuickItem *item) const
    {
        const QString folder = qEnvironmentVariable("PARVIX_DIALOG_SHOTS");
        return !folder.isEmpty() && item && item->window() && QDir().mkpath(folder) &&
               item->window()->grabWindow().save(QDir(folder).filePath(name + ".png"));
    }

    // Starts the reference account service and points the application at it; its base URL.
    Q_INVOKABLE QString startAccountService()
    {
        m_accountd = std::make_unique<AccountdProcess>();
        if (!m_accountd->start())
            return QString();
        qputenv("PARVIX_ACCOUNT_URL", m_accountd->baseUrl().toUtf8());
        return m_accountd->baseUrl();
    }

    // The application still points at the service, which no longer answers.
    Q_INVOKABLE void stopAccountService() { m_accountd.reset(); }

    // The default password in the service's last mail to the address, or "".
    Q_INVOKABLE QString mailedPassword(const QString &address) const
    {
        const QList<OutboxMail> mails =
            m_accountd ? m_accountd->mailsTo(address) : QList<OutboxMail>();
        const QRegularExpression password(QStringLiteral("password is: (\\S+)"));
        return mails.isEmpty() ? QString() : password.match(mails.last().body).captured(1);
    }

public slots:
    void applicationAvailable()
    {
        m_fleet = std::make_unique<VirtualFleet>(TestSupport::phonesimPath(),
                                                 VirtualFleet::Options{4, {720, 1280}, 30});
        registerParvixTypes();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/")); // the module's qmldir
        m_engine = engine;
        engine->rootContext()->setContextProperty(QStringLiteral("helper"), this);
    }

    void cleanupTestCase()
    {
        // Property refreshes and adb commands still running would write into the gone fleet.
        QThreadPool::globalInstance()->waitForDone();
        ADBRunner::workPool()->waitForDone();
        m_accountd.reset();
        m_fleet.reset();
    }

private:
    QTemporaryDir m_home;
    std::unique_ptr<VirtualFleet> m_fleet;
    QQmlEngine *m_engine = nullptr;
    QTranslator m_translator;
    QTemporaryDir m_scratch;
    std::unique_ptr<AccountdProcess> m_accountd;
};

QUICK_TEST_MAIN_WITH_SETUP(parvix_qmldialogs, Setup)

#include "main.moc"
