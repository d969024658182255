#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <ftw.h>

#include <cstdio>

#include "app/standard_texts.h"

namespace ondrel {

// Gives the test process (and every program it starts) a home, XDG folders and a UTF-8
// locale of its own, so no test reads or writes the caller's home or depends on the caller's
// locale. Called before the application object exists, which reads the locale.
inline QTemporaryDir& isolateEnvironment() {
    static QTemporaryDir home;
    const QString root = home.path();
    qputenv("HOME", root.toUtf8());
    for (const char* folder : {"config", "state", "data", "cache", "runtime"}) {
        QDir(root).mkpath(QString::fromLatin1(folder));
        qputenv(QByteArray("XDG_") + QByteArray(folder).toUpper() +
                    (folder[0] == 'r' ? "_DIR" : "_HOME"),
                QFile::encodeName(root + u'/' + QLatin1String(folder)));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("LANG", "C.UTF-8");
    qunsetenv("LANGUAGE");
    return home;
}

// Writes bytes as the whole content of path; the test fails if they cannot be written.
inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The whole content of path, or "<unreadable>".
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Removes folder and all in it by the bytes of the names: QTemporaryDir passes over a name that
// is not UTF-8, and the folder holding it stays behind.
inline void removeTree(const QString& folder) {
    ::nftw(
        QFile::encodeName(folder).constData(),
        [](const char* name, const struct stat*, int, FTW*) { return ::remove(name); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// True in the build with AddressSanitizer, where large inputs take minutes.
inline constexpr bool underSanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

inline QString testData(const QString& name) {
    return QStringLiteral(ONDREL_TEST_DATA "/") + name;
}

// One row of a _data table on one line: QTest::newRow(name) << values..., which the formatter
// would otherwise break after every string.
template <typename... Values>
void addRow(const char* name, Values... values) {
    (QTest::newRow(name) << ... << values);
}

// A _data table read from a data file in tests/data: the first line names the columns (all
// strings, read with field()), each further line is a row, its name first. Fields are separated
// by tabs; \r, \n, \t, \0, \\ and \uHHHH in a field stand for those characters (\xHH is
// left for bytesField); # starts a note line.
inline void addRowsFromFile(const QString& name) {
    QFile file(testData(name));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const auto unescape = [](const QString& field) {
        static const QHash<QChar, QString> escaped = {{u'r', "\r"},  {u'n', "\n"},
                                                      {u't', "\t"},  {u'0', QString(QChar(0))},
                                                      {u'\\', "\\"}, {u'x', "\\x"}};
        QString text;
        for (qsizetype i = 0; i < field.size(); ++i) {
            if (field[i] != u'\\' || i + 1 == field.size()) {
                text += field[i];
            } else if (field[++i] == u'u') {
                text += QChar(field.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
            } else {
                text += escaped.value(field[i], QString(field[i]));
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

// The field as bytes: its UTF-8, each \xHH standing for the byte HH.
inline QByteArray bytesField(const char* column) {
    const QStringList parts = field(column).split(QStringLiteral("\\x"));
    QByteArray bytes = parts[0].toUtf8();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        bytes += char(parts[i].left(2).toUInt(nullptr, 16)) + parts[i].mid(2).toUtf8();
    }
    return bytes;
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
