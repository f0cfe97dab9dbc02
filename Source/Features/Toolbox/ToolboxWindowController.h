#pragma once

#include "Source/Features/Toolbox/ToolboxSettings.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>

class QMainWindow;
class QLabel;
class ToolboxModel;
class ToolboxView;
class UserDefaults;

// The toolbox window: built on the first show() with its content 1020 × 740 (never smaller than
// 900 × 660), then reused; closing only hides it, keeping the model, input and output. Each show()
// switches to the JSON tree and brings the window to the front. The frame is saved in the
// toolbox's settings when the window closes (and at quit while it is open) and restored on the next
// build, enlarged to the minimum and moved onto a screen. GUI thread only.
class ToolboxWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int initialWidth = 1020;
    static constexpr int initialHeight = 740;
    static constexpr int minimumWidth = 900;
    static constexpr int minimumHeight = 660;

    static ToolboxWindowController& shared();
    // model: the window's model (a new one when none is given).
    explicit ToolboxWindowController(UserDefaults& defaults, std::unique_ptr<ToolboxModel> model = nullptr,
                                     QObject* parent = nullptr);
    ~ToolboxWindowController() override;

    ToolboxModel& model() const { return *model_; }
    // Absent until the first show().
    QMainWindow* window() const { return window_.get(); }
    ToolboxView* view() const { return view_; }
    QLabel* titleLabel() const { return title_; }

    void show();
    // Saves the window's content frame in the toolbox's settings.
    void saveFrame();

    // A saved frame as written: "x y width height" of the content area, in the screen space that
    // grows upward from the primary screen's bottom-left.
    static QString frameString(const QRectF& upwardFrame);
    static std::optional<QRectF> parseFrame(const QString& text);
    // A restored frame: at least the minimum size, no larger than its screen allows, and moved onto
    // the visible frame it overlaps most (the first one when it overlaps none).
    static QRectF clampedFrame(const QRectF& frame, const QSizeF& minimum, const QList<QRectF>& visibleFrames);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();

    ToolboxSettings settings_;
    std::unique_ptr<ToolboxModel> model_;
    std::unique_ptr<QMainWindow> window_;
    ToolboxView* view_ = nullptr;
    QLabel* title_ = nullptr;
};
