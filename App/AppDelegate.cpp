#include "App/AppDelegate.h"

#include "Platform/NotificationCenter.h"
#include "Platform/StatusBar.h"
#include "Platform/Symbols.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>

AppDelegate& AppDelegate::shared() {
    static auto* delegate = new AppDelegate;
    return *delegate;
}

void AppDelegate::applicationDidFinishLaunching() {
    statusItem_ = StatusBar::system().addItem();
    statusItem_->setToolTip(QStringLiteral("Quorvin"));
    updateStatusIcon();
    connect(statusItem_, &StatusItem::clicked, this, &AppDelegate::statusItemClicked);
    NotificationCenter::defaultCenter().observe(Notification::statusIconDidChange, this,
                                                [this](const QVariant&) { updateStatusIcon(); });
}

void AppDelegate::updateStatusIcon() {
    if (!statusItem_) return;
    const double dpr = qApp->devicePixelRatio();
    const QColor ink = StatusBar::system().kind() == StatusBar::Kind::strip ? QColor(Qt::white)
                                                                             : qApp->palette().color(QPalette::WindowText);
    statusItem_->setImage(Symbols::image(QStringLiteral("gauge.medium"), 16, ink, Symbols::Weight::medium, dpr));
}

void AppDelegate::statusItemClicked(const QRect& rect, Qt::MouseButton button) {
    if (button != Qt::RightButton) return;
    if (!contextMenu_) {
        contextMenu_ = new QMenu;
        contextMenu_->addAction(QStringLiteral("Quit Quorvin"), qApp, &QCoreApplication::quit);
    }
    contextMenu_->popup(rect.bottomLeft());
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
}
