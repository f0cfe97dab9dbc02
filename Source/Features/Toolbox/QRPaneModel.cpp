#include "Source/Features/Toolbox/QRPaneModel.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Files/FileWriter.h"
#include "Source/Features/Toolbox/UnicodeText.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>

using QRCodeGenerator::Correction;

namespace {

// More text than the code can hold is still put in the field; the counter then says so.
constexpr qsizetype kMaxClipboardBytes = qsizetype(1) << 20;

}  // namespace

QRPaneModel::QRPaneModel(QObject* parent) : QObject(parent) { render(); }

void QRPaneModel::setCorrection(Correction correction) {
    if (correction_ == correction) return;
    correction_ = correction;
    render();
    emit correctionChanged();
}

void QRPaneModel::setInput(const QString& input) { setInput(input, UnicodeText::utf8Length(input)); }

void QRPaneModel::setInput(const QString& input, qsizetype utf8Bytes) {
    // What trimming takes off the ends is weighed alone: the middle of a large text is never read.
    qsizetype from = 0, to = input.size();
    while (from < to && input[from].isSpace()) ++from;
    while (to > from && input[to - 1].isSpace()) --to;
    const QStringView view(input);
    const qint64 trimmed = utf8Bytes - UnicodeText::utf8Length(view.first(from)) - UnicodeText::utf8Length(view.sliced(to));
    if (trimmed > QRCodeGenerator::maxBytes) {
        if (tooLargeBytes_ == trimmed) return;
        input_ = QString();
        tooLargeBytes_ = trimmed;
        render();
        return;
    }
    if (tooLargeBytes_ == 0 && input_ == input) return;
    input_ = input;
    tooLargeBytes_ = 0;
    render();
}

void QRPaneModel::setDevicePixelRatio(double ratio) {
    const double clamped = std::isfinite(ratio) ? std::max(2.0, std::ceil(ratio)) : 2.0;
    if (clamped == devicePixelRatio_) return;
    devicePixelRatio_ = clamped;
    render();
}

void QRPaneModel::render() {
    if (tooLargeBytes_ > 0) {
        code_ = {{}, QRCodeGenerator::Failure{QRCodeGenerator::Failure::Kind::tooLarge, tooLargeBytes_}};
        emit codeChanged();
        return;
    }
    code_ = QRCodeGenerator::image(input_, correction_, pointSize * devicePixelRatio_);
    if (!code_.image.isNull()) code_.image.setDevicePixelRatio(devicePixelRatio_);
    emit codeChanged();
}

QByteArray QRPaneModel::pngData() const {
    if (code_.image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage image = code_.image;
    image.setDevicePixelRatio(1);
    if (!image.save(&buffer, "PNG")) return {};
    return bytes;
}

bool QRPaneModel::copy(Pasteboard& pasteboard) {
    const QByteArray png = pngData();
    if (png.isEmpty()) return false;
    PasteboardItem item;
    item.setData(PasteboardType::png, png);
    pasteboard.writeObjects({item});
    copied_.confirm();
    return true;
}

std::optional<FileError> QRPaneModel::save(const QString& path, const QByteArray& png) {
    if (png.isEmpty()) return FileError::refused(path, QStringLiteral("no image to save"));
    return FileWriter::shared().write(path, png, 0644);
}

QString QRPaneModel::withPngSuffix(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".png");
}

void QRPaneModel::readClipboard(bool onlyIntoEmpty) {
    const quint64 read = ++clipboardRead_;
    const PasteboardReadPlan plan = [](const PasteboardContents& sofar) -> std::optional<PasteboardFetch> {
        if (!sofar.types.contains(PasteboardType::string) || sofar.requested.contains(PasteboardType::string))
            return std::nullopt;
        return PasteboardFetch{PasteboardType::string, kMaxClipboardBytes};
    };
    Pasteboard::general().readContents(plan, this, [this, read, onlyIntoEmpty](PasteboardContents contents) {
        if (read != clipboardRead_ || contents.status != PasteboardContents::Status::read) return;
        const auto text = contents.string();
        if (!text || (onlyIntoEmpty && (!input_.isEmpty() || tooLargeBytes_ > 0))) return;
        emit textFromClipboard(*text);
    });
}

QString QRPaneModel::counterText(qint64 utf8Bytes) {
    return QString::number(utf8Bytes) + QStringLiteral(" / 2900 байт");
}

QString QRPaneModel::segmentTitle(Correction correction) {
    return QString::number(QRCodeGenerator::recoveryPercent(correction)) + QLatin1Char('%');
}

QString QRPaneModel::description(Correction correction) {
    switch (correction) {
    case Correction::low: return QStringLiteral("Самый компактный код. Для экрана этого достаточно.");
    case Correction::medium: return QStringLiteral("Компромисс по умолчанию.");
    case Correction::quartile: return QStringLiteral("Терпит частичное перекрытие.");
    case Correction::high: return QStringLiteral("Читается даже поцарапанным — для печати и наклеек.");
    }
    return {};
}

QString QRPaneModel::saveFailureText(const FileError& error) {
    return QStringLiteral("Не удалось сохранить PNG: ") + error.message();
}
