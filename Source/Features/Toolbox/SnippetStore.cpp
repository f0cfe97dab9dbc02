#include "Source/Features/Toolbox/SnippetStore.h"

#include "Platform/Core/Clock.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cstring>

Q_LOGGING_CATEGORY(lcSnippets, "com.pelwick.Quorvin.Snippets", QtInfoMsg)

namespace {

const QString kOldStarterTitle = QStringLiteral("Ссылка из буфера в Markdown");
const QString kOldStarterBody = QStringLiteral("[{{текст}}]({{clipboard}})");
const QString kLinkStarterTitle = QStringLiteral("Markdown-ссылка из буфера");
const QString kLinkStarterBody = QStringLiteral("[{{название ссылки}}]({{clipboard}})");

// A free name beside the file: "snippets.json.damaged-<time>".
QString asidePath(const QString& file) {
    const QString base =
        file + QStringLiteral(".damaged-") + Clock::shared().now().toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = base;
    for (int n = 2; QFileInfo(path).exists() || QFileInfo(path).isSymLink(); ++n)
        path = base + QString::asprintf("-%d", n);
    return path;
}

// Full case folding of the NFC form; Turkic locales keep their dotted and dotless i apart.
QString caseFolded(const QString& text) {
    const char* language = icu::Locale::getDefault().getLanguage();
    const bool turkic = std::strcmp(language, "tr") == 0 || std::strcmp(language, "az") == 0;
    icu::UnicodeString folded(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    folded.foldCase(turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_SUCCESS(status)) {
        const icu::UnicodeString normal = nfc->normalize(folded, status);
        if (U_SUCCESS(status)) folded = normal;
    }
    return QString(reinterpret_cast<const QChar*>(folded.getBuffer()), folded.length());
}

}  // namespace

SnippetStore& SnippetStore::shared() {
    static SnippetStore* store = new SnippetStore(URL::applicationSupport(QStringLiteral("Snippets")));
    return *store;
}

SnippetStore::SnippetStore(const QString& folder, QObject* parent)
    : QObject(parent), folder_(QDir::cleanPath(folder)), fileURL_(folder_ + QStringLiteral("/snippets.json")) {
    load();
}

const QList<Snippet>& SnippetStore::starters() {
    static const QList<Snippet> list = [] {
        const QDateTime now = Clock::shared().now();
        return QList<Snippet>{
            {QUuid::createUuid(), QStringLiteral("Дата и время"), QStringLiteral("{{datetime}}"), now},
            {QUuid::createUuid(), QStringLiteral("Ответ на письмо"),
             QStringLiteral("Здравствуйте, {{имя}}!\n\nСпасибо за сообщение. Отвечу по существу до {{date}}.\n\n"
                            "С уважением,\n{{подпись}}"),
             now},
            {QUuid::createUuid(), kLinkStarterTitle, kLinkStarterBody, now},
        };
    }();
    return list;
}

QByteArray SnippetStore::encode(const QList<Snippet>& snippets) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Snippet& snippet : snippets) array.push_back(snippet.toJson());
    // Invalid UTF-16 (a lone surrogate) becomes U+FFFD rather than failing the write.
    return QByteArray::fromStdString(array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::optional<SnippetStore::Decoded> SnippetStore::decode(const QByteArray& bytes) {
    const nlohmann::json array = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (array.is_discarded() || !array.is_array()) return std::nullopt;
    Decoded decoded;
    for (const nlohmann::json& record : array) {
        if (auto snippet = Snippet::fromJson(record))
            decoded.snippets.append(*snippet);
        else
            ++decoded.skipped;
    }
    return decoded;
}

void SnippetStore::load() {
    FileError error;
    const std::optional<QByteArray> bytes = SafeFile::readRegular(fileURL_, &error);
    std::optional<Decoded> decoded;
    if (bytes) {
        decoded = decode(*bytes);
        if (!decoded) {
            qCWarning(lcSnippets, "Snippets file %s cannot be read as snippets", qPrintable(fileURL_));
            savesBlocked_ = !keepAside(*bytes, true);
        } else if (decoded->skipped > 0) {
            qCWarning(lcSnippets, "Snippets file %s: skipped %d snippets that cannot be read", qPrintable(fileURL_),
                      decoded->skipped);
            keepAside(*bytes, false);
        }
    } else if (error.code != 0 && !error.isMissing()) {
        qCWarning(lcSnippets, "Snippets file %s cannot be read (%s)", qPrintable(fileURL_), qPrintable(error.reason));
        savesBlocked_ = !keepAside({}, true);
    } else if (!error.isMissing()) {
        // A link or a device in its place is neither read, moved nor replaced.
        qCWarning(lcSnippets, "Snippets file %s; the snippets are kept in memory only", qPrintable(error.message()));
        savesBlocked_ = true;
    }

    if (!decoded || decoded->snippets.isEmpty()) {
        snippets_ = starters();  // written by the first save, not now
        return;
    }
    snippets_ = decoded->snippets;
    migrateStarterExamples();
}

bool SnippetStore::keepAside(const QByteArray& bytes, bool move) {
    const QString aside = asidePath(fileURL_);
    const auto error =
        move ? FileWriter::shared().moveAside(fileURL_, aside) : FileWriter::shared().write(aside, bytes, 0600);
    if (error) {
        qCWarning(lcSnippets, "Cannot keep the snippets file aside as %s (%s)%s", qPrintable(aside),
                  qPrintable(error->reason), move ? "; it is left as it is and not written over" : "");
        return false;
    }
    qCWarning(lcSnippets, "Kept a copy of the snippets file as %s", qPrintable(aside));
    return true;
}

void SnippetStore::migrateStarterExamples() {
    for (Snippet& snippet : snippets_) {
        if (snippet.title != kOldStarterTitle || snippet.body != kOldStarterBody) continue;
        snippet.title = kLinkStarterTitle;
        snippet.body = kLinkStarterBody;
        save();
        return;
    }
}

std::optional<Snippet> SnippetStore::snippet(const QString& name) const {
    const QString wanted = caseFolded(name);
    for (const Snippet& snippet : snippets_)
        if (caseFolded(snippet.title) == wanted) return snippet;
    return std::nullopt;
}

void SnippetStore::add(const Snippet& snippet) {
    snippets_.prepend(snippet);
    emit snippetsChanged();
    save();
}

void SnippetStore::update(const Snippet& snippet) {
    for (Snippet& entry : snippets_) {
        if (entry.id != snippet.id) continue;
        entry = snippet;
        emit snippetsChanged();
        save();
        return;
    }
}

void SnippetStore::remove(const Snippet& snippet) {
    if (snippets_.removeIf([&snippet](const Snippet& entry) { return entry.id == snippet.id; }) > 0)
        emit snippetsChanged();
    save();
}

void SnippetStore::save() {
    if (savesBlocked_) {
        if (!blockedReported_)
            qCWarning(lcSnippets, "Snippets are not written: %s is left as it is", qPrintable(fileURL_));
        blockedReported_ = true;
        return;
    }
    if (const auto error = FileWriter::shared().makePrivateFolder(folder_)) {
        qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(error->message()));
        return;
    }
    if (const auto error = FileWriter::shared().write(fileURL_, encode(snippets_), 0600))
        qCWarning(lcSnippets, "Cannot save the snippets: %s", qPrintable(error->message()));
}
