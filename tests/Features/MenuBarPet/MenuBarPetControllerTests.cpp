#include "PetTestSupport.h"

#include "Platform/Ui/StatusBar.h"
#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "TestSupport.h"
#include "Views/Pet/PetWindow.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Animation = PetSprite::Animation;

struct ControllerRig : PetRig {
    int settingsOpened = 0;
    std::unique_ptr<MenuBarPetController> controller;
    // Our windows on the band, asked whenever the pet plans its walk.
    std::function<std::vector<QRect>()> barWindows = [] { return std::vector<QRect>{}; };
    ControllerRig() {
        pet.reset();
        controller = std::make_unique<MenuBarPetController>(
            MenuBarPet::Environment{clock, random, displays, front, settings, [this] { return cpu; }, false,
                                    [this] { return barWindows(); }},
            [this] { ++settingsOpened; });
    }
    MenuBarPet& p() { return controller->pet(); }
    void tick(double seconds = MenuBarPet::tickInterval) {
        clock.advance(seconds);
        p().tick();
        QApplication::processEvents();
    }
    // Sends a mouse event at a point of the band (x from its left, y in the middle).
    void mouse(QEvent::Type type, double bandX, Qt::MouseButton button, Qt::MouseButtons held) {
        PetWindow* w = controller->window();
        const QPointF global(p().band().left() + bandX, p().band().top() + 12);
        QMouseEvent event(type, w->mapFromGlobal(global), global, button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
};

}  // namespace

TEST(MenuBarPetController, TheWindowFollowsTheSettingAndThePet) {
    ControllerRig rig;
    EXPECT_EQ(rig.controller->window(), nullptr);
    rig.settings.enabled.set(false);
    rig.controller->applySetting();
    EXPECT_EQ(rig.controller->window(), nullptr);
    rig.settings.enabled.set(true);  // the pane's write alone starts the pet
    ASSERT_TRUE(rig.p().isRunning());
    PetWindow* w = rig.controller->window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(flags & Qt::X11BypassWindowManagerHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));

    rig.p().setX(600.4);
    rig.p().setAnimation(Animation::sit, 100);
    rig.tick();
    EXPECT_EQ(w->geometry(), QRect(600 - PetWindow::margin, 0, 44, 24));

    // Another species from the pane: the pet reappears as it.
    rig.settings.species.set("penguin");
    EXPECT_EQ(rig.p().species().id, QStringLiteral("penguin"));
    EXPECT_EQ(rig.p().animation(), Animation::appear);
    // The wander switch alone changes nothing.
    rig.settings.wanders.set(false);
    EXPECT_EQ(rig.p().animation(), Animation::appear);
    rig.settings.enabled.set(false);
    EXPECT_FALSE(rig.p().isRunning());
    EXPECT_FALSE(w->isVisible());
    rig.settings.enabled.set(true);
    EXPECT_EQ(rig.controller->window(), w);
    EXPECT_TRUE(w->isVisible());
}

TEST(MenuBarPetController, RepaintsOnlyWhenThePictureChanges) {
    ControllerRig rig;
    rig.controller->applySetting();
    PetWindow* w = rig.controller->window();
    rig.p().setX(600);
    rig.p().setAnimation(Animation::sleep, 100);
    rig.tick();
    QApplication::processEvents();
    const int paints = w->paintCount();
    const QRect where = w->geometry();
    // 2 s of sleep: a frame every 4 ticks, never a move.
    for (int i = 0; i < 40; ++i) rig.tick();
    EXPECT_LE(w->paintCount() - paints, 10);
    EXPECT_GE(w->paintCount() - paints, 9);
    EXPECT_EQ(w->geometry(), where);
    // Walking moves the window every tick but repaints only for new frames (8 a second).
    rig.p().setAnimation(Animation::walk, 100);
    rig.p().setDirection(1);
    const int walkPaints = w->paintCount();
    for (int i = 0; i < 20; ++i) rig.tick();
    EXPECT_LE(w->paintCount() - walkPaints, 8);
    EXPECT_EQ(w->geometry().left() - where.left(), 22);
    EXPECT_EQ(w->width(), PetWindow::windowWidth);  // never the band's width
}

