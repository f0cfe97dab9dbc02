// The "What’s New" window offscreen over an updater made from notes in a temp folder: which release
// it shows for each request, one window however often it opens, the sidebar, the detail with its
// banner (picture or landscape), the placeholder, and its sizes.
#include "Platform/Core/Bundle.h"
#include "Source/Features/Onboarding/ChangelogSelection.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesTab.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Updates/ReleaseImageLoader.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"
#include "Views/Onboarding/ChangelogView.h"
#include "Views/Onboarding/PixelBanner.h"
#include "Views/Onboarding/ReleaseBanner.h"
#include "Views/Onboarding/ReleaseDetail.h"
#include "Views/Preferences/GeneralSettingsView.h"
#include "Views/Preferences/PreferencesView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int changelogWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "ChangelogWindow") ++count;
    return count;
}

QString rowText(const QListWidget* list, int row) { return list->item(row)->text(); }

QStringList highlighted(const QListWidget* list) {
    QStringList rows;
    for (const QListWidgetItem* item : list->selectedItems()) rows << item->text();
    return rows;
}

QString detailTitle(const ChangelogView* view) {
    if (!view->detail()) return {};
    const auto* title = view->detail()->findChild<QLabel*>("ReleaseTitle");
    return title ? title->text() : QString();
}

// An updater whose built-in notes are the given JSON array (no cached feed).
struct Notes {
    explicit Notes(const QByteArray& changelog) {
        EXPECT_TRUE(dir.isValid());
        QFile file(dir.filePath("Changelog.json"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(changelog);
        file.close();
        manager = std::make_unique<UpdateManager>(
            UpdateManager::Environment{Bundle::main(), dir.filePath("Changelog.json"), dir.filePath("feed.json")});
    }
    QTemporaryDir dir;
    std::unique_ptr<UpdateManager> manager;
};

const QByteArray twoReleases = R"([
  {"version": "1.1.0", "date": "May 2026", "notes": ["Older note"]},
  {"version": "1.2.0", "date": "June 2026", "notes": ["First note", "Second note, long enough to wrap onto a second line in the narrow column of the detail view when the window is at its smallest size"]}
])";

}  // namespace

TEST(ChangelogSelectionRules, TheSelectedVersionElseTheNewestElseNothing) {
    const Release newest{"1.2.0", "June", {"a"}, std::nullopt};
    const Release older{"1.1.0", "May", {"b"}, std::nullopt};
    const QList<Release> releases = {newest, older};
    EXPECT_EQ(ChangelogSelection::selected(releases, QString("1.1.0")), older);
    EXPECT_EQ(ChangelogSelection::selected(releases, QString("1.2.0")), newest);
    EXPECT_EQ(ChangelogSelection::selected(releases, std::nullopt), newest);
    EXPECT_EQ(ChangelogSelection::selected(releases, QString("9.9")), newest);
    // Exact equality only: no numeric or case folding.
    EXPECT_EQ(ChangelogSelection::selected(releases, QString("1.1")), newest);
    EXPECT_EQ(ChangelogSelection::selected(releases, QString("1.1.00")), newest);
    EXPECT_EQ(ChangelogSelection::selected({}, QString("1.1.0")), std::nullopt);
    EXPECT_EQ(ChangelogSelection::selected({}, std::nullopt), std::nullopt);
}

