#include "Source/Features/Clipboard/ClipboardPopupController.h"

#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Platform/Core/Bundle.h"
#include "Platform/X11/Compositing.h"
#include "Platform/X11/KeyboardFocus.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/AppWindow.h"
#include "Platform/Ui/WindowFit.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupInputController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/Clipboard/ClipboardPopupPreviewController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardPopupHostingController.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/PopupEntrance.h"
#include "Views/Shared/PopupTransition.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <span>

namespace L = ClipboardPopupLayout;

// ---------------------------------------------------------------------------------------------

ClipboardPopupController& ClipboardPopupController::shared() {
    static auto* controller = new ClipboardPopupController(ClipboardManager::shared());
    return *controller;
}

void ClipboardPopupController::install() {
    GlobalHotkeyMonitor::setActionHandler(QStringLiteral("clipboardHistory"), [] { shared().toggle(); });
}

ClipboardPopupController::ClipboardPopupController(ClipboardManager& store, QObject* parent)
    : QObject(parent), store_(store), model_(store),
      preview_(std::make_unique<ClipboardPopupPreviewController>(*this)),
      input_(std::make_unique<ClipboardPopupInputController>(*this)) {
    connectModel();
}

void ClipboardPopupController::connectModel() {
    using M = ClipboardPopupModel;
    connect(&model_, &M::searchQueryChanged, this, [this] { hidePreview(true); });
    connect(&model_, &M::pasteRequested, this, [this](int row, bool plain) { plain ? pastePlain(row) : pasteItem(row); });
    connect(&model_, &M::pinnedPasteRequested, this, &ClipboardPopupController::pastePinned);
    connect(&model_, &M::pinToggleRequested, this, [this](const QUuid& id) {
        for (const ClipboardItem& item : store_.history())
            if (item.id == id) return togglePinInPlace(item);
    });
    connect(&model_, &M::commandRequested, this, &ClipboardPopupController::runCommand);
    connect(&model_, &M::rowHovered, this, &ClipboardPopupController::mouseMovedToRow);
    connect(&model_, &M::pointerLeftList, this, &ClipboardPopupController::pointerLeftList);
    connect(&model_, &M::scrollPhaseChanged, preview_.get(), &ClipboardPopupPreviewController::scrollPhaseChanged);
    connect(&store_, &ClipboardManager::historyChanged, this, [this] {
        if (panel_) compositeState_.withAnimation(Motion::droplet(), [this] { relayoutColumn(); });
    });
}

void ClipboardPopupController::runCommand(ClipboardPopupModel::Command command) {
    using C = ClipboardPopupModel::Command;
    switch (command) {
    case C::pastePlainHighlighted: {
        const int row = model_.highlightedRow();
        if (row >= 0 && row < int(model_.history().size())) pastePlain(row);
        break;
    }
    case C::pinHighlighted: pinHighlighted(); break;
    case C::clearHistory: clearHistory(); break;
    case C::openSettings: openSettings(); break;
    case C::showAbout: showAbout(); break;
    case C::quit: quitApp(); break;
    }
}

void ClipboardPopupController::pastePinned(const QUuid& id) {
    for (const ClipboardItem& item : store_.history()) {
        if (item.id != id) continue;
        const ClipboardItem target = item;
        const std::optional<RunningApplication> app = previousApp_;
        dismiss(true);
        activateThenPaste(target, app, 0);
        return;
    }
}

ClipboardPopupController::~ClipboardPopupController() {
    input_->remove();
    delete panel_.data();
    for (const QPointer<KeyablePopupPanel>& closing : std::as_const(closing_)) delete closing.data();
}

void ClipboardPopupController::toggle() {
    if (!panel_ || !panel_->isVisible())
        show();
    else
        dismiss(false);
}

// --- Opening ----------------------------------------------------------------------------------

std::optional<ClipboardPopupController::ScreenInfo> ClipboardPopupController::screenAt(const QPointF& pointer) {
    QScreen* target = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (L::contains(Screens::frame(screen), pointer)) {
            target = screen;
            break;
        }
    }
    if (!target) target = QGuiApplication::primaryScreen();
    if (!target) return std::nullopt;
    return ScreenInfo{Screens::frame(target), Screens::visibleFrame(target)};
}

QPointF ClipboardPopupController::pointerLocation() const {
    return pointerSource_ ? pointerSource_() : Screens::mouseLocation();
}

