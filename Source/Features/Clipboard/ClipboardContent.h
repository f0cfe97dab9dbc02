#pragma once

#include "Source/Features/Clipboard/ClipboardImageReference.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <variant>

// What was copied: a text, an image stored on disk, or a list of files.
class ClipboardContent {
public:
    enum class Kind { text, image, files };

    // The string exactly as the pasteboard gave it (not trimmed).
    static ClipboardContent text(const QString& string);
    static ClipboardContent image(const ClipboardImageReference& reference);
    // File URLs in pasteboard order.
    static ClipboardContent files(const QList<QUrl>& urls);

    Kind kind() const { return Kind(payload_.index()); }
    bool isText() const { return kind() == Kind::text; }
    bool isImage() const { return kind() == Kind::image; }
    bool isFiles() const { return kind() == Kind::files; }

    // The payload of each case; empty for another case.
    QString textValue() const;
    const ClipboardImageReference* imageReference() const { return std::get_if<ClipboardImageReference>(&payload_); }
    QList<QUrl> fileURLs() const;

    // The one-line label.
    QString preview() const;
    // What a search query is matched against.
    QString searchText() const;

    // Texts compare under canonical equivalence; images by pixel size and fingerprint; file lists
    // element by element.
    bool operator==(const ClipboardContent& other) const;
    friend size_t qHash(const ClipboardContent& content, size_t seed);

private:
    struct Text {
        QString value;
        QString key;  // the canonical composition of value (shares its data when already composed)
    };
    struct Files {
        QList<QUrl> urls;
    };
    explicit ClipboardContent(std::variant<Text, ClipboardImageReference, Files> payload)
        : payload_(std::move(payload)) {}

    std::variant<Text, ClipboardImageReference, Files> payload_;
};

// Equal contents hash alike, so that a set of contents finds a repeat at once.
size_t qHash(const ClipboardContent& content, size_t seed = 0);
