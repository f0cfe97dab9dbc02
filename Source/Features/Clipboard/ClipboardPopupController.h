#pragma once

#include "Platform/Core/Dispatch.h"
#include "Platform/Desktop/Workspace.h"
#include "Views/Clipboard/ClipboardCompositeState.h"
#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Clipboard/ClipboardPopupModel.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QUuid>
#include <QWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ClipboardManager;
class ClipboardPopupInputController;
class ClipboardPopupPreviewController;
class QMessageBox;
class QWidget;

// The clipboard popup: a borderless panel that opens at the pointer on the clipboard hot key,
// shows the pinned items, the search line, the history list and the footer of commands, and
// pastes the chosen item into the application that was in front. The list, query, highlight and
// notice live in its model (ClipboardPopupModel), which the views draw. The controller owns the
// panel and its view tree (built fresh at every opening), measures and places it under the
// pointer, keeps room beside it for the hover preview, closes it on an outside click or Escape,
// animates it in and out, and carries out what the model's keys and views ask for. While it is
// open, its input controller routes the keys and outside clicks to it, and its preview controller
// tracks the pointer for highlights and previews. GUI thread only.
//
// Geometry on screen is in upward space (Platform/Screens): origin at the bottom-left of the
// primary screen, y growing upward; panel-relative rectangles count from the panel's
// bottom-left corner.
class ClipboardPopupController : public QObject {
    Q_OBJECT
public:
    static constexpr double previewDelay = 0.35;
    static constexpr double previewMinWidth = 460;
    static constexpr double previewMaxWidth = 720;
    static constexpr double previewGap = 14;
    static constexpr int maxActivationAttempts = 20;
    static constexpr double activationPollInterval = 0.01;

    // The controller of the shared clipboard history. Created on first use, never destroyed.
    static ClipboardPopupController& shared();
    // Registers the clipboard hot key's action (open when closed, else close with animation).
    static void install();

    explicit ClipboardPopupController(ClipboardManager& store, QObject* parent = nullptr);
    ~ClipboardPopupController() override;

    ClipboardManager& store() const { return store_; }
    ClipboardPopupModel& model() { return model_; }
    const ClipboardPopupModel& model() const { return model_; }

    // --- Opening and closing ---
    // Opens the popup at the pointer. A popup still open is closed at once first.
    void show();
    // Closes the popup: at once, or with the exit animation. Nothing when closed.
    void dismiss(bool immediate);
    // show() when closed, else dismiss(false): the hot key's action.
    void toggle();
    bool isOpen() const { return !panel_.isNull(); }
    KeyablePopupPanel* panel() const { return panel_; }
    QWidget* containerView() const { return containerView_; }

    // The footer's commands: each closes the popup and runs its work shortly after.
    void clearHistory();
    void openSettings();
    void showAbout();
    // The About box: the program's icon, name and version, wide enough for its title.
    static QMessageBox* makeAboutBox();
    void quitApp();

    ClipboardCompositeState& compositeState() { return compositeState_; }
    const std::optional<RunningApplication>& previousApp() const { return previousApp_; }

    // --- Layout ---
    // The main card's content width for the store's history (320 … 620).
    double calculateOptimalWidth() const;
    void updateListFramePosition(double shelfHeight);
    // The list area in the main card, from its bottom-left corner.
    QRectF listFrame() const { return listFrame_; }
    QSizeF mainPanelSize() const { return mainPanelSize_; }
    double contentColumnBudget() const { return contentColumnBudget_; }
    // The list block's height at opening: the most it takes while open.
    double openingListHeight() const { return openingListHeight_; }
    double footerBlockHeight() const { return footerBlockHeight_; }
    QRectF previewColumnRect() const { return previewColumnRect_; }
    int currentPreviewRow() const;
    // The frame the popup is laid out in: the main frame and the preview's room beside it. The
    // panel covers only the part of it that is drawn.
    std::optional<QRectF> layoutFrameOnScreen() const;
    std::optional<QRectF> mainFrameOnScreen() const;
    // The part of the main frame the cards are drawn in.
    std::optional<QRectF> paintedFrameOnScreen() const;
    std::optional<QRectF> listRectOnScreen() const;
    std::optional<QRectF> shelfFrameOnScreen() const;
    std::optional<QRectF> previewFrameOnScreen() const;
    std::optional<QRectF> previewColumnFrameOnScreen() const;
    bool pointerIsOnListOrPreview() const;

    // --- Keyboard and paste ---
    // Every key while the popup is visible: true when it was consumed. flags are modifier
    // flag masks (Platform/X11/KeyCodes), characters the typed text.
    bool handleTappedKey(int keyCode, uint64_t flags, const QString& characters);
    void pasteItem(int row);
    void pastePlain(int row);
    // Brings the application back (polling every 0.01 s, at most 20 times), then pastes. Without
    // an application, the window of this program that had the focus before the popup comes back.
    void activateThenPaste(const ClipboardItem& item, const std::optional<RunningApplication>& app, int attempt);
    void activateThenPastePlain(const QString& text, const std::optional<RunningApplication>& app, int attempt);
    void pinHighlighted();
    void togglePinInPlace(const ClipboardItem& item);

    // --- Pointer tracking and the preview ---
    void pointerMoved();
    void mouseMovedToRow(int row);
    void pointerLeftList();
    void selectRowUnderPointer();
    void schedulePreview(int row);
    void hidePreview(bool animated);
    void showPreview(int row);
    bool isPreviewPending() const;
    bool isPreviewHidePending() const;

    struct ScreenInfo {
        QRectF frame;
        QRectF visibleFrame;
    };
    // The screen under the pointer (else the primary one).
    static std::optional<ScreenInfo> screenAt(const QPointF& pointer);
    // The pointer in upward space (tests replace the source).
    QPointF pointerLocation() const;
    void setPointerSourceForTesting(std::function<QPointF()> source) { pointerSource_ = std::move(source); }

signals:
    void panelChanged();

private:
    void connectModel();
    void runCommand(ClipboardPopupModel::Command command);
    void pastePinned(const QUuid& id);
    void animateIn(KeyablePopupPanel* panel, QWidget* container);
    void animateOut(KeyablePopupPanel* panel, QWidget* container);
    void relayoutColumn();
    void activateThenRun(std::function<void()> paste, const std::optional<RunningApplication>& app, int attempt);
    void afterDismiss(double seconds, std::function<void()> work);

    ClipboardManager& store_;
    ClipboardPopupModel model_;
    QPointer<KeyablePopupPanel> panel_;
    QRect layoutFrame_;  // Qt space
    // Panels closed but not yet deleted (fading out); their views refer to the model.
    QList<QPointer<KeyablePopupPanel>> closing_;
    ClipboardCompositeState compositeState_;
    QPointer<QWidget> containerView_;
    QRectF listFrame_;
    std::optional<RunningApplication> previousApp_;
    QPointer<QWindow> previousWindow_;
    QSizeF mainPanelSize_;
    double contentColumnBudget_ = 0;
    double openingListHeight_ = 0;
    double footerBlockHeight_ = 0;
    QRectF previewColumnRect_;
    std::unique_ptr<ClipboardPopupPreviewController> preview_;
    std::unique_ptr<ClipboardPopupInputController> input_;
    std::function<QPointF()> pointerSource_;
};
