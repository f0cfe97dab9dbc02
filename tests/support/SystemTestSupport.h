#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>

#include <array>
#include <vector>

// Fixture trees of captured /proc and /sys folders.
namespace SystemFixtures {

inline QString path(const QString& name) { return QStringLiteral(QUORVIN_FIXTURES "/") + name; }

// Copies a fixture tree into target (created), so that a test may change files in it.
inline bool copyTree(const QString& name, const QString& target) {
    const QString source = path(name);
    QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    bool ok = QDir().mkpath(target);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString destination = target + "/" + QDir(source).relativeFilePath(file);
        ok = QDir().mkpath(QFileInfo(destination).absolutePath()) && ok;
        QFile::remove(destination);
        ok = QFile::copy(file, destination) && ok;
    }
    return ok;
}

inline bool writeFile(const QString& file, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(contents) == contents.size();
}

// A /proc/stat text: the total line then one line per processor, fields user nice system idle iowait.
inline QByteArray statText(const std::vector<std::array<quint64, 5>>& cpus, std::array<quint64, 5> total) {
    auto line = [](const QByteArray& label, const std::array<quint64, 5>& f) {
        return label + ' ' + QByteArray::number(f[0]) + ' ' + QByteArray::number(f[1]) + ' ' +
               QByteArray::number(f[2]) + ' ' + QByteArray::number(f[3]) + ' ' + QByteArray::number(f[4]) +
               " 0 0 0 0 0\n";
    };
    QByteArray text = line("cpu ", total);
    for (size_t i = 0; i < cpus.size(); ++i) text += line("cpu" + QByteArray::number(qulonglong(i)), cpus[i]);
    text += "intr 1 2 3\nctxt 42\n";
    return text;
}

}  // namespace SystemFixtures