TEST(ChangelogWindow, OpensOnTheNewestThenMovesTheSelectionWithoutASecondWindow) {
    Notes notes(twoReleases);
    ChangelogWindowController controller(*notes.manager);
    const int before = changelogWindows();
    controller.show();
    QWidget* window = controller.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ChangelogView* view = controller.view();

    // Newest first, "v" and the version; the newest selected and shown.
    ASSERT_EQ(view->sidebar()->count(), 2);
    EXPECT_EQ(rowText(view->sidebar(), 0), "v1.2.0");
    EXPECT_EQ(rowText(view->sidebar(), 1), "v1.1.0");
    EXPECT_EQ(controller.selection().version(), QString("1.2.0"));
    EXPECT_EQ(highlighted(view->sidebar()), QStringList{"v1.2.0"});
    EXPECT_EQ(detailTitle(view), "Quorvin v1.2.0");
    EXPECT_EQ(view->navigationTitle(), "Quorvin v1.2.0");
    EXPECT_EQ(view->navigationSubtitle(), "June 2026");
    EXPECT_TRUE(window->windowTitle().startsWith("Quorvin v1.2.0"));
    EXPECT_TRUE(window->windowTitle().contains("June 2026"));

    // A second request moves the selection and the highlight; still one window.
    ReleaseDetail* first = view->detail();
    controller.show(QString("1.1.0"));
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(changelogWindows(), before + 1);
    EXPECT_EQ(highlighted(view->sidebar()), QStringList{"v1.1.0"});
    EXPECT_EQ(detailTitle(view), "Quorvin v1.1.0");
    EXPECT_NE(view->detail(), first);  // a fresh detail for another release
    EXPECT_EQ(view->detail()->noteTexts(), QStringList{"Older note"});

    // A version nobody has notes for: the newest shows, no row is highlighted.
    controller.show(QString("9.9"));
    EXPECT_EQ(controller.selection().version(), QString("9.9"));
    EXPECT_EQ(detailTitle(view), "Quorvin v1.2.0");
    EXPECT_TRUE(highlighted(view->sidebar()).isEmpty());

    // A click on a row stores its version.
    QListWidget* list = view->sidebar();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(controller.selection().version(), QString("1.1.0"));
    EXPECT_EQ(detailTitle(view), "Quorvin v1.1.0");
    window->close();
}

TEST(ChangelogWindow, ClosingKeepsTheWindowWhereItWasAndTheReopeningRequestChooses) {
    Notes notes(twoReleases);
    ChangelogWindowController controller(*notes.manager);
    controller.show(QString("1.1.0"));
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // It opens at 920 x 660 where the screen has room; the offscreen platform's 800 x 600 screen
    // has not, and gets the window fitted into it.
    const QRect area = window->screen()->availableGeometry();
    if (area.width() >= 960 && area.height() >= 720)
        EXPECT_EQ(window->size(), QSize(920, 660));
    else
        EXPECT_TRUE(area.contains(window->frameGeometry()));
    // Moved and resized by the user, where the screen leaves room for it.
    if (area.width() >= 1100 && area.height() >= 800)
        window->setGeometry(QRect(window->geometry().topLeft() + QPoint(-30, 20), QSize(1000, 700)));
    const QRect placed = window->geometry();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(controller.window(), window);  // kept, not released
    // The selection survives the close...
    EXPECT_EQ(controller.selection().version(), QString("1.1.0"));
    // ...and the reopening request sets it.
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->size(), placed.size());
    // Where the user left it (the offscreen screen may nudge a window that sticks out by a pixel or two).
    EXPECT_LE((window->geometry().topLeft() - placed.topLeft()).manhattanLength(), 4);
    EXPECT_EQ(controller.selection().version(), QString("1.2.0"));
    EXPECT_EQ(detailTitle(controller.view()), "Quorvin v1.2.0");
    window->close();
}

