#include "Platform/Ui/AppWindow.h"

#include "Platform/Gui/Screens.h"
#include "Platform/Ui/WindowFit.h"
#include "Platform/X11/FocusHandBack.h"
#include "Platform/X11/KeyboardFocus.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>

namespace AppWindow {

void prepare(QWidget* window, const QString& objectName) {
    window->setObjectName(objectName);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    // Without a window manager there is no title bar to close it with. The desktop's own close keys,
    // and Ctrl+W and Ctrl+F4 wherever its key scheme leaves one out (X11's has no Ctrl+F4).
    auto* close = new QShortcut(window);
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)})
        if (!keys.contains(key)) keys << key;
    close->setKeys(keys);
    QObject::connect(close, &QShortcut::activated, window, &QWidget::close);
    // Nor a window manager to give the keyboard on once it has closed.
    FocusHandBack::install();
    // Where a change of the screens cuts it, it is put back on a screen.
    WindowFit::followScreens(window);
}

void centre(QWidget* window, const QSize& size) {
    QRect area(QPoint(0, 0), size);
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = Screens::workArea(screen);
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area));
}

namespace {

// Gives its content the viewport's size, or what the content needs where that is more: its
// minimum width, and the least height its layout takes at that width (a wrapping text counts all
// its lines), so that its scroll bars show only then.
class WindowScrollArea final : public QScrollArea {
public:
    explicit WindowScrollArea(QWidget* content) {
        setObjectName(QStringLiteral("WindowScrollArea"));
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false);
        const bool filled = content->autoFillBackground();
        setWidget(content);  // turns the content's fill on
        content->setAutoFillBackground(filled);
        content->installEventFilter(this);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        sizeContent();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget() && event->type() == QEvent::LayoutRequest) sizeContent();
        return QScrollArea::eventFilter(watched, event);
    }

private:
    int neededHeight(int width) const {
        const QWidget* content = widget();
        const QLayout* layout = content->layout();
        int height = content->minimumHeight();
        if (layout)
            height = std::max(height, layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                                                  : layout->totalMinimumSize().height());
        return height;
    }

    void sizeContent() {
        QWidget* content = widget();
        if (!content) return;
        const QSize room = maximumViewportSize();
        int width = std::max(room.width(), content->minimumWidth());
        if (const QLayout* layout = content->layout()) width = std::max(width, layout->totalMinimumSize().width());
        int height = room.height();
        if (width > room.width()) height -= horizontalScrollBar()->sizeHint().height();
        if (neededHeight(width) > height && width == room.width()) {
            width = std::max(width - verticalScrollBar()->sizeHint().width(), content->minimumWidth());
            if (const QLayout* layout = content->layout()) width = std::max(width, layout->totalMinimumSize().width());
        }
        const QSize size(width, std::max(height, neededHeight(width)));
        if (size != content->size()) content->resize(size);
    }
};

}  // namespace

QScrollArea* scrollingWhenSmall(QWidget* content) { return new WindowScrollArea(content); }

void layOutAhead(QWidget* window) {
    window->ensurePolished();
    for (QWidget* child : window->findChildren<QWidget*>()) child->ensurePolished();
    for (QLayout* inner : window->findChildren<QLayout*>()) inner->activate();
}

void makeRoomForTitle(QMessageBox* box) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid) return;
    const int titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
    grid->addItem(new QSpacerItem(std::max(260, titleWidth + 140), 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void bringToFront(QWidget* window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    WindowFit::fitToWorkArea(window);
    window->show();
    window->raise();
    KeyboardFocus::activate(window->windowHandle());
}

}  // namespace AppWindow
