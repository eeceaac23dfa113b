#include "shellwords.h"

#include <QRegularExpression>

namespace {

struct Word
{
    QString text;
    QString raw; // as typed, quotes included
};

struct Token
{
    enum Kind { WordToken, Operator } kind = WordToken;
    Word word;
    QString op;
};

bool isAssignment(const Word &word)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
    return pattern.match(word.raw).hasMatch();
}

QString tokenize(const QString &line, QVector<Token> &tokens)
{
    Word current;
    bool inWord = false;
    auto finishWord = [&] {
        if (inWord)
            tokens.append({Token::WordToken, current, {}});
        current = {};
        inWord = false;
    };

    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            finishWord();
        } else if (c == QLatin1Char('\'')) {
            const int end = line.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return QStringLiteral("syntax error: unterminated quoted string");
            current.text += line.mid(i + 1, end - i - 1);
            current.raw += line.mid(i, end - i + 1);
            inWord = true;
            i = end;
        } else if (c == QLatin1Char('"')) {
            int j = i + 1;
            for (; j < line.size() && line.at(j) != QLatin1Char('"'); ++j) {
                if (line.at(j) == QLatin1Char('\\') && j + 1 < line.size() &&
                    QStringLiteral("\\\"$`").contains(line.at(j + 1))) {
                    ++j;
                }
                current.text += line.at(j);
            }
            if (j >= line.size())
                return QStringLiteral("syntax error: unterminated quoted string");
            current.raw += line.mid(i, j - i + 1);
            inWord = true;
            i = j;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < line.size()) {
                current.text += line.at(i + 1);
                current.raw += line.mid(i, 2);
                ++i;
            }
            inWord = true;
        } else if (c == QLatin1Char('#') && !inWord) {
            break;
        } else if (QStringLiteral(";|&<>").contains(c)) {
            finishWord();
            QString op(c);
            if ((c == QLatin1Char('&') || c == QLatin1Char('|') || c == QLatin1Char('>')) &&
                i + 1 < line.size() && line.at(i + 1) == c) {
                op += c;
                ++i;
            }
            if (op == QLatin1String("&") || op.startsWith(QLatin1Char('<')) ||
                op.startsWith(QLatin1Char('>')))
                return QStringLiteral("'%1' is not supported by this shell").arg(op);
            tokens.append({Token::Operator, {}, op});
        } else {
            current.text += c;
            current.raw += c;
            inWord = true;
        }
    }
    finishWord();
    return {};
}

} // namespace

ShellScript parseShellLine(const QString &line)
{
    ShellScript script;
    QVector<Token> tokens;
    script.error = tokenize(line, tokens);
    if (!script.error.isEmpty())
        return script;

    ShellStep step;
    ShellCommand command;
    auto syntaxError = [&](const QString &op) {
        script.steps.clear();
        script.error = QStringLiteral("syntax error: '%1' unexpected").arg(op);
        return script;
    };
    for (const Token &token : tokens) {
        if (token.kind == Token::WordToken) {
            if (command.words.isEmpty() && isAssignment(token.word))
                command.assignments << token.word.text;
            else
                command.words << token.word.text;
            continue;
        }
        if (command.words.isEmpty() && command.assignments.isEmpty())
            return syntaxError(token.op);
        step.pipeline.append(command);
        command = {};
        if (token.op == QLatin1String("|"))
            continue;
        script.steps.append(step);
        step = {};
        step.connector = token.op;
    }
    if (!command.words.isEmpty() || !command.assignments.isEmpty()) {
        step.pipeline.append(command);
    } else if (!step.pipeline.isEmpty()) {
        return syntaxError(QStringLiteral("|"));
    } else if (!step.connector.isEmpty() && step.connector != QLatin1String(";")) {
        return syntaxError(step.connector);
    }
    if (!step.pipeline.isEmpty())
        script.steps.append(step);
    return script;
}
