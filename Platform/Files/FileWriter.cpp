#include "Platform/Files/FileWriter.h"

#include "Platform/Files/LinuxFileWriter.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>

namespace {
std::atomic<FileWriter*> g_override{nullptr};
}  // namespace

FileWriter& FileWriter::shared() {
    static LinuxFileWriter system;
    FileWriter* writer = g_override.load();
    return writer ? *writer : system;
}

void FileWriter::setShared(FileWriter* writer) { g_override.store(writer); }

QString FileWriter::temporaryName() {
    return QStringLiteral(".quorvin-write-") +
           QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
}

bool FileWriter::isTemporaryName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\.quorvin-write-[0-9a-f]{16}$"));
    return pattern.match(name).hasMatch();
}
