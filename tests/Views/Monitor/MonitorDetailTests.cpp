// The process detail: its history, menu, quit and force quit, and the stack sampler; the
// stats dashboard's shared hover.
#include "MonitorTestSupport.h"

#include "FakeWorkspace.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/System/ProcessSignaller.h"
#include "Source/Features/System/StackSampler.h"
#include "Views/Monitor/ChildProcessRowView.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Monitor/HoverableBars.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Monitor/StatsChartCard.h"
#include "Views/Monitor/StatsDashboard.h"
#include "Views/Shared/DetailNavigationBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

struct DetailFixture : ::testing::Test {
    MonitorRig rig;
    FakeProcessSignaller signaller;
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    int backs = 0;

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(true, false);
        ProcessSignaller::setShared(&signaller);
        Pasteboard::setGeneral(&pasteboard);
        Workspace::setShared(&workspace);
        SyntheticProc& proc = rig.proc();
        proc.addApplication("org.example.Browser", "Browser", "browser");
        rig.rebuildEntries();
        proc.add({100, 1, "browser", "/usr/bin/browser", 0, 50000});
        proc.add({101, 100, "browser", "/usr/bin/browser", 0, 20000});
        proc.add({102, 100, "browser", "/usr/bin/browser", 0, 90000});
        proc.add({200, 1, "editor", "", 0, 3000});
        rig.refresh();
        proc.burn(101, 40);
        rig.refresh();
    }
    void TearDown() override {
        ProcessSignaller::setShared(nullptr);
        Pasteboard::setGeneral(nullptr);
        Workspace::setShared(nullptr);
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
    }

    GroupedProcessInfo live(const QString& name) {
        for (const auto& g : rig.monitor().groupedProcesses())
            if (g.name == name) return g;
        ADD_FAILURE() << "no group " << name.toStdString();
        return {};
    }
    std::unique_ptr<ProcessDetailView> make(const QString& name, ProcessDetailView::Part part) {
        return std::make_unique<ProcessDetailView>(live(name), part, [this] { ++backs; }, rig.monitor());
    }
    // Answers the next alert with the button of that title; records its texts.
    void answerAlert(const QString& button, QString* text = nullptr, QString* informative = nullptr) {
        QTimer::singleShot(0, [=] {
            TestSupport::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 3000);
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (text) *text = box->text();
            if (informative) *informative = box->informativeText();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button) b->click();
        });
    }
};

}  // namespace

TEST_F(DetailFixture, QuitAsksFirstAndEndsTheLiveGroup) {
    auto actions = make("Browser", ProcessDetailView::Part::actions);
    actions->resize(336, 48);
    actions->show();
    QList<QPushButton*> buttons = actions->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    QPushButton* quit = buttons[0]->text() == "Quit" ? buttons[0] : buttons[1];
    QPushButton* force = buttons[0]->text() == "Force Quit" ? buttons[0] : buttons[1];

    QString text, informative;
    answerAlert("Cancel", &text, &informative);
    quit->click();
    EXPECT_EQ(text, "Quit Browser?");
    EXPECT_EQ(informative,
              "The process is asked to exit and can save its work first. All 3 processes in this group are affected.");
    EXPECT_TRUE(signaller.sent.empty());
    EXPECT_EQ(backs, 0);

    answerAlert("Quit");
    quit->click();
    // The group's stored order: the monitor lists children by CPU share, highest first.
    std::vector<std::pair<int64_t, int>> expected;
    for (const auto& child : live("Browser").children) expected.emplace_back(child.pid, SIGTERM);
    EXPECT_EQ(signaller.sent, expected);
    EXPECT_EQ(backs, 1);

    signaller.sent.clear();
    answerAlert("Force Quit", &text);
    force->click();
    EXPECT_EQ(text, "Force Quit Browser?");
    ASSERT_EQ(signaller.sent.size(), 3u);
    EXPECT_EQ(signaller.sent[0].second, SIGKILL);
    EXPECT_EQ(backs, 2);
}

TEST_F(DetailFixture, AGroupThatHasEndedIsNotSignalled) {
    auto actions = make("editor", ProcessDetailView::Part::actions);
    rig.proc().remove(200);
    rig.refresh();
    EXPECT_EQ(actions->live(), std::nullopt);
    QString informative;
    answerAlert("Quit", nullptr, &informative);
    actions->presentQuitConfirmation(ProcessDetailView::QuitStyle::normal);
    EXPECT_EQ(informative, "The process is asked to exit and can save its work first.");
    EXPECT_TRUE(signaller.sent.empty());
    EXPECT_EQ(backs, 1);
}

