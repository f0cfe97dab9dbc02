#include "Source/Features/Toolbox/ToolboxWindowController.h"

#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Ui/AppWindow.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Toolbox/ToolboxView.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace {

QIcon symbolIcon(const QString& symbol, const QPalette& palette) {
    QIcon icon;
    for (double dpr : {1.0, 2.0}) {
        icon.addPixmap(QPixmap::fromImage(Symbols::image(symbol, 16, SystemColors::secondary(palette),
                                                         Symbols::Weight::semibold, dpr)),
                       QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(Symbols::image(symbol, 16, SystemColors::quaternary(palette),
                                                         Symbols::Weight::semibold, dpr)),
                       QIcon::Disabled);
    }
    return icon;
}

}  // namespace

ToolboxWindowController& ToolboxWindowController::shared() {
    static auto* controller = new ToolboxWindowController(UserDefaults::standard());
    return *controller;
}

ToolboxWindowController::ToolboxWindowController(UserDefaults& defaults, std::unique_ptr<ToolboxModel> model,
                                                 QObject* parent)
    : QObject(parent), settings_(defaults), model_(model ? std::move(model) : std::make_unique<ToolboxModel>()) {
    // Quitting with the window open keeps where it was.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (window_ && window_->isVisible()) saveFrame();
        });
    }
}

ToolboxWindowController::~ToolboxWindowController() {
    // The window's content observes the model: it goes first.
    window_.reset();
}

QString ToolboxWindowController::frameString(const QRectF& f) {
    return QString::asprintf("%d %d %d %d", qRound(f.x()), qRound(f.y()), qRound(f.width()), qRound(f.height()));
}

std::optional<QRectF> ToolboxWindowController::parseFrame(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4) return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(v[i])) return std::nullopt;
    }
    if (v[2] <= 0 || v[3] <= 0) return std::nullopt;
    return QRectF(v[0], v[1], v[2], v[3]);
}

QRectF ToolboxWindowController::clampedFrame(const QRectF& frame, const QSizeF& minimum,
                                             const QList<QRectF>& visibleFrames) {
    QRectF f(frame.topLeft(), frame.size().expandedTo(minimum));
    if (visibleFrames.isEmpty()) return f;
    QRectF screen = visibleFrames.front();
    double best = 0;
    for (const QRectF& candidate : visibleFrames) {
        const QRectF overlap = candidate.intersected(f);
        const double area = overlap.isValid() ? overlap.width() * overlap.height() : 0;
        if (area > best) {
            best = area;
            screen = candidate;
        }
    }
    // No larger than the screen, unless the minimum is.
    f.setWidth(std::max(minimum.width(), std::min(f.width(), screen.width())));
    f.setHeight(std::max(minimum.height(), std::min(f.height(), screen.height())));
    // Onto the screen; a window taller than the screen keeps its top edge (its title bar) in view.
    const double x = std::clamp(f.x(), screen.left(), std::max(screen.left(), screen.right() - f.width()));
    const double y = f.height() > screen.height() ? screen.bottom() - f.height()
                                                  : std::clamp(f.y(), screen.top(), screen.bottom() - f.height());
    f.moveTo(x, y);
    return f;
}

void ToolboxWindowController::show() {
    if (!window_) build();
    if (!window_) return;
    model_->setSelection(ToolboxModel::Tool::jsonTree());
    AppWindow::bringToFront(window_.get());
}

void ToolboxWindowController::build() {
    if (window_) return;
    // Titled, closable and resizable; no minimise button.
    auto window = AppWindow::make<QMainWindow>(QStringLiteral("ToolboxWindow"), AppWindow::Frame::resizable);
    window->setWindowTitle(QStringLiteral("Инструменты"));

    view_ = new ToolboxView(*model_);
    // Below its minimum (a small screen) the content scrolls rather than being cut.
    window->setCentralWidget(AppWindow::scrollingWhenSmall(view_));

    // The toolbar: back and forward, then the selected tool's title.
    auto* toolbar = new QToolBar(window.get());
    toolbar->setObjectName(QStringLiteral("ToolboxToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->toggleViewAction()->setVisible(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    view_->backAction()->setIcon(symbolIcon(QStringLiteral("chevron.left"), window->palette()));
    view_->forwardAction()->setIcon(symbolIcon(QStringLiteral("chevron.right"), window->palette()));
    toolbar->addAction(view_->backAction());
    toolbar->addAction(view_->forwardAction());
    title_ = new QLabel(view_->navigationTitle());
    title_->setObjectName(QStringLiteral("navigationTitle"));
    title_->setFont(SystemFont::font(15, QFont::DemiBold));
    title_->setContentsMargins(8, 0, 8, 0);
    toolbar->addWidget(title_);
    window->addToolBar(Qt::TopToolBarArea, toolbar);
    connect(view_, &ToolboxView::navigationTitleChanged, title_, &QLabel::setText);

    // Centred on the primary screen, then where it was last closed.
    // The toolbar sits above the content, inside the window's frame.
    const int toolbarHeight = toolbar->sizeHint().height();
    const QSize minimum(minimumWidth, minimumHeight + toolbarHeight);
    window->setMinimumSize(minimum);
    AppWindow::centre(window.get(), QSize(initialWidth, initialHeight + toolbarHeight));
    if (const std::optional<QRectF> frame = parseFrame(settings_.windowFrame.value())) {
        QList<QRectF> screens;
        if (QScreen* primary = QGuiApplication::primaryScreen()) screens.append(Screens::visibleFrame(primary));
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen != QGuiApplication::primaryScreen()) screens.append(Screens::visibleFrame(screen));
        }
        const QRectF restored = clampedFrame(*frame, QSizeF(minimum), screens);
        window->setGeometry(Screens::toQt(restored).toAlignedRect());
    }
    window->installEventFilter(this);

    // Lay the whole tree out now so that the first frame has nothing left to build.
    AppWindow::layOutAhead(window.get());
    window_ = std::move(window);
}

void ToolboxWindowController::saveFrame() {
    if (!window_) return;
    settings_.windowFrame.set(frameString(Screens::fromQt(QRectF(window_->geometry()))));
}

bool ToolboxWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (window_ && watched == window_.get() && event->type() == QEvent::Close) saveFrame();
    return QObject::eventFilter(watched, event);
}
