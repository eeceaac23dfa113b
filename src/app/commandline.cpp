#include "commandline.h"

#include "version.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace CommandLine {

namespace {
const QString kAdb = QStringLiteral("adb");
const QString kServer = QStringLiteral("server");
const QString kAccountUrl = QStringLiteral("account-url");
const QString kGroup = QStringLiteral("group");
const QString kStartAll = QStringLiteral("start-all");

QString versionLine()
{
    return QStringLiteral("parvix " PARVIX_VERSION "\n");
}

Result failure(const QString &text)
{
    Result result;
    result.action = Action::Fail;
    result.text = QStringLiteral("parvix: ") + text +
                  QStringLiteral("\nTry 'parvix --help' for more information.\n");
    return result;
}

// The options the GUI application object takes for itself; they are passed over here, so
// the command line can be judged before that object (and a display) exists.
const QStringList kQtOptionsWithValue{"platform",        "platformpluginpath",
                                      "platformtheme",   "plugin",
                                      "qwindowgeometry", "geometry",
                                      "qwindowtitle",    "title",
                                      "qwindowicon",     "icon",
                                      "display",         "name",
                                      "session",         "style",
                                      "stylesheet"};
const QStringList kQtFlags{"reverse", "nograb", "dograb", "sync", "widgetcount", "testability"};

QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString name = argument;
        if (i == 0 || !name.startsWith(QLatin1Char('-'))) {
            kept.append(argument);
            continue;
        }
        name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool inlineValue = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("qmljsdebugger") || kQtFlags.contains(name))
            continue;
        if (kQtOptionsWithValue.contains(name)) {
            if (!inlineValue)
                ++i; // its value
            continue;
        }
        kept.append(argument);
    }
    return kept;
}

void setIfGiven(const char *name, const QString &value)
{
    if (!value.isEmpty())
        qputenv(name, value.toUtf8());
}
} // namespace

Result parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-version" reads as "--version", not as a bundle of one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Watch and drive many Android phones at once."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({
        {kAdb, QStringLiteral("Run the adb executable at <path> (environment: PARVIX_ADB)."),
         QStringLiteral("path")},
        {kServer,
         QStringLiteral("Push the scrcpy server file at <path> to the phones "
                        "(environment: PARVIX_SCRCPY_SERVER)."),
         QStringLiteral("path")},
        {kAccountUrl,
         QStringLiteral("Use the account service at <url> (environment: PARVIX_ACCOUNT_URL)."),
         QStringLiteral("url")},
        {kGroup, QStringLiteral("Show the device group <name> at start."), QStringLiteral("name")},
        {kStartAll, QStringLiteral("Add the phones adb sees to the shown group and start them.")},
    });

    if (!parser.parse(withoutQtOptions(arguments)))
        return failure(parser.errorText());
    Result result;
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = Action::ShowHelp;
        result.text =
            parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("parvix"));
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::ShowVersion;
        result.text = versionLine();
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'")
                           .arg(parser.positionalArguments().constFirst()));

    Options &options = result.options;
    options.adbPath = parser.value(kAdb);
    options.serverPath = parser.value(kServer);
    options.accountUrl = parser.value(kAccountUrl).trimmed();
    options.groupName = parser.value(kGroup).trimmed();
    options.startAll = parser.isSet(kStartAll);

    for (const QString &name : {kAdb, kServer, kGroup}) {
        if (parser.isSet(name) && parser.value(name).trimmed().isEmpty())
            return failure(QStringLiteral("--%1 needs a value").arg(name));
    }
    if (parser.isSet(kAdb) && !QFileInfo(options.adbPath).isExecutable())
        return failure(QStringLiteral("no executable adb at '%1'").arg(options.adbPath));
    if (parser.isSet(kServer) && !QFileInfo(options.serverPath).isFile())
        return failure(QStringLiteral("no server file at '%1'").arg(options.serverPath));
    if (parser.isSet(kAccountUrl)) {
        const QUrl url(options.accountUrl, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() ||
            (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
            return failure(
                QStringLiteral("'%1' is not an http or https address").arg(options.accountUrl));
    }
    return result;
}

int report(const Result &result)
{
    const QByteArray text = result.text.toLocal8Bit();
    std::FILE *stream = result.action == Action::Fail ? stderr : stdout;
    std::fwrite(text.constData(), 1, size_t(text.size()), stream);
    std::fflush(stream);
    return result.action == Action::Fail ? 2 : 0;
}

void exportToEnvironment(const Options &options)
{
    setIfGiven("PARVIX_ADB", options.adbPath);
    setIfGiven("PARVIX_SCRCPY_SERVER", options.serverPath);
    setIfGiven("PARVIX_ACCOUNT_URL", options.accountUrl);
}

} // namespace CommandLine
