#pragma once

#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QList>
#include <QTimer>
#include <QWidget>

class DiskPaneModel;
class ActivitySpinner;

// The wide button under the Disk tab's header: starts the reclaimable-space scan, or starts and
// stops the whole-volume walk, as the tab's mode chooses, and shows the running scan's progress
// and the last result.
class DiskScanContent : public QWidget {
    Q_OBJECT
public:
    // What a label shows, left to right: a spinner or a symbol, then texts separated by 7 px.
    struct Label {
        enum class Tone { primary, secondary, tertiary, green };
        struct Text {
            QString text;
            Tone tone = Tone::primary;
            bool elides = false;  // cut in the middle when the row is too narrow
            bool operator==(const Text&) const = default;
        };
        bool spinner = false;
        QString symbol;
        bool symbolGreen = false;
        QList<Text> texts;
        bool operator==(const Label&) const = default;
    };

    DiskScanContent(DiskCleanScanner& scanner, VolumeUsageScanner& volume, DiskPaneModel& model,
                    QWidget* parent = nullptr);

    static Label cleanupLabel(const DiskCleanScanner::State& state, const QString& currentPath, double reclaimable,
                              const QString& home);
    static Label volumeLabel(const VolumeUsageScanner::State& state, const std::optional<UsageNode>& root,
                             const QDateTime& now);
    // How long ago, in one or two units: "5 sec", "3 min", "2 hr, 5 min", "3 days, 4 hr".
    static QString relativeText(const QDateTime& from, const QDateTime& now);

    // The label shown now and the button that shows it.
    Label label() const;
    QAbstractButton* button() const;
    bool showsVolumeButton() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Button;
    void refresh(bool animated);
    void scheduleAgeRefresh();

    DiskCleanScanner& scanner_;
    VolumeUsageScanner& volume_;
    DiskPaneModel& model_;
    Button* button_ = nullptr;
    QTimer ageTimer_;
};
