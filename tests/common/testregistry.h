#pragma once
// Lets several QTest classes live in one executable per subsystem.
#include <QObject>
#include <functional>

namespace TestRegistry {
using Factory = std::function<QObject *()>;
bool add(const char *name, Factory factory);
} // namespace TestRegistry

#define PARVIX_TEST(Class)                                                                         \
    static const bool parvixTestRegistered_##Class =                                               \
        TestRegistry::add(#Class, [] { return new Class; });
