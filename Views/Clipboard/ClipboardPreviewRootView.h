#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QScrollArea;

// The hover preview card's content: a large rendering of the item (the whole text, the image,
// or up to 30 files) above a divider and the information lines. Sizes come from the controller;
// the view does not measure itself.
class ClipboardPreviewRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxFileLines = 30;
    static constexpr int infoLineHeight = 15;
    static constexpr int infoGapHeight = 7;

    ClipboardPreviewRootView(const ClipboardItem& item, const QStringList& infoLines, double bodyWidth,
                             double contentHeight, double infoHeight, QWidget* parent = nullptr);

    const ClipboardItem& item() const { return item_; }
    QStringList infoLines() const { return infoLines_; }
    // The content widget: a text view, an image view or the file list.
    QWidget* previewContent() const { return content_; }
    QWidget* metadata() const { return metadata_; }
    // The text shown for a text item.
    QString shownText() const;
    // The file names listed for a files item.
    QStringList listedFiles() const;
    // Whether an image item found its picture (else the placeholder shows).
    bool hasImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeText();
    QWidget* makeImage();
    QWidget* makeFiles();

    ClipboardItem item_;
    QStringList infoLines_;
    double bodyWidth_, contentHeight_, infoHeight_;
    QWidget* content_ = nullptr;
    QWidget* metadata_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QStringList files_;
    bool hasImage_ = false;
};
