#include "documents/file_name.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "documents/cp932.h"

namespace ondrel {

namespace {

// One part of a name, between slashes.
QString partText(QByteArrayView part) {
    if (part.isValidUtf8()) {
        return QString::fromUtf8(part);
    }
    // The code page's private-use characters (the single bytes 0x80, 0xA0, 0xFD to 0xFF, the
    // user-defined rows) are likelier to be a stray byte than meant in a name.
    const std::optional<QString> cp932 = cp932Text(part);
    if (cp932 && std::none_of(cp932->cbegin(), cp932->cend(),
                              [](QChar c) { return c.category() == QChar::Other_PrivateUse; })) {
        return *cp932;
    }
    QString text;
    qsizetype at = 0;
    while (at < part.size()) {
        // The longest run that is UTF-8 stays readable; the first byte after it is escaped.
        qsizetype end = at;
        for (qsizetype length = 1; length <= 4 && at + length <= part.size(); ++length) {
            if (part.sliced(at, length).isValidUtf8()) {
                end = at + length;
                break;
            }
        }
        if (end == at) {
            text += QStringLiteral("\\x%1").arg(uchar(part[at]), 2, 16, QLatin1Char('0'));
            ++at;
        } else {
            text += QString::fromUtf8(part.sliced(at, end - at));
            at = end;
        }
    }
    return text;
}

bool exists(const QByteArray& name) {
    struct stat info;
    return ::lstat(name.constData(), &info) == 0;
}

// The names in folder that read as text, as Qt's dialogs show them or as Ondrel does.
QList<QByteArray> namesReadingAs(const QByteArray& folder, const QString& text) {
    QList<QByteArray> found;
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != ".." &&
            (QFile::decodeName(name) == text || fileNameText(name) == text)) {
            found << name;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

QString fileNameText(QByteArrayView name) {
    if (name.isValidUtf8()) {
        return QString::fromUtf8(name);
    }
    QString text;
    qsizetype start = 0;
    for (;;) {
        const qsizetype slash = name.indexOf('/', start);
        text += partText(name.sliced(start, (slash < 0 ? name.size() : slash) - start));
        if (slash < 0) {
            return text;
        }
        text += u'/';
        start = slash + 1;
    }
}

QByteArray absoluteFileName(const QByteArray& name) {
    if (name.isEmpty() || name.startsWith('/')) {
        return name;
    }
    char* here = ::get_current_dir_name();
    if (here == nullptr) {
        return name;
    }
    QByteArray absolute(here);
    std::free(here);
    if (!absolute.endsWith('/')) {
        absolute += '/';
    }
    absolute += name;
    // A name with "." or ".." reads better in the caption with its folder resolved, as the
    // system resolves it (through links); the file's own name stays, a link or not.
    const qsizetype slash = absolute.lastIndexOf('/');
    const QByteArray folderParts = '/' + absolute.first(slash) + '/';
    if (folderParts.contains("/./") || folderParts.contains("/../")) {
        if (char* folder = ::realpath(absolute.first(slash).constData(), nullptr)) {
            const QByteArray resolved(folder);
            std::free(folder);
            return (resolved == "/" ? QByteArray() : resolved) + absolute.mid(slash);
        }
    }
    return absolute;
}

NameOnDisk nameOnDisk(const QString& picked) {
    const QByteArray written = QFile::encodeName(picked);
    if (exists(written)) {
        return {written};
    }
    // Part by part from the top; only a part that does not exist as written is looked up.
    NameOnDisk result;
    const QStringList parts = picked.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            result.name += '/';
        }
        const QByteArray part = QFile::encodeName(parts[i]);
        if (parts[i].isEmpty() || exists(result.name + part)) {
            result.name += part;
            continue;
        }
        const QList<QByteArray> found =
            namesReadingAs(result.name.isEmpty() ? QByteArrayLiteral(".") : result.name, parts[i]);
        if (found.size() == 1) {
            result.name += found.first();
            result.match = NameOnDisk::Match::Respelled;
            continue;
        }
        // Nothing of that name: a new name from here on, unless it is one the dialog garbled.
        if (found.isEmpty() && !parts[i].contains(QChar::ReplacementCharacter)) {
            result.name += QFile::encodeName(parts.sliced(i).join(u'/'));
            return result;
        }
        return {written, NameOnDisk::Match::NotUtf8};
    }
    return result;
}

}  // namespace ondrel
