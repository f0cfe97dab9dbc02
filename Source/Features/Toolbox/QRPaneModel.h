#pragma once

#include "Platform/Files/FileError.h"
#include "Source/Features/Toolbox/CopyConfirmation.h"
#include "Source/Features/Toolbox/QRCodeGenerator.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class Pasteboard;

// The QR tool's state: the level, the code of the current text and the copy confirmation. The
// code is drawn at a device pixel ratio of at least 2, so that large symbols keep whole pixels
// per module at the 260-point size. GUI thread only.
class QRPaneModel : public QObject {
    Q_OBJECT
public:
    static constexpr double pointSize = 260;
    static inline const QString defaultFileName = QStringLiteral("qr.png");

    explicit QRPaneModel(QObject* parent = nullptr);

    QRCodeGenerator::Correction correction() const { return correction_; }
    void setCorrection(QRCodeGenerator::Correction correction);
    // The text the code is made of; empty while it is too large to encode.
    QString input() const { return input_; }
    void setInput(const QString& input);
    // The same, given the text's UTF-8 size: a text too large to encode costs only its ends to look
    // at and is not kept, so its owner can go on changing it in place.
    void setInput(const QString& input, qsizetype utf8Bytes);
    // The ratio of device pixels to points the code is drawn at; values below 2 count as 2.
    double devicePixelRatio() const { return devicePixelRatio_; }
    void setDevicePixelRatio(double ratio);

    // The code of the current text and level: an image whose device pixel ratio is set, or a
    // failure to show in its place.
    const QRCodeGenerator::Result& code() const { return code_; }
    QByteArray pngData() const;

    // Puts the code on the pasteboard as a PNG picture and confirms the copy. False when there
    // is no code.
    bool copy(Pasteboard& pasteboard);
    // Writes PNG bytes to `path` atomically; the error when that failed.
    static std::optional<FileError> save(const QString& path, const QByteArray& png);
    // The path with ".png" added unless it already ends so (in any case).
    static QString withPngSuffix(const QString& path);
    CopyConfirmation& copyConfirmation() { return copied_; }

    // Asks the pasteboard for its text without waiting on its owner; textFromClipboard() follows
    // when it holds some. With `onlyIntoEmpty` it follows only while the input is still empty.
    void readClipboard(bool onlyIntoEmpty);

    // The byte counter: the UTF-8 size of the text as typed, "N / 2900 байт".
    static qint64 byteCount(const QString& text) { return text.toUtf8().size(); }
    static QString counterText(const QString& text) { return counterText(byteCount(text)); }
    static QString counterText(qint64 utf8Bytes);
    static bool isOverLimit(const QString& text) { return isOverLimit(byteCount(text)); }
    static bool isOverLimit(qint64 utf8Bytes) { return utf8Bytes > QRCodeGenerator::maxBytes; }
    static QString segmentTitle(QRCodeGenerator::Correction correction);  // "15%"
    static QString description(QRCodeGenerator::Correction correction);
    static QString saveFailureText(const FileError& error);

signals:
    void codeChanged();
    void correctionChanged();
    void textFromClipboard(const QString& text);

private:
    void render();

    QString input_;
    qint64 tooLargeBytes_ = 0;  // the trimmed text's UTF-8 size while it is too large to keep, else 0
    QRCodeGenerator::Correction correction_ = QRCodeGenerator::Correction::medium;
    double devicePixelRatio_ = 2;
    QRCodeGenerator::Result code_;
    quint64 clipboardRead_ = 0;
    CopyConfirmation copied_;
};
