#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace exportal {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The file of an application; an existing file whose name differs only in letter
// case is the same file.
QString fileOf(const std::string& application) {
    const QDir folder(QString::fromStdString(settingsFolder()));
    const QString wanted = QString::fromStdString(application) + ".ini";
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        if (sameName(name, wanted)) return folder.filePath(name);
    }
    return folder.filePath(wanted);
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// "[name]" gives the name; any other line gives a null string.
QString sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith('[') || !trimmed.endsWith(']')) return {};
    return trimmed.mid(1, trimmed.size() - 2).trimmed();
}

bool isKeyLine(const QString& line, const QString& key, QString* value) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0 || !sameName(line.left(equals).trimmed(), key)) return false;
    if (value != nullptr) *value = line.mid(equals + 1);
    return true;
}

// Index of the key's line in the section, or -1; `end` receives the index after the
// section's last line (-1 when the section is missing).
qsizetype findKey(const QStringList& lines, const QString& section, const QString& key,
                  qsizetype& end, QString* value) {
    bool inSection = false;
    end = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines[i]);
        if (!name.isNull()) {
            inSection = sameName(name, section);
            if (inSection) end = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!lines[i].trimmed().isEmpty()) end = i + 1;
        if (isKeyLine(lines[i], key, value)) return i;
    }
    return -1;
}

// A value is one line of the file: a line break in it would end the line and start a
// key of its own. Breaks and the backslash that escapes them are written as "\n",
// "\r" and "\\"; any other backslash is read as it stands.
QString escapedValue(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else
            escaped += c;
    }
    return escaped;
}

QString unescapedValue(const QString& stored) {
    QString value;
    value.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar next = i + 1 < stored.size() ? stored[i + 1] : QChar();
        if (stored[i] != '\\' || (next != '\\' && next != 'n' && next != 'r')) {
            value += stored[i];
            continue;
        }
        value += next == 'n' ? QChar('\n') : next == 'r' ? QChar('\r') : QChar('\\');
        ++i;
    }
    return value;
}

// Names come from the add-in's own tables; one that could not be found again is
// refused rather than written.
bool usableName(const std::string& name) {
    return name.find_first_of("\r\n=[]") == std::string::npos;
}

}  // namespace

std::string settingsFolder() {
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (!configHome.isEmpty()) return configHome.toStdString();
    return (QDir::homePath() + "/.config").toStdString();
}

std::string getSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
    const QStringList lines = readLines(fileOf(application));
    qsizetype end = -1;
    QString value;
    if (findKey(lines, QString::fromStdString(section), QString::fromStdString(key), end, &value) <
        0) {
        return defaultValue;
    }
    return unescapedValue(value).toStdString();
}

bool saveSetting(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value) {
    if (!usableName(application) || !usableName(section) || !usableName(key)) return false;
    const QString path = fileOf(application);
    QStringList lines = readLines(path);
    const QString qKey = QString::fromStdString(key);
    const QString line = qKey + '=' + escapedValue(QString::fromStdString(value));
    qsizetype end = -1;
    const qsizetype at = findKey(lines, QString::fromStdString(section), qKey, end, nullptr);
    if (at >= 0) {
        lines[at] = line;
    } else if (end >= 0) {
        lines.insert(end, line);
    } else {
        lines << '[' + QString::fromStdString(section) + ']' << line;
    }
    QDir().mkpath(QString::fromStdString(settingsFolder()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    file.write((lines.join('\n') + '\n').toUtf8());
    return file.commit();
}

}  // namespace exportal
