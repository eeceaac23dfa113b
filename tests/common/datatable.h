#pragma once
// A data table's columns in one call: addColumns<int, QString>({"size", "name"}).
#include <QTest>

#include <array>

template<typename... Types> void addColumns(const std::array<const char *, sizeof...(Types)> &names)
{
    std::size_t column = 0;
    (QTest::addColumn<Types>(names[column++]), ...);
}

// One row in one call; a text literal fills a QString column, as with newRow() << "text".
template<typename... Values> void addRow(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}
