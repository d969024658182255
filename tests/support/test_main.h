#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>
#include <utility>

#include "app/standard_texts.h"

namespace ondrel {

// Gives the test process (and every program it starts) a home, XDG folders and a UTF-8
// locale of its own, so no test reads or writes the caller's home or depends on the caller's
// locale. Called before the application object exists, which reads the locale.
inline QTemporaryDir& isolateEnvironment() {
    static QTemporaryDir home;
    const QString root = home.path();
    for (const char* folder : {"config", "state", "data", "cache", "runtime"}) {
        QDir(root).mkpath(QString::fromLatin1(folder));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_STATE_HOME", (root + QStringLiteral("/state")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toUtf8());
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LANGUAGE");
    return home;
}

// One row of a _data table on one line: QTest::newRow(name) << values..., which the formatter
// would otherwise break after every string.
template <typename... Values>
void addRow(const char* name, Values... values) {
    (QTest::newRow(name) << ... << values);
}

// A _data table read from a data file: the first line names the columns (all strings, read
// with QFETCH(QString, name)), each further line is a row, its name first. Fields are separated
// by tabs; \r, \n, \t, \0 and \\ in a field stand for those characters; # starts a note line.
inline void addRowsFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QFAIL(qPrintable("cannot read " + path));
    }
    const auto unescape = [](const QString& field) {
        static const QHash<QChar, QChar> escaped = {
            {u'r', u'\r'}, {u'n', u'\n'}, {u't', u'\t'}, {u'0', QChar(0)}, {u'\\', u'\\'}};
        QString text;
        for (qsizetype i = 0; i < field.size(); ++i) {
            if (field[i] == u'\\' && i + 1 < field.size()) {
                ++i;
                text += escaped.value(field[i], field[i]);
            } else {
                text += field[i];
            }
        }
        return text;
    };
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(u'#'); });
    const QStringList columns = lines.takeFirst().split(u'\t');
    static QByteArrayList names;  // the table keeps the pointers to its column names
    for (qsizetype c = 1; c < columns.size(); ++c) {
        names.append(columns[c].toLatin1());
        QTest::addColumn<QString>(names.last().constData());
    }
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        QTestData& row = QTest::newRow(fields[0].toUtf8().constData());
        for (qsizetype c = 1; c < columns.size(); ++c) {
            row << unescape(fields.value(c));
        }
    }
}

// The current row's field in a string column of the table above.
inline QString field(const char* column) {
    return *static_cast<QString*>(QTest::qData(column, QMetaType::QString));
}

// A _data table's columns, one of each type in Row (a std::tuple), and the current row read
// back as a Row: `auto [a, b] = fetchRow<Row>();` in place of one QFETCH per column.
namespace detail {
inline constexpr const char* kColumnNames[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
template <typename Row, std::size_t... I>
void addColumns(std::index_sequence<I...>) {
    (QTest::addColumn<std::tuple_element_t<I, Row>>(kColumnNames[I]), ...);
}
template <typename Row, std::size_t... I>
Row fetchRow(std::index_sequence<I...>) {
    return {*static_cast<std::tuple_element_t<I, Row>*>(
        QTest::qData(kColumnNames[I], qMetaTypeId<std::tuple_element_t<I, Row>>()))...};
}
}  // namespace detail
template <typename Row>
void addColumns() {
    detail::addColumns<Row>(std::make_index_sequence<std::tuple_size_v<Row>>());
}
template <typename Row>
Row fetchRow() {
    return detail::fetchRow<Row>(std::make_index_sequence<std::tuple_size_v<Row>>());
}

}  // namespace ondrel

// QTEST_MAIN and QTEST_GUILESS_MAIN, in the environment above, with the program's formats.
#define ONDREL_TEST_MAIN_WITH(AppClass, TestClass) \
    int main(int argc, char** argv) {              \
        ondrel::isolateEnvironment();              \
        AppClass app(argc, argv);                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);   \
        ondrel::useJapaneseFormats();              \
        TestClass test;                            \
        QTEST_SET_MAIN_SOURCE_PATH                 \
        return QTest::qExec(&test, argc, argv);    \
    }
#define ONDREL_TEST_MAIN(TestClass) ONDREL_TEST_MAIN_WITH(QApplication, TestClass)
#define ONDREL_TEST_GUILESS_MAIN(TestClass) ONDREL_TEST_MAIN_WITH(QCoreApplication, TestClass)
