// Runs the registered test classes, or those named (test_x ClassA -- <QTest options>).
#include "testregistry.h"
#include "testsupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {
std::map<std::string, TestRegistry::Factory> &registry()
{
    static std::map<std::string, TestRegistry::Factory> classes;
    return classes;
}
} // namespace

bool TestRegistry::add(const char *name, Factory factory)
{
    registry().emplace(name, std::move(factory));
    return true;
}

int main(int argc, char **argv)
{
    // ctest asks for the classes to give each its own entry.
    if (argc == 2 && std::string(argv[1]) == "--list-classes") {
        for (const auto &entry : registry())
            printf("%s\n", entry.first.c_str());
        return 0;
    }
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    TestSupport::usePrivateHome(home.path());
    QGuiApplication app(argc, argv);

    // Class names first; options, and everything after "--", go to QTest.
    QStringList selected, qtestArgs = app.arguments().mid(0, 1);
    for (const QString &arg : app.arguments().mid(1)) {
        if (qtestArgs.size() > 1 || arg.startsWith('-'))
            qtestArgs << arg;
        else
            selected << arg;
    }
    qtestArgs.removeAll(QStringLiteral("--"));
    int failures = 0, ran = 0;
    for (auto &[name, factory] : registry()) {
        if (selected.isEmpty() || selected.contains(QString::fromStdString(name))) {
            std::unique_ptr<QObject> test(factory());
            failures += QTest::qExec(test.get(), qtestArgs);
            ++ran;
        }
    }
    if (ran == 0)
        fprintf(stderr, "no test class matched\n");
    return ran == 0 ? 2 : failures == 0 ? 0 : 1;
}
