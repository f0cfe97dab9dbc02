#pragma once

#include "Source/Features/System/UsageNode.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class DiskPaneModel;
class QAbstractButton;
class QLabel;
class ClearScrollArea;
class UsageRow;
class VolumeUsageScanner;

// Walks down the volume tree one folder at a time: a bar with "Up" while inside a folder, the
// folder's kept children with their shares, a progress message during a first walk, and empty
// messages. The browse path is the pane model's, so it outlives the view.
class VolumeUsageBrowser : public QWidget {
    Q_OBJECT
public:
    enum class Content { progress, list, empty };

    VolumeUsageBrowser(VolumeUsageScanner& scanner, DiskPaneModel& model, QWidget* parent = nullptr);

    // The folder listed: the last opened one, else the tree's root.
    std::optional<UsageNode> current() const;
    Content content() const { return content_; }
    // The empty view's text.
    QString emptyText() const;
    // The top level's note on folders that could not be read: the count, then the text.
    static QString unreadableNote(qint64 count);

    // What is on screen (tests).
    QWidget* breadcrumb() const;
    QAbstractButton* upButton() const { return up_; }
    QList<UsageRow*> rows() const;
    QLabel* note() const { return note_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Breadcrumb;
    class Message;
    void rebuild(bool animated);
    void layoutContent();

    VolumeUsageScanner& scanner_;
    DiskPaneModel& model_;
    Content content_ = Content::empty;
    Breadcrumb* breadcrumb_ = nullptr;
    QAbstractButton* up_ = nullptr;
    ClearScrollArea* scroll_ = nullptr;
    QPointer<QWidget> list_;
    QLabel* note_ = nullptr;
    Message* message_ = nullptr;
    QString shownKey_;
};