double ClipboardPopupController::calculateOptimalWidth() const { return L::optimalWidth(store_.history()); }

void ClipboardPopupController::show() {
    // A popup still open would be left without its monitors: close it first.
    if (panel_) dismiss(true);

    model_.open();

    // The application to paste into; never this program itself (its window that had the focus
    // is remembered instead).
    previousApp_ = Workspace::shared().frontmostApplication();
    if (previousApp_ && previousApp_->pid == QCoreApplication::applicationPid()) previousApp_.reset();
    previousWindow_ = QGuiApplication::focusWindow();

    // Measure and place.
    const double W = std::ceil(calculateOptimalWidth()) + 2 * L::sideInset;
    const QPointF pointer = pointerLocation();
    const auto screen = screenAt(pointer);
    const QRectF vis = screen ? screen->visibleFrame : QRectF(0, 0, 1440, 900);
    const int storeCount = int(store_.history().size());
    const int pinned = storeCount - int(model_.history().size());
    const L::Placement placement =
        L::place(W, L::listBlockHeight(model_.history()), pinned, storeCount, pointer, vis);

    contentColumnBudget_ = placement.contentColumnBudget;
    openingListHeight_ = placement.listHeight;
    footerBlockHeight_ = L::footerBlockHeight;
    mainPanelSize_ = QSizeF(placement.width, placement.height);
    compositeState_.withAnimation(std::nullopt, [&] {
        compositeState_.setShelfHeight(placement.shelfHeight);
        compositeState_.setListHeight(placement.listHeight);
        compositeState_.setGrowsUpward(placement.growsUpward);
    });

    const L::PreviewColumn column = L::previewColumn(placement.mainFrame, vis);
    ClipboardCompositeState::Snapshot snapshot = ClipboardCompositeState::Snapshot::empty();
    snapshot.mainOffset = column.mainOffset;
    compositeState_.withAnimation(std::nullopt, [&] { compositeState_.setSnapshot(snapshot); });
    previewColumnRect_ = column.previewColumnRect;

    // The panel: borderless, above other windows, laid out over the main frame and the preview
    // room but covering only what it draws.
    const QRect qtFrame = Screens::toQt(column.unionFrame).toAlignedRect();
    auto* panel = new KeyablePopupPanel(qtFrame);
    panel->setObjectName(QStringLiteral("ClipboardPopupPanel"));
    panel->setWindowTitle(QStringLiteral("Quorvin"));
    panel->setWindowFlags(panel->windowFlags() | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    const bool composed = Compositing::isActive();
    if (composed) panel->setAttribute(Qt::WA_TranslucentBackground);
    WindowFit::fitToWorkArea(panel);
    // A change of the screens that cuts it closes it at once: nobody sees it go.
    WindowFit::whenCutByScreens(panel, [this, panel] {
        if (panel_ == panel) dismiss(true);
    });
    layoutFrame_ = panel->geometry();
    panel_ = panel;

    // The cards stand inside the painted frame, an inset from its edges.
    auto* host = new ClipboardPopupHostingController(panel, !composed);
    const QRectF painted = paintedFrameOnScreen().value_or(Screens::fromQt(QRectF(layoutFrame_)));
    const QRectF cards = painted.adjusted(L::sideInset, L::sideInset, -L::sideInset, -L::sideInset);
    host->setLayoutFrame(layoutFrame_, Screens::toQt(cards).toAlignedRect());
    auto* root = new ClipboardCompositeRootView(model_, compositeState_, mainPanelSize_);
    host->setRootView(root);
    containerView_ = root;
    // The native window is made at the size it is first shown at: xcompmgr shadows a window whose
    // size changed between being made and being mapped, even a translucent one.
    panel->winId();
    Compositing::leaveUnshadowed(panel->windowHandle(), Compositing::WindowRole::popupMenu);

    listFrame_ = QRectF(L::sideInset, 0, W - 2 * L::sideInset, std::max(placement.listHeight - L::searchLineHeight, 0.0));
    updateListFramePosition(placement.shelfHeight);

    animateIn(panel, root->mainColumn());
    panel->makeKeyAndOrderFront();
    QPointer<KeyablePopupPanel> weakPanel(panel);
    QTimer::singleShot(0, panel, [weakPanel] {
        if (weakPanel && weakPanel->isVisible()) weakPanel->makeKeyAndOrderFront();
    });
    input_->install();
    emit panelChanged();
}

void ClipboardPopupController::updateListFramePosition(double shelfHeight) {
    listFrame_.moveTop(L::listFrameY(compositeState_.growsUpward(), contentColumnBudget_, shelfHeight,
                                     compositeState_.listHeight(), footerBlockHeight_));
}

void ClipboardPopupController::animateIn(KeyablePopupPanel* panel, QWidget* container) {
    panel->setWindowOpacity(1);
    panel->show();
    panel->raise();
    if (!container) return;
    // The entrance runs on the main column (the preview comes later and has its own); its anchor
    // is the pointer's place in the column.
    const QRectF frame = Screens::fromQt(QRectF(container->mapToGlobal(QPoint(0, 0)), QSizeF(container->size())));
    PopupEntrance::run(container, PopupEntrance::anchorAt(pointerLocation(), frame), 0.92, 0.32, 1.0);
}

// --- Closing ----------------------------------------------------------------------------------

void ClipboardPopupController::dismiss(bool immediate) {
    if (!panel_ || !containerView_) return;
    hidePreview(false);
    input_->remove();
    KeyablePopupPanel* panel = panel_;
    auto* root = qobject_cast<ClipboardCompositeRootView*>(containerView_.data());
    QWidget* container = root ? static_cast<QWidget*>(root->mainColumn()) : containerView_.data();
    panel_.clear();
    containerView_.clear();
    model_.close();
    emit panelChanged();

    closing_.removeAll(nullptr);
    closing_ << panel;
    if (immediate) {
        panel->hide();
        panel->deleteLater();
        return;
    }
    animateOut(panel, container);
}

void ClipboardPopupController::animateOut(KeyablePopupPanel* panel, QWidget* container) {
    // The panel no longer takes clicks or keys while it fades.
    panel->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QRectF frame = Screens::fromQt(QRectF(container->mapToGlobal(QPoint(0, 0)), QSizeF(container->size())));
    QPointF anchor(0.5, 0.5);
    if (PopupEntrance* entrance = PopupEntrance::of(container)) anchor = entrance->anchor();
    else anchor = PopupTransition::anchorAt(pointerLocation(), frame);
    // The exit shrinks the drawing about the entrance's anchor while the panel fades.
    auto* exit = new PopupTransition(anchor, container);
    container->setGraphicsEffect(exit);  // ends an entrance still running

    const bool reduce = Motion::reduceMotion();
    if (!reduce) {
        const Motion::Animation spring =
            Motion::Animation::spring(0.22, 1.0).withTiming(Motion::Animation::Kind::easeOut);
        Motion::animate(exit, spring, [exit](double p) { exit->setScale(1.0 + (0.97 - 1.0) * p); });
    }
    QPointer<KeyablePopupPanel> weak(panel);
    Motion::animate(
        panel, Motion::Animation::easeIn(0.12),
        [weak, exit](double p) {
            if (!weak) return;
            weak->setWindowOpacity(1.0 - p);
            exit->setOpacity(1.0 - p);
        },
        [weak] {
            if (!weak) return;
            weak->hide();
            weak->deleteLater();
        });
}

void ClipboardPopupController::afterDismiss(double seconds, std::function<void()> work) {
    Dispatch::mainAfter(seconds, this, std::move(work));
}

void ClipboardPopupController::clearHistory() {
    dismiss(false);
    afterDismiss(0.05, [this] { store_.clear(); });
}

void ClipboardPopupController::openSettings() {
    dismiss(true);
    afterDismiss(0.05, [] { PreferencesWindowController::shared().show(); });
}

QMessageBox* ClipboardPopupController::makeAboutBox() {
    const Bundle& bundle = Bundle::main();
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About ") + bundle.name(),
                                bundle.name() + QStringLiteral("\nVersion ") + bundle.version() + QStringLiteral(" (") +
                                    bundle.build() + QStringLiteral(")"),
                                QMessageBox::Ok);
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    AppWindow::makeRoomForTitle(box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

void ClipboardPopupController::showAbout() {
    dismiss(true);
    afterDismiss(0.05, [] {
        QMessageBox* box = makeAboutBox();
        box->show();
        box->raise();
        KeyboardFocus::activate(box->windowHandle());
    });
}

void ClipboardPopupController::quitApp() {
    dismiss(false);
    afterDismiss(0.1, [] { QCoreApplication::quit(); });
}

// --- Geometry on screen -----------------------------------------------------------------------

std::optional<QRectF> ClipboardPopupController::layoutFrameOnScreen() const {
    if (!panel_) return std::nullopt;
    return Screens::fromQt(QRectF(layoutFrame_));
}

std::optional<QRectF> ClipboardPopupController::mainFrameOnScreen() const {
    const auto panel = layoutFrameOnScreen();
    if (!panel || !(mainPanelSize_.width() > 0) || !(mainPanelSize_.height() > 0)) return std::nullopt;
    const QSizeF offset = compositeState_.snapshot().mainOffset;
    return QRectF(panel->x() + offset.width(), L::maxY(*panel) - offset.height() - mainPanelSize_.height(),
                  mainPanelSize_.width(), mainPanelSize_.height());
}

std::optional<QRectF> ClipboardPopupController::paintedFrameOnScreen() const {
    const auto main = mainFrameOnScreen();
    if (!main) return std::nullopt;
    const double shelf = compositeState_.shelfHeight();
    const double h = std::min(main->height(), shelf + L::shelfGap(shelf) + compositeState_.listHeight() + L::footerGap +
                                                  footerBlockHeight_ + 2 * L::sideInset);
    const double y = compositeState_.growsUpward() ? main->y() : L::maxY(*main) - h;
    return QRectF(main->x(), y, main->width(), h);
}

std::optional<QRectF> ClipboardPopupController::listRectOnScreen() const {
    const auto main = mainFrameOnScreen();
    if (!main) return std::nullopt;
    return QRectF(main->x() + listFrame_.x(), main->y() + listFrame_.y(), listFrame_.width(), listFrame_.height());
}

std::optional<QRectF> ClipboardPopupController::shelfFrameOnScreen() const {
    const double shelf = compositeState_.shelfHeight();
    const auto main = mainFrameOnScreen();
    if (shelf <= 0 || !main) return std::nullopt;
    return QRectF(main->x() + listFrame_.x(),
                  main->y() + listFrame_.y() + listFrame_.height() + L::searchLineHeight + L::pinnedGap,
                  listFrame_.width(), shelf);
}

std::optional<QRectF> ClipboardPopupController::previewFrameOnScreen() const {
    const auto panel = layoutFrameOnScreen();
    const auto& snapshot = compositeState_.snapshot();
    if (!panel || !snapshot.preview) return std::nullopt;
    const double h = snapshot.preview->totalHeight() + 32;
    const double w = snapshot.preview->bodyWidth + 32;
    return QRectF(panel->x() + snapshot.previewOffset.width(), L::maxY(*panel) - snapshot.previewOffset.height() - h,
                  w, h);
}

std::optional<QRectF> ClipboardPopupController::previewColumnFrameOnScreen() const {
    const auto panel = layoutFrameOnScreen();
    if (!panel || !(previewColumnRect_.width() > 0) || !(previewColumnRect_.height() > 0)) return std::nullopt;
    return previewColumnRect_.translated(panel->x(), panel->y());
}

bool ClipboardPopupController::pointerIsOnListOrPreview() const {
    const QPointF p = pointerLocation();
    if (const auto list = listRectOnScreen(); list && L::contains(*list, p)) return true;
    if (const auto preview = previewFrameOnScreen(); preview && L::contains(*preview, p)) return true;
    return false;
}

// --- Keyboard ---------------------------------------------------------------------------------

bool ClipboardPopupController::handleTappedKey(int keyCode, uint64_t flags, const QString& characters) {
    using E = ClipboardPopupModel::KeyEffect;
    if (!panel_ || !panel_->isVisible()) return false;
    const ClipboardPopupModel::KeyResult result = model_.reduceKey(keyCode, flags, characters);
    switch (result.effect) {
    case E::none: break;
    case E::dismiss: dismiss(false); break;
    case E::paste: pasteItem(result.row); break;
    case E::pastePlain: pastePlain(result.row); break;
    case E::togglePin:
        if (result.row >= 0 && result.row < int(model_.history().size()))
            togglePinInPlace(model_.history()[size_t(result.row)]);
        break;
    case E::previewHighlight: schedulePreview(result.row); break;
    case E::quit: quitApp(); break;
    case E::openSettings: openSettings(); break;
    case E::clearHistory: clearHistory(); break;
    }
    return result.consumed;
}

void ClipboardPopupController::pasteItem(int row) {
    const auto& rows = model_.history();
    if (row < 0 || row >= int(rows.size())) return;
    const ClipboardItem item = rows[size_t(row)];
    const std::optional<RunningApplication> app = previousApp_;
    dismiss(true);
    activateThenPaste(item, app, 0);
}

void ClipboardPopupController::pastePlain(int row) {
    const auto& rows = model_.history();
    if (row < 0 || row >= int(rows.size())) return;
    const ClipboardItem item = rows[size_t(row)];
    if (!item.content.isText()) return;
    const std::optional<RunningApplication> app = previousApp_;
    dismiss(true);
    activateThenPastePlain(item.content.textValue(), app, 0);
}

void ClipboardPopupController::activateThenPaste(const ClipboardItem& item, const std::optional<RunningApplication>& app,
                                                 int attempt) {
    activateThenRun([this, item] { store_.paste(item); }, app, attempt);
}

void ClipboardPopupController::activateThenPastePlain(const QString& text, const std::optional<RunningApplication>& app,
                                                      int attempt) {
    activateThenRun([this, text] { store_.pastePlainText(text); }, app, attempt);
}

void ClipboardPopupController::activateThenRun(std::function<void()> paste, const std::optional<RunningApplication>& app,
                                               int attempt) {
    auto again = [this, paste, app, attempt] {
        Dispatch::mainAfter(activationPollInterval, this,
                            [this, paste, app, attempt] { activateThenRun(paste, app, attempt + 1); });
    };
    auto nextTurn = [this, paste] { QTimer::singleShot(0, this, paste); };

    if (!app) {
        // Opened over a window of this program: give that window the keyboard back first.
        QWindow* window = previousWindow_;
        const bool back = !window || !window->isVisible() || QGuiApplication::focusWindow() == window;
        if (back || attempt >= maxActivationAttempts) {
            nextTurn();
            return;
        }
        if (attempt == 0) KeyboardFocus::activate(window);
        again();
        return;
    }
    const auto front = Workspace::shared().frontmostApplication();
    if ((front && front->pid == app->pid) || attempt >= maxActivationAttempts) {
        nextTurn();
        return;
    }
    if (attempt == 0) Workspace::shared().activate(*app);
    again();
}

void ClipboardPopupController::pinHighlighted() {
    const int row = model_.highlightedRow();
    if (row >= 0 && row < int(model_.history().size())) togglePinInPlace(model_.history()[size_t(row)]);
}

void ClipboardPopupController::togglePinInPlace(const ClipboardItem& item) {
    if (!panel_ || !panel_->isVisible()) {
        store_.togglePin(item.id);
        return;
    }
    if (model_.pinLimitReachedFor(item.id)) {
        model_.showPinLimitNotice();
        return;
    }
    hidePreview(false);
    model_.togglePinInPlace(item.id);  // the column follows the store's change
    selectRowUnderPointer();
}

// The pinned block holds the store's pins and the list block its unpinned entries, never taller
// than at opening (the panel was measured for that): an entry pinned or removed while the popup is
// open takes its row's room with it. A search keeps the block's height.
void ClipboardPopupController::relayoutColumn() {
    const auto& history = store_.history();
    const double shelf = L::shelfHeight(store_.pinnedCount());
    const double list =
        std::min(openingListHeight_, L::listBlockHeight(std::span(history).subspan(size_t(store_.pinnedCount()))));
    compositeState_.setShelfHeight(shelf);
    compositeState_.setListHeight(list);
    listFrame_.setHeight(std::max(list - L::searchLineHeight, 0.0));
    updateListFramePosition(shelf);
}

// --- Pointer tracking and the preview ---------------------------------------------------------

void ClipboardPopupController::pointerMoved() { preview_->pointerMoved(); }

void ClipboardPopupController::mouseMovedToRow(int row) { preview_->mouseMovedToRow(row); }

void ClipboardPopupController::pointerLeftList() { preview_->pointerLeftList(); }

void ClipboardPopupController::selectRowUnderPointer() { preview_->selectRowUnderPointer(); }

void ClipboardPopupController::schedulePreview(int row) { preview_->schedulePreview(row); }

void ClipboardPopupController::hidePreview(bool animated) { preview_->hidePreview(animated); }

void ClipboardPopupController::showPreview(int row) { preview_->showPreview(row); }

bool ClipboardPopupController::isPreviewPending() const { return preview_->isPreviewPending(); }

bool ClipboardPopupController::isPreviewHidePending() const { return preview_->isPreviewHidePending(); }

int ClipboardPopupController::currentPreviewRow() const { return preview_->currentPreviewRow(); }
