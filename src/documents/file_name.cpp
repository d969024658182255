#include "documents/file_name.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "documents/cp932.h"

namespace ondrel {

namespace {

// Whether text shows every character it holds: controls (the code page's single byte 0x80
// among them) and format characters (a right-to-left override) would hide or reorder what
// the name is, and private-use characters (the code page's single bytes 0xA0, 0xFD to 0xFF,
// its user-defined rows) are likelier a stray byte than meant.
bool showsWhole(QStringView text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        const QChar::Category category = c.category();
        return category == QChar::Other_Control || category == QChar::Other_Format ||
               category == QChar::Other_PrivateUse;
    });
}

// One part of a name, between slashes.
QString partText(QByteArrayView part) {
    if (part.isValidUtf8()) {
        if (QString text = QString::fromUtf8(part); showsWhole(text)) {
            return text;
        }
    } else if (const std::optional<QString> cp932 = cp932Text(part); cp932 && showsWhole(*cp932)) {
        return *cp932;
    }
    QString text;
    qsizetype at = 0;
    while (at < part.size()) {
        // A character of UTF-8 that shows stays readable; any other byte is escaped.
        qsizetype end = at;
        for (qsizetype length = 1; length <= 4 && at + length <= part.size(); ++length) {
            if (part.sliced(at, length).isValidUtf8()) {
                end = at + length;
                break;
            }
        }
        const QString character = QString::fromUtf8(part.sliced(at, end - at));
        if (end > at && showsWhole(character)) {
            text += character;
            at = end;
            continue;
        }
        for (end = std::max(end, at + 1); at < end; ++at) {
            text += QStringLiteral("\\x%1").arg(uchar(part[at]), 2, 16, QLatin1Char('0'));
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
        if (QString text = QString::fromUtf8(name); showsWhole(text)) {
            return text;
        }
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
    // Past the system's limit the name as given still works, relative to the working folder.
    if (absolute.size() >= PATH_MAX) {
        return name;
    }
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

QByteArray existingSpelling(const QByteArray& name) {
    if (exists(name) || !name.isValidUtf8()) {
        return name;
    }
    const NameOnDisk found = nameOnDisk(QString::fromUtf8(name));
    return found.match == NameOnDisk::Match::Respelled ? found.name : name;
}

}  // namespace ondrel
