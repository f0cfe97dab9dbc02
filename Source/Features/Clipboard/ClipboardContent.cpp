#include "Source/Features/Clipboard/ClipboardContent.h"

#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace {

constexpr int kPreviewLength = 80;

// Whether the string may need composing: only characters from U+0300 up can change under
// canonical composition, so plain Latin-1 text is its own normal form.
bool mayNeedComposing(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x0300) return true;
    return false;
}

}  // namespace

ClipboardContent ClipboardContent::text(const QString& string) {
    return ClipboardContent(Text{string, mayNeedComposing(string) ? string.normalized(QString::NormalizationForm_C) : string});
}

ClipboardContent ClipboardContent::image(const ClipboardImageReference& reference) { return ClipboardContent(reference); }

ClipboardContent ClipboardContent::files(const QList<QUrl>& urls) { return ClipboardContent(Files{urls}); }

QString ClipboardContent::textValue() const {
    if (const Text* t = std::get_if<Text>(&payload_)) return t->value;
    return {};
}

QList<QUrl> ClipboardContent::fileURLs() const {
    if (const Files* f = std::get_if<Files>(&payload_)) return f->urls;
    return {};
}

QString ClipboardContent::preview() const {
    switch (kind()) {
    case Kind::text: {
        QString s = std::get<Text>(payload_).value.trimmed();
        s.replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (s.size() <= kPreviewLength) return s;  // never more characters than code units
        // Cut after 80 user-perceived characters, never inside one.
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
        int count = 0;
        qsizetype position = 0;
        while (count < kPreviewLength) {
            const qsizetype next = finder.toNextBoundary();
            if (next < 0) return s;
            position = next;
            ++count;
        }
        if (position >= s.size()) return s;
        return s.left(position) + QChar(0x2026);
    }
    case Kind::image:
        return QStringLiteral("[Image]");
    case Kind::files: {
        QStringList names;
        for (const QUrl& url : std::get<Files>(payload_).urls) {
            const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
            QString name = QFileInfo(path.endsWith(QLatin1Char('/')) && path.size() > 1 ? path.chopped(1) : path).fileName();
            names.append(name);
        }
        return names.join(QStringLiteral(", "));
    }
    }
    return {};
}

QString ClipboardContent::searchText() const {
    switch (kind()) {
    case Kind::text:
        return std::get<Text>(payload_).value;
    case Kind::image: {
        const QSizeF size = std::get<ClipboardImageReference>(payload_).pixelSize;
        return QString::asprintf("%lld \u00d7 %lld", (long long)size.width(), (long long)size.height());
    }
    case Kind::files: {
        QStringList paths;
        for (const QUrl& url : std::get<Files>(payload_).urls) paths.append(url.isLocalFile() ? url.toLocalFile() : url.path());
        return paths.join(QLatin1Char(' '));
    }
    }
    return {};
}

bool ClipboardContent::operator==(const ClipboardContent& other) const {
    if (payload_.index() != other.payload_.index()) return false;
    switch (kind()) {
    case Kind::text:
        return std::get<Text>(payload_).key == std::get<Text>(other.payload_).key;
    case Kind::image:
        return std::get<ClipboardImageReference>(payload_) == std::get<ClipboardImageReference>(other.payload_);
    case Kind::files:
        return std::get<Files>(payload_).urls == std::get<Files>(other.payload_).urls;
    }
    return false;
}

size_t qHash(const ClipboardContent& content, size_t seed) {
    switch (content.kind()) {
    case ClipboardContent::Kind::text:
        return qHashMulti(seed, 0, std::get<ClipboardContent::Text>(content.payload_).key);
    case ClipboardContent::Kind::image: {
        const ClipboardImageReference& image = std::get<ClipboardImageReference>(content.payload_);
        return qHashMulti(seed, 1, image.pixelSize.width(), image.pixelSize.height(), image.fingerprint);
    }
    case ClipboardContent::Kind::files: {
        const QList<QUrl>& urls = std::get<ClipboardContent::Files>(content.payload_).urls;
        return qHashMulti(seed, 2, qHashRange(urls.begin(), urls.end()));
    }
    }
    return seed;
}