TEST(ChangelogWindow, NeverSmallerThanItsContentAndTheSidebarAtMost230) {
    Notes notes(twoReleases);
    ChangelogWindowController controller(*notes.manager);
    controller.show();
    QWidget* window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // A screen smaller than the minimum (the offscreen platform's) lowers it to what fits.
    const QSize fits = window->screen()->availableGeometry().size();
    EXPECT_EQ(window->minimumSize().width(), std::min(820, window->size().width()));
    EXPECT_EQ(window->minimumSize().height(), std::min(580, window->size().height()));
    EXPECT_TRUE(window->minimumSize().width() <= fits.width() && window->minimumSize().height() <= fits.height());
    window->resize(400, 300);
    EXPECT_EQ(window->size(), window->minimumSize());
    auto* splitter = controller.view()->findChild<QSplitter*>();
    ASSERT_NE(splitter, nullptr);
    splitter->setSizes({600, 220});
    EXPECT_LE(controller.view()->sidebar()->width(), 230);
    EXPECT_GE(controller.view()->sidebar()->width(), 150);
    window->resize(1600, 900);
    QApplication::processEvents();
    EXPECT_LE(controller.view()->sidebar()->width(), 230);

    // On a wide window the text stays in a column of at most 640 at the left, under a full banner.
    ReleaseDetail* detail = controller.view()->detail();
    ASSERT_NE(detail, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(detail->banner()->height(), 240);
    EXPECT_EQ(detail->banner()->width(), detail->viewport()->width());
    QWidget* column = detail->findChild<QWidget*>("ReleaseColumn");
    ASSERT_NE(column, nullptr);
    EXPECT_LE(column->width(), 640);
    EXPECT_EQ(column->x(), 0);
    EXPECT_EQ(detail->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(detail->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    window->close();
}

TEST(ChangelogWindow, WithoutReleaseNotesThePlaceholderShows) {
    Notes notes("[]");
    ChangelogWindowController controller(*notes.manager);
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    ChangelogView* view = controller.view();
    EXPECT_EQ(view->sidebar()->count(), 0);
    EXPECT_EQ(view->detail(), nullptr);
    EXPECT_FALSE(controller.selection().version().has_value());
    ASSERT_TRUE(view->placeholder()->isVisible());
    auto* title = view->placeholder()->findChild<QLabel*>("PlaceholderTitle");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "No release notes yet");
    EXPECT_EQ(controller.window()->windowTitle(), QString::fromUtf8("What’s New"));
    // Asked for a version all the same: still the placeholder.
    controller.show(QString("1.0"));
    EXPECT_TRUE(view->placeholder()->isVisible());
    controller.window()->close();
}

TEST(ChangelogWindow, EmptyNotesShowTitleDateAndDividerOnly) {
    Notes notes(R"([{"version": "2.0", "date": "July 2026", "notes": []}])");
    ChangelogWindowController controller(*notes.manager);
    controller.show();
    ReleaseDetail* detail = controller.view()->detail();
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->findChild<QLabel*>("ReleaseTitle")->text(), "Quorvin v2.0");
    EXPECT_EQ(detail->findChild<QLabel*>("ReleaseDate")->text(), "July 2026");
    EXPECT_TRUE(detail->noteTexts().isEmpty());
    controller.window()->close();
}

TEST(ChangelogWindow, TheBannerIsTheReleasePictureOrItsThemesLandscape) {
    QTemporaryDir dir;
    QImage picture(64, 16, QImage::Format_ARGB32);
    picture.fill(QColor(200, 30, 40));
    ASSERT_TRUE(picture.save(dir.filePath("banner.png")));
    UpdateTestSupport::TestHttpsServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/banner.png", {UpdateTestSupport::readFile(dir.filePath("banner.png"))});
    ReleaseImageLoader::shared().setSslConfiguration(server.clientConfiguration());
    const QString good = server.url("/banner.png").toString();
    const QString bad = server.url("/missing.png").toString();
    Notes notes(QStringLiteral(R"([
      {"version": "1.0", "date": "A", "notes": ["x"], "image": "%1"},
      {"version": "1.1", "date": "B", "notes": ["y"], "image": "%2"},
      {"version": "1.2", "date": "C", "notes": ["z"]}
    ])").arg(good, bad).toUtf8());
    ChangelogWindowController controller(*notes.manager);

    // The picture: loaded, filling the 240-point frame, the landscape hidden.
    controller.show(QString("1.0"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    ReleaseBanner* banner = controller.view()->detail()->banner();
    ASSERT_TRUE(TestSupport::waitFor([&] { return banner->phase() == ReleaseBanner::Phase::loaded; }, 3000));
    EXPECT_FALSE(banner->pixelBanner()->isVisible());
    const QImage shown = banner->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(shown.width() / 2, shown.height() / 2)), QColor(200, 30, 40));
    EXPECT_EQ(QColor(shown.pixel(2, 2)), QColor(200, 30, 40));

    // A picture that fails: the landscape of the release's theme stands in, as without a picture.
    QStringList versions = {"1.0", "1.1", "1.2"};
    controller.show(QString("1.1"));
    banner = controller.view()->detail()->banner();
    ASSERT_TRUE(TestSupport::waitFor([&] { return banner->phase() == ReleaseBanner::Phase::failed; }, 3000));
    EXPECT_TRUE(banner->pixelBanner()->isVisible());
    EXPECT_EQ(banner->pixelBanner()->scene(), PixelScene::Theme::forVersion("1.1", versions));
    EXPECT_EQ(banner->pixelBanner()->scene(), PixelScene::Theme::sequence()[1]);

    controller.show(QString("1.2"));
    banner = controller.view()->detail()->banner();
    EXPECT_EQ(banner->phase(), ReleaseBanner::Phase::none);
    EXPECT_TRUE(banner->pixelBanner()->isVisible());
    EXPECT_EQ(banner->pixelBanner()->scene(), PixelScene::Theme::sequence()[2]);
    EXPECT_TRUE(banner->pixelBanner()->isTicking());
    // Closed: the landscape stops.
    controller.window()->close();
    EXPECT_FALSE(banner->pixelBanner()->isTicking());
}

TEST(ChangelogWindowLive, AFeedThatArrivesWhileOpenAddsItsReleasesAtOnce) {
    using namespace UpdateTestSupport;
    TestHttpsServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/appcast.json",
                 {R"({"latest":{"version":"2.0","build":20,"url":"https://127.0.0.1:1/x.zip","signature":"c2ln","length":10},
"releases":[{"version":"2.0","date":"August 2026","notes":["New"]}]})"});
    QTemporaryDir dir;
    writeFile(dir.filePath("Changelog.json"), R"([{"version":"1.0","date":"Jan","notes":["First"]}])");
    writeBundle(dir.filePath("app/Quorvin.app"), {});
    UserDefaults defaults{QString()};
    UpdateManager::Environment env;
    env.bundle = Bundle::forExecutable(dir.filePath("app/Quorvin.app/bin/quorvin"));
    env.changelogPath = dir.filePath("Changelog.json");
    env.cachePath = dir.filePath("feed.json");
    env.feedURL = server.url("/appcast.json").toString();
    env.defaults = &defaults;
    env.terminate = [] {};
    UpdateManager updates(env);
    updates.setSslConfiguration(server.clientConfiguration());

    ChangelogWindowController controller(updates);
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    ChangelogView* view = controller.view();
    ASSERT_EQ(view->sidebar()->count(), 1);
    EXPECT_EQ(detailTitle(view), "Quorvin v1.0");
    ReleaseDetail* before = view->detail();

    updates.check(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return view->sidebar()->count() == 2; }, 10000));
    EXPECT_EQ(rowText(view->sidebar(), 0), "v2.0");
    EXPECT_EQ(rowText(view->sidebar(), 1), "v1.0");
    // The chosen release stays on screen, as it was, and stays highlighted.
    EXPECT_EQ(view->detail(), before);
    EXPECT_EQ(highlighted(view->sidebar()), QStringList{"v1.0"});
    // The newer one gets the next landscape.
    controller.show();
    EXPECT_EQ(detailTitle(view), "Quorvin v2.0");
    EXPECT_EQ(view->detail()->scene(), PixelScene::Theme::sequence()[1]);
    controller.window()->close();
}

TEST(ChangelogWindowShared, TheGeneralPanesWhatsNewOpensItOnTheNewestRelease) {
    const int before = changelogWindows();
    PreferencesRouter::shared().setSelectedTab(PreferencesTab::general);
    PreferencesWindowController::shared().show();
    auto* pane = qobject_cast<GeneralSettingsView*>(PreferencesWindowController::shared().view()->pane());
    ASSERT_NE(pane, nullptr);
    pane->whatsNewButton()->click();
    ChangelogWindowController& changelog = ChangelogWindowController::shared();
    ASSERT_NE(changelog.window(), nullptr);
    EXPECT_TRUE(changelog.window()->isVisible());
    const QList<Release>& releases = UpdateManager::shared().releases();
    ASSERT_FALSE(releases.isEmpty());  // the notes built into the program
    EXPECT_EQ(changelog.selection().version(), releases.front().version);
    EXPECT_EQ(detailTitle(changelog.view()), "Quorvin v" + releases.front().version);
    // Again: the same window.
    QWidget* window = changelog.window();
    pane->whatsNewButton()->click();
    EXPECT_EQ(changelog.window(), window);
    EXPECT_EQ(changelogWindows(), before + 1);
    window->close();
    PreferencesWindowController::shared().window()->close();
}