TEST_F(DetailFixture, TheMainPieceSamplesEveryRefreshAndKeeps48) {
    auto main = make("Browser", ProcessDetailView::Part::main);
    main->resize(312, 492);
    main->show();
    ASSERT_EQ(main->cpuHistory().size(), 1u);  // on appearance
    rig.proc().burn(100, 100);
    rig.refresh();
    ASSERT_EQ(main->cpuHistory().size(), 2u);
    EXPECT_EQ(main->memoryHistory().size(), 2u);
    EXPECT_EQ(main->sampleDates().size(), 2u);
    EXPECT_DOUBLE_EQ(main->cpuHistory().back(), live("Browser").totalCPU);
    EXPECT_EQ(main->chart()->model().series, main->cpuHistory());
    EXPECT_EQ(main->chart()->model().kind, MetricChartKind::percent);
    // Another group's refresh adds nothing of its own: only the group's own entry counts.
    const GroupedProcessInfo g = live("Browser");
    for (int i = 0; i < 50; ++i) main->appendSample(g, QDateTime::fromSecsSinceEpoch(1000 + i));
    EXPECT_EQ(main->cpuHistory().size(), 48u);
    EXPECT_EQ(main->sampleDates().front(), QDateTime::fromSecsSinceEpoch(1002));
    // Switching the metric replaces the chart and keeps the samples.
    MetricChartCard* before = main->chart();
    main->setMetric(ProcessDetailView::DetailMetric::memory);
    EXPECT_NE(main->chart(), before);
    EXPECT_EQ(main->chart()->model().kind, MetricChartKind::bytes);
    EXPECT_EQ(main->chart()->model().series, main->memoryHistory());
    EXPECT_EQ(main->chart()->localPinnedSample(), std::nullopt);
    // A group that has gone takes no samples; the page keeps its figures.
    rig.proc().remove(100);
    rig.proc().remove(101);
    rig.proc().remove(102);
    rig.refresh();
    EXPECT_EQ(main->cpuHistory().size(), 48u);
    EXPECT_EQ(main->current().name, "Browser");
}

TEST_F(DetailFixture, MenuEntriesCopyRevealAndAreDisabledWithoutATarget) {
    auto nav = make("Browser", ProcessDetailView::Part::navigation);
    nav->updateMenu();
    QMenu* menu = nav->moreMenu();
    ASSERT_NE(menu, nullptr);
    QStringList titles;
    for (QAction* a : menu->actions()) titles << (a->isSeparator() ? QStringLiteral("—") : a->text());
    EXPECT_EQ(titles.mid(0, 4), QStringList({"Copy PID", "Copy Name", "Reveal in Finder", "—"}));
    EXPECT_TRUE(titles[4].startsWith("Sample for 3s…"));
    nav->copyPID();
    EXPECT_EQ(pasteboard.string(), "102");  // the child with the most memory
    nav->copyName();
    EXPECT_EQ(pasteboard.string(), "Browser");
    nav->revealInFileManager();
    ASSERT_EQ(workspace.revealed.size(), 1);
    EXPECT_TRUE(workspace.revealed[0].endsWith("org.example.Browser.desktop"));
    EXPECT_TRUE(menu->actions()[2]->isEnabled());

    auto plain = make("editor", ProcessDetailView::Part::navigation);
    plain->updateMenu();
    EXPECT_FALSE(plain->moreMenu()->actions()[2]->isEnabled());  // no desktop entry to reveal
    EXPECT_EQ(plain->moreMenu()->actions()[4]->isEnabled(), StackSampler::isAvailable());
    EXPECT_EQ(plain->moreMenu()->actions()[4]->text(), ProcessDetailView::sampleMenuTitle(StackSampler::isAvailable()));
}