TEST(MenuBarPetController, PointerEventsReachThePet) {
    ControllerRig rig;
    rig.controller->applySetting();
    rig.p().setX(600);
    rig.p().setAnimation(Animation::walk, 100);
    rig.tick();
    // A click shows affection.
    rig.mouse(QEvent::MouseButtonPress, 610, Qt::LeftButton, Qt::LeftButton);
    rig.mouse(QEvent::MouseButtonRelease, 610, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(rig.p().animation(), Animation::love);
    // The second release of a double click jumps.
    rig.mouse(QEvent::MouseButtonDblClick, 610, Qt::LeftButton, Qt::LeftButton);
    rig.mouse(QEvent::MouseButtonRelease, 610, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(rig.p().animation(), Animation::jump);
    // A drag carries the pet and the window along at once.
    const double x0 = rig.p().x();
    rig.mouse(QEvent::MouseButtonPress, 610, Qt::LeftButton, Qt::LeftButton);
    rig.mouse(QEvent::MouseMove, 640, Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(rig.p().isDragging());
    EXPECT_DOUBLE_EQ(rig.p().x(), x0 + 30);
    EXPECT_EQ(rig.controller->window()->x(), MenuBarPet::roundPoint(x0 + 30) - PetWindow::margin);
    rig.mouse(QEvent::MouseButtonRelease, 640, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(rig.p().animation(), Animation::sit);
    EXPECT_FALSE(rig.p().isDragging());
}

TEST(MenuBarPetController, TheContextMenu) {
    ControllerRig rig;
    rig.controller->applySetting();
    rig.p().setAnimation(Animation::walk, 100);
    std::unique_ptr<QMenu> menu(rig.controller->makeMenu());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 7);
    QStringList titles;
    for (QAction* a : actions) titles << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(titles, (QStringList{"Pet", "Feed", "Play", "Jump!", "Nap", "-", "Companion Settings…"}));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(actions[i]->icon().isNull()) << i;
    EXPECT_TRUE(actions[6]->icon().isNull());
    actions[1]->trigger();
    EXPECT_EQ(rig.p().animation(), Animation::eat);
    EXPECT_EQ(rig.p().stateTimeLeft(), 5);
    actions[6]->trigger();
    EXPECT_EQ(rig.settingsOpened, 1);
    EXPECT_EQ(rig.p().animation(), Animation::eat);
    // The settings item works with the pet gone too.
    rig.settings.enabled.set(false);
    actions[6]->trigger();
    EXPECT_EQ(rig.settingsOpened, 2);

    // A right click on the pet opens a fresh menu, and the walking pet stays under it until it closes.
    rig.settings.enabled.set(true);
    rig.p().setX(600);
    rig.p().setAnimation(Animation::walk, 100);
    rig.mouse(QEvent::MouseButtonPress, rig.p().x() + 10, Qt::RightButton, Qt::RightButton);
    ASSERT_NE(rig.controller->openMenu(), nullptr);
    EXPECT_TRUE(rig.controller->openMenu()->isVisible());
    for (int i = 0; i < 40; ++i) rig.tick();
    EXPECT_DOUBLE_EQ(rig.p().x(), 600);
    rig.controller->openMenu()->close();
    rig.p().setAnimation(Animation::walk, 100);
    rig.tick();
    EXPECT_NE(rig.p().x(), 600);
}

// Our bar strip grows under the pet: the pet moves into the room left as soon as the strip has its
// new size, not at its next choice.
TEST(MenuBarPetController, ThePetMakesWayForOurGrowingStrip) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    StatusBar bar(StatusBar::Kind::strip);
    QImage icon(18, 18, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::red);
    bar.addItem()->setImage(icon);
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(TestSupport::waitFor([&] { return strip->isVisible(); }));

    ControllerRig rig;
    rig.displays.list = {FakeDisplays::screen("A", screen.x(), screen.width(), screen.height())};
    rig.barWindows = [strip] { return std::vector<QRect>{strip->frameGeometry()}; };
    rig.controller->followBar(bar);
    rig.controller->applySetting();
    const double hi = rig.p().segments().back().hi;
    rig.p().setX(hi - 10);
    rig.p().setAnimation(Animation::sit, 100);
    ASSERT_GE(strip->x() - screen.x(), hi - 10 + MenuBarPet::petWidth) << "the strip covers the pet already";

    // A wide item: the strip now reaches to the middle of the screen.
    QImage wide(screen.width() / 2 - 40, 16, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::blue);
    bar.addItem()->setImage(wide);
    ASSERT_TRUE(TestSupport::waitFor([&] { return strip->x() - screen.x() < hi - 10; }));
    const double stripLeft = strip->x() - screen.x();
    EXPECT_LE(rig.p().x() + MenuBarPet::petWidth, stripLeft) << rig.p().x();
}

TEST(MenuBarPetController, WithoutACompositorTheShapeIsThePicture) {
    ControllerRig rig;
    rig.controller->applySetting();
    PetWindow* w = rig.controller->window();
    rig.p().setX(600);
    rig.p().setDirection(1);
    rig.p().setAnimation(Animation::sit, 100);
    rig.tick();
    w->setComposited(false);
    const QImage frame = rig.p().look().frame;
    const int top = rig.p().look().petTop;
    ASSERT_FALSE(frame.isNull());
    int inside = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const bool opaque = qAlpha(frame.pixel(x, y)) > 0;
            EXPECT_EQ(w->shape().contains(QPoint(PetWindow::margin + x, top + y)), opaque) << x << "," << y;
            inside += opaque;
        }
    EXPECT_GT(inside, 50);
    // The heart joins the shape while it shows, on the side the pet faces away from.
    rig.p().setPointerProbe({});  // hover as if the pointer rested on the pet
    rig.p().setPointerOverPet(true);
    rig.tick();
    rig.tick(0.5);
    EXPECT_TRUE(w->shape().contains(QPoint(PetWindow::margin + 34, top + 4)));
    rig.p().setDirection(-1);
    rig.tick();
    EXPECT_TRUE(w->shape().contains(QPoint(PetWindow::margin - 2, top + 4)));
    EXPECT_FALSE(w->shape().contains(QPoint(PetWindow::margin + 34, top + 4)));
    w->setComposited(true);
    EXPECT_TRUE(w->shape().isEmpty());
}

TEST(MenuBarPetController, TheWindowShowsTheFrameAndNothingElse) {
    ControllerRig rig;
    rig.controller->applySetting();
    PetWindow* w = rig.controller->window();
    rig.p().setPointerProbe({});
    rig.p().setX(600);
    // A strip of pictures on a light and a dark band: walking both ways, asleep, hearted, dangling.
    struct Shot {
        Animation animation;
        double direction;
        bool hover;
    };
    const Shot shots[] = {{Animation::walk, 1, false}, {Animation::walk, -1, false}, {Animation::sleep, 1, false},
                          {Animation::sit, 1, true}, {Animation::sit, -1, true}, {Animation::dangle, 1, false}};
    for (const char* band : {"light", "dark"}) {
        const QColor background = QString(band) == "light" ? QColor(0xEC, 0xEC, 0xEC) : QColor(0x1E, 0x1E, 0x1E);
        QImage strip(int(std::size(shots)) * PetWindow::windowWidth * 4, 24 * 4, QImage::Format_ARGB32_Premultiplied);
        strip.fill(background);
        QPainter painter(&strip);
        int i = 0;
        for (const Shot& shot : shots) {
            rig.p().setAnimation(shot.animation, 100);
            rig.p().setDirection(shot.direction);
            rig.p().setPointerOverPet(shot.hover);
            rig.tick();
            rig.tick(0.6);
            const QImage picture = w->grab().toImage();
            const MenuBarPet::Look look = rig.p().look();
            // Only the sprite (and the heart) is drawn: the rest stays clear.
            int drawn = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    if (qAlpha(picture.pixel(x, y)) == 0) continue;
                    ++drawn;
                    const int sx = look.flipped ? PetWindow::margin + 31 - x : x - PetWindow::margin;
                    const int sy = y - look.petTop;
                    const bool inSprite = sx >= 0 && sx < 32 && sy >= 0 && sy < 20 && qAlpha(look.frame.pixel(sx, sy)) > 0;
                    const bool inHeart = shot.hover && sy < 8 && (look.flipped ? x < PetWindow::margin + 2
                                                                               : x >= PetWindow::margin + 30);
                    EXPECT_TRUE(inSprite || inHeart) << i << ": " << x << "," << y;
                }
            EXPECT_GT(drawn, 60) << i;
            painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
            painter.drawImage(QRect(i * PetWindow::windowWidth * 4, 0, PetWindow::windowWidth * 4, 24 * 4), picture);
            ++i;
        }
        painter.end();
        ASSERT_TRUE(strip.save(QDir(QUORVIN_TEST_OUTPUT).filePath(QStringLiteral("PetWindow-%1.png").arg(band))));
    }
}
