#include "Platform/Ui/AppWindow.h"

#include "Platform/Gui/Screens.h"
#include "Platform/Ui/WindowFit.h"
#include "Platform/X11/FocusHandBack.h"
#include "Platform/X11/KeyboardFocus.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
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

QScrollArea* scrollingWhenSmall(QWidget* content) {
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("WindowScrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidgetResizable(true);
    area->viewport()->setAutoFillBackground(false);
    const bool filled = content->autoFillBackground();
    area->setWidget(content);  // turns the content's fill on
    content->setAutoFillBackground(filled);
    return area;
}

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