TEST(StackSamplerLive, SamplesARealProcessIntoAPrivateFolder) {
    const QString folder = StackSampler::reportFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.startsWith(TestSupport::tempRoot()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A folder someone opened up is made private again.
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(StackSampler::reportFolder(), folder);
    ::stat(QFile::encodeName(folder).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const QString missing = folder + "/missing.txt";
    EXPECT_FALSE(StackSampler::sample(1234, "x", 0.2, missing, QString()));
    EXPECT_FALSE(QFile::exists(missing));

    if (!StackSampler::isAvailable()) GTEST_SKIP() << "eu-stack is not installed";
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    const QString path = folder + "/" + StackSampler::fileName("sleep/er", QDateTime::currentDateTime());
    const qint64 pid = sleeper.processId();
    const bool ok = StackSampler::sample(pid, "sleep", 1.0, path);
    sleeper.kill();
    sleeper.waitForFinished();
    if (!ok) GTEST_SKIP() << "this machine does not let us read another process's stacks";
    QFile report(path);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.contains("Thread " + QString::number(pid) + ":")) << text.toStdString();
    EXPECT_TRUE(text.contains("nanosleep")) << text.toStdString();
    EXPECT_TRUE(text.contains("sleep")) << text.toStdString();
}

TEST(ProcessSignallerLive, TerminatesAChildAndRefusesInit) {
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    SystemProcessSignaller system;
    EXPECT_FALSE(system.send(1, 0));
    EXPECT_FALSE(system.send(getpid(), 0));
    EXPECT_TRUE(system.send(sleeper.processId(), SIGTERM));
    ASSERT_TRUE(sleeper.waitForFinished(3000));
    EXPECT_EQ(sleeper.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(system.send(sleeper.processId() + 100000, SIGTERM));  // no such process
}

TEST(StatsDashboardView, OneHoverShowsTheSameSlotInEveryReadout) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    StatsDashboard::Snapshot s;
    s.cpuHistory = std::vector<double>(10, 30);
    s.cpuSystemHistory = std::vector<double>(10, 10);
    s.cores = {{0, CoreKind::performance, 1, 50}, {1, CoreKind::performance, 2, 60}};
    s.coreHistory[0] = std::vector<double>(48, 40);
    s.coreHistory[0][47] = 77;
    s.gpuHistory = std::vector<double>(48, 5);
    s.fans = {SMC::Fan{1500, 0}};
    s.fanHistory = {std::vector<double>(48, 1400)};
    StatsDashboard dashboard(s);
    dashboard.resize(312, 572);
    dashboard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dashboard));
    EXPECT_EQ(dashboard.card("Temperature"), nullptr);  // no sensor history
    ASSERT_NE(dashboard.card("Speed"), nullptr);         // one fan
    EXPECT_DOUBLE_EQ(dashboard.card("Speed")->bars()->scale().value(), 6000);  // its maximum reads 0
    StatsChartCard* p1 = dashboard.card("P1");
    StatsChartCard* gpu = dashboard.card("GPU usage");
    ASSERT_TRUE(p1 && gpu);
    EXPECT_EQ(p1->readoutText(), "50 %");

    // Over the newest bar of P1: every readout shows slot 47.
    HoverableBars* bars = p1->bars();
    const QPoint at = bars->mapTo(&dashboard, QPoint(bars->width() - 1, bars->height() / 2));
    QTest::mouseMove(dashboard.windowHandle(), at);
    QCoreApplication::processEvents();
    EXPECT_EQ(dashboard.hovered(), 47);
    EXPECT_EQ(p1->readoutText(), "77 %");
    EXPECT_EQ(gpu->readoutText(), "5 %");
    EXPECT_EQ(dashboard.card("Usage")->readoutText(), "Sys: 10 %  |  Usr: 20 %");
    // Over the CPU chart's empty slots: no hover.
    HoverableBars* cpuBars = dashboard.card("Usage")->bars();
    QTest::mouseMove(dashboard.windowHandle(), cpuBars->mapTo(&dashboard, QPoint(2, cpuBars->height() / 2)));
    QCoreApplication::processEvents();
    EXPECT_EQ(dashboard.hovered(), std::nullopt);
    EXPECT_EQ(p1->readoutText(), "50 %");
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}

TEST_F(DetailFixture, TheHierarchySlidesToItsNewLengthWhenProcessesComeAndGo) {
    AccessibilityDisplayOptions::shared().setOverride(false, false);
    auto main = make("Browser", ProcessDetailView::Part::main);
    main->resize(312, 492);
    main->show();
    QScrollArea* scroll = main->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    QWidget* rows = scroll->widget();
    EXPECT_EQ(rows->height(), 3 * 34);  // shown at once on appearance

    // Every height the list takes on the way.
    std::vector<int> heights;
    struct Recorder : QObject {
        std::vector<int>* out;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Resize) out->push_back(static_cast<QWidget*>(o)->height());
            return false;
        }
    } recorder;
    recorder.out = &heights;
    rows->installEventFilter(&recorder);
    rig.proc().add({103, 100, "browser", "/usr/bin/browser", 0, 10000});
    rig.refresh();
    EXPECT_TRUE(TestSupport::waitFor([&] { return rows->height() == 4 * 34; }, 2000));
    rows->removeEventFilter(&recorder);
    // It slid there rather than jumping.
    EXPECT_TRUE(std::any_of(heights.begin(), heights.end(), [](int h) { return h > 3 * 34 && h < 4 * 34; }));

    // Under Reduce Motion the move is a short ease, and it still ends at the new length.
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    rig.proc().remove(103);
    rig.proc().remove(102);
    rig.refresh();
    EXPECT_TRUE(TestSupport::waitFor([&] { return rows->height() == 2 * 34; }, 2000));
}

