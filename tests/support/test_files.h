#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace ondrel {

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

}  // namespace ondrel
