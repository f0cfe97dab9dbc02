#include "Platform/Files/FileError.h"

#include <cstring>

FileError FileError::fromErrno(const QString& path, int code) {
    return FileError{path, QString::fromLocal8Bit(std::strerror(code)), code};
}

FileError FileError::refused(const QString& path, const QString& reason) { return FileError{path, reason, 0}; }

QString FileError::message() const { return path + QStringLiteral(": ") + reason; }
