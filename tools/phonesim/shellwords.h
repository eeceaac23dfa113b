#pragma once
// Splits a phone shell command line the way the phone's sh does for the simple forms
// adb users type: words, '' and "" quoting, backslash escapes, leading VAR=value
// assignments, pipelines and the ; && || separators. Redirections, background jobs and
// expansions are not simulated and are reported as unsupported.
#include <QString>
#include <QStringList>
#include <QVector>

struct ShellCommand
{
    QStringList assignments; // NAME=value words before the command name
    QStringList words;
};

struct ShellStep
{
    QString connector; // how it joins the previous step: "", ";", "&&" or "||"
    QVector<ShellCommand> pipeline;
};

struct ShellScript
{
    QVector<ShellStep> steps;
    QString error; // non-empty when the line cannot be run
};

ShellScript parseShellLine(const QString &line);
