#pragma once
#include <QString>
#include <QStringList>

// The options a user who scripts a farm passes on the command line. Paths and the account
// address become the environment variables the rest of the application already reads, so
// an option and its variable behave the same; the group choice is applied once the main
// scene has created the group manager.
namespace CommandLine {

struct Options
{
    QString adbPath;
    QString serverPath;
    QString accountUrl;
    QString groupName;
    bool startAll = false;
};

enum class Action { Run, ShowHelp, ShowVersion, Fail };

struct Result
{
    Action action = Action::Run;
    Options options;
    QString text; // the help, the version line or the error, for Run empty
};

// Qt's own options ("-platform offscreen", "-reverse") are passed over; they stay for the
// application object.
Result parse(const QStringList &arguments);

// Prints the help or version to standard output, an error to standard error; returns the
// process's exit code.
int report(const Result &result);

// Sets PARVIX_ADB, PARVIX_SCRCPY_SERVER and PARVIX_ACCOUNT_URL from the given options.
void exportToEnvironment(const Options &options);

} // namespace CommandLine