TEST_F(DetailFixture, ASampleNoFileManagerCanShowLeavesANoteWithItsPath) {
    auto nav = make("Browser", ProcessDetailView::Part::navigation);
    const QString path = TestSupport::tempRoot() + "/Browser sample.txt";

    nav->finishSample(path, true);  // a file manager shows it: nothing else to say
    EXPECT_EQ(workspace.revealed, QStringList{path});
    EXPECT_EQ(nav->sampleNotice(), nullptr);

    workspace.revealShows = false;
    nav->finishSample(path, true);
    QMessageBox* note = nav->sampleNotice();
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->informativeText(), path);
    QAbstractButton* copy = nullptr;
    for (QAbstractButton* b : note->buttons())
        if (b->text() == "Copy Path") copy = b;
    ASSERT_NE(copy, nullptr);
    copy->click();
    EXPECT_EQ(pasteboard.string(), path);
    EXPECT_TRUE(note->isVisible());  // copying leaves the note open
    note->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(nav->sampleNotice(), nullptr);  // a closed note is gone, not kept hidden

    // A sample that could not be taken says so instead of doing nothing.
    const int reveals = int(workspace.revealed.size());
    nav->finishSample(path, false);
    ASSERT_NE(nav->sampleNotice(), nullptr);
    EXPECT_EQ(nav->sampleNotice()->icon(), QMessageBox::Warning);
    EXPECT_EQ(int(workspace.revealed.size()), reveals);
    nav->sampleNotice()->close();
}

// A program may put a line break in its name: rows and titles still show it on one line, as the
// same name with a space would be.
TEST_F(DetailFixture, ANameWithALineBreakStaysOnOneLine) {
    rig.proc().add({300, 1, "two\nlines", "", 0, 1000});
    rig.refresh();
    rig.refresh();
    std::optional<GroupedProcessInfo> odd;
    for (const auto& g : rig.monitor().groupedProcesses())
        for (const auto& child : g.children)
            if (child.pid == 300) odd = g;
    ASSERT_TRUE(odd.has_value());
    ASSERT_TRUE(odd->name.contains('\n'));
    GroupedProcessInfo plain = *odd;
    plain.name.replace('\n', ' ');
    for (auto& child : plain.children) child.processName.replace('\n', ' ');

    auto groupRow = [](const GroupedProcessInfo& g) {
        GroupedProcessRowView row(g, MonitorTab::cpu, false, {}, {}, {});
        row.resize(320, GroupedProcessRowView::rowHeight);
        return row.grab().toImage();
    };
    EXPECT_EQ(groupRow(*odd), groupRow(plain));
    auto childRow = [](const AppProcessInfo& p) {
        ChildProcessRowView row(p, MonitorTab::cpu, {});
        row.resize(320, ChildProcessRowView::rowHeight);
        return row.grab().toImage();
    };
    EXPECT_EQ(childRow(odd->children.front()), childRow(plain.children.front()));

    for (auto part : {ProcessDetailView::Part::navigation, ProcessDetailView::Part::main}) {
        ProcessDetailView detail(
            *odd, part, [] {}, rig.monitor());
        detail.resize(336, 500);
        for (const QLabel* label : detail.findChildren<QLabel*>()) EXPECT_FALSE(label->text().contains('\n'));
        for (const DetailNavigationBar* bar : detail.findChildren<DetailNavigationBar*>())
            EXPECT_EQ(bar->title(), "two lines");
    }
    ProcessDetailView actions(*odd, ProcessDetailView::Part::actions, [] {}, rig.monitor());
    actions.resize(336, 48);
    actions.show();
    int asked = 0;
    for (QPushButton* button : actions.findChildren<QPushButton*>()) {
        if (button->text() != "Quit") continue;
        ++asked;
        QString text;
        answerAlert("Cancel", &text);
        button->click();
        EXPECT_EQ(text, "Quit two lines?");
    }
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(signaller.sent.empty());
}

// "Reveal in Finder" where no file manager answers: a note with the path and a way to copy it,
// not a click that changes nothing on screen.
TEST_F(DetailFixture, ARevealNoFileManagerAnswersLeavesANoteWithThePath) {
    auto nav = make("Browser", ProcessDetailView::Part::navigation);
    const std::optional<QString> bundle = live("Browser").bundlePath;
    ASSERT_TRUE(bundle && !bundle->isEmpty());
    const auto noteShowing = [&] { return TestSupport::noteShowing(*bundle); };
    nav->revealInFileManager();
    EXPECT_EQ(workspace.revealed, QStringList{*bundle});
    EXPECT_EQ(noteShowing(), nullptr);

    workspace.revealShows = false;
    nav->revealInFileManager();
    QMessageBox* note = noteShowing();
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), "No file manager could show it. This is where it is:");
    for (QAbstractButton* b : note->buttons())
        if (b->text() == "Copy Path") b->click();
    EXPECT_EQ(pasteboard.string(), *bundle);
    note->close();
}
