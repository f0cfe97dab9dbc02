#pragma once

#include "Platform/Desktop/Pasteboard.h"

#include <memory>

class QClipboard;
class QMimeData;
class X11SelectionReader;

// The system pasteboard, the X11 CLIPBOARD selection. Writes go through QClipboard; changes are
// seen through XFixes and other programs' contents read by an X11SelectionReader on its own
// thread and X connection. Without an X server only what this program wrote is read.
class X11Pasteboard final : public Pasteboard {
    Q_OBJECT
public:
    X11Pasteboard();
    ~X11Pasteboard() override;
    qint64 changeCount() const override;
    bool watchChanges(PasteboardReadPlan plan, QObject* context,
                      std::function<void(PasteboardContents)> onContents) override;
    // Ends the reader's thread (the application is ending); changes are no longer seen.
    void stopReading();

protected:
    QStringList formats() const override;
    std::optional<QByteArray> formatData(const QString& format) const override;
    std::optional<QString> formatText() const override;
    void startReading(PasteboardReadPlan plan, QObject* context,
                      std::function<void(PasteboardContents)> done) override;
    void clearAll() override;
    void setRepresentations(const QList<PasteboardItem>& items,
                            const PasteboardRepresentations& representations) override;
    void setPrimaryRepresentations(const PasteboardRepresentations& representations) override;

private:
    const QMimeData* ownData() const;
    void countOwnChange();

    QClipboard* clipboard_ = nullptr;
    std::unique_ptr<X11SelectionReader> reader_;
    int exitHook_ = 0;
    qint64 localCount_ = 0;  // used only without a reader
    bool writing_ = false;   // our own write, counted once by countOwnChange()
};
