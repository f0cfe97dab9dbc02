// Readable in every palette: the captions in the secondary and tertiary styles and the coloured
// texts that sit on surfaces of nearly their own lightness, measured in pictures of the views in
// the light palette and in a dark one that leaves the placeholder role at Qt's default, as dark
// desktop themes do. The pictures go to QUORVIN_TEST_OUTPUT/contrast-*.png.
#include "DiskPaneTestSupport.h"
#include "FakeInputAccess.h"
#include "FakeWorkspace.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/MonitorPopupModel.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "TestSupport.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ClipboardPreviewRootView.h"
#include "Views/DiskPane/DiskScanContent.h"
#include "Views/Monitor/ChartWell.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessSearchRow.h"
#include "Views/Onboarding/WelcomeView.h"
#include "Views/Preferences/HelpSettingsView.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/JSONRow.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/JSONTreeRows.h"
#include "Views/Toolbox/PasswordPane.h"
#include "Views/Toolbox/PlaceholderField.h"
#include "Views/Toolbox/SymbolLabel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollArea>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kScale = 3;  // device pixels per point: text strokes get pixels of their whole colour

// The widget as the screen shows it, on its window's background.
QImage shot(QWidget& w) {
    w.ensurePolished();
    QImage image(w.size() * kScale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(SystemColors::windowBackground(w.palette()));
    QPainter p(&image);
    w.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The contrast of the text drawn in `area` (points) against what is behind it there: the commonest
// colour is the background, the text's own colour its pixel that stands out most. `counts`, when
// given, picks the text's pixels (by hue, where another text shares the area).
struct Reading {
    double ratio = 0;
    QColor ink, behind;
};
Reading measure(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& counts = {}) {
    const QRect pixels = QRect(area.topLeft() * kScale, area.size() * kScale) & image.rect();
    QHash<QRgb, int> seen;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x) ++seen[image.pixel(x, y)];
    Reading r;
    int most = 0;
    for (auto it = seen.begin(); it != seen.end(); ++it)
        if (it.value() > most) most = it.value(), r.behind = QColor::fromRgb(it.key());
    for (auto it = seen.begin(); it != seen.end(); ++it) {
        const QColor c = QColor::fromRgb(it.key());
        if (counts && !counts(c)) continue;
        const double ratio = SystemColors::contrast(c, r.behind);
        if (ratio > r.ratio) r.ratio = ratio, r.ink = c;
    }
    return r;
}

QRect areaIn(const QWidget* w, const QWidget* top) { return QRect(w->mapTo(top, QPoint(0, 0)), w->size()); }

std::function<bool(const QColor&)> hueNear(const QColor& hue) {
    return
        [h = hue.hslHueF()](const QColor& c) { return c.hslSaturationF() > 0.25 && std::abs(c.hslHueF() - h) < 0.04; };
}

QLabel* labelWith(QWidget& root, const QString& text) {
    for (QLabel* l : root.findChildren<QLabel*>())
        if (l->text() == text) return l;
    ADD_FAILURE() << "no label " << text.toStdString();
    return nullptr;
}

struct ContrastGallery : ::testing::TestWithParam<bool> {
    QPalette light = QApplication::palette();
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(true, false);
        if (dark()) QApplication::setPalette(TestSupport::darkPalette());
    }
    void TearDown() override {
        QApplication::setPalette(light);
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
    }
    bool dark() const { return GetParam(); }
    QString look() const { return dark() ? QStringLiteral("dark") : QStringLiteral("light"); }
    void save(const QImage& image, const QString& name) {
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/contrast-") + name + "-" + look() + ".png"));
    }
    void expectAtLeast(const Reading& r, double ratio, const char* what) {
        EXPECT_GE(r.ratio, ratio) << what << " in " << look().toStdString() << ": " << r.ink.name().toStdString()
                                  << " on " << r.behind.name().toStdString();
    }
};

// Captions in the secondary style reach 4.5:1 where they are drawn: row explanations, the contact
// values, the search placeholder; the dark palette once measured 1.1-1.2:1 here.
TEST_P(ContrastGallery, SecondaryCaptionsInSettingsAndTheSearchField) {
    FakeWorkspace workspace;
    QWidget page;
    auto* column = new QVBoxLayout(&page);
    auto* help = new HelpSettingsView(workspace);
    column->addWidget(help);
    auto* search = new QLineEdit;
    search->setPlaceholderText(QStringLiteral("Поиск"));
    column->addWidget(search);
    page.resize(560, 520);
    page.show();
    ASSERT_TRUE(TestSupport::waitForAnimations(&page));
    const QImage image = shot(page);
    save(image, "settings-help");

    for (const QString& text :
         {QStringLiteral("We’d love to hear from you — questions, ideas, or something that broke."),
          QStringLiteral("Version, system version and computer model — paste it into any report.")}) {
        QLabel* label = labelWith(*help, text);
        ASSERT_NE(label, nullptr);
        expectAtLeast(measure(image, areaIn(label, &page)), 4.5, qPrintable(text));
    }
    for (QLabel* value : help->findChildren<QLabel*>(QStringLiteral("value")))
        expectAtLeast(measure(image, areaIn(value, &page)), 4.5, qPrintable(value->text()));
    expectAtLeast(measure(image, areaIn(search, &page).adjusted(5, 5, -5, -5)), 4.5, "search placeholder");
}

// An empty field's hint reads (3:1) and is clearly dimmer than the same words typed into it, in the
// code editor (whose hint was once as black as its text in the light palette) and in line fields.
TEST_P(ContrastGallery, HintsAreDimmerThanTypedText) {
    QTemporaryDir proc;
    ProcessMonitor monitor(proc.path(), nullptr);
    MetricArchive archive;
    MonitorPopupModel popup(MonitorTab::cpu, monitor, archive, 16.0 * 1024 * 1024 * 1024);
    struct Editor {
        const char* name;
        QWidget* widget;
        QWidget* textArea;
        QString hint;
        std::function<void(const QString&)> type;
    };
    auto* json = new CodeTextView(true, QStringLiteral("Вставьте JSON"));
    auto* replacement = new PlaceholderField;
    auto* search = new ProcessSearchRow(popup);
    auto* plain = new QLineEdit;
    plain->setPlaceholderText(QStringLiteral("Поиск"));
    const std::vector<Editor> editors{
        {"JSON input", json, json->viewport(), json->placeholder(), [json](const QString& t) { json->setText(t); }},
        {"replacement field", replacement, replacement->lineEdit(), replacement->lineEdit()->placeholderText(),
         [replacement](const QString& t) { replacement->lineEdit()->setText(t); }},
        {"process search", search, search->field(), search->field()->placeholderText(),
         [search](const QString& t) { search->field()->setText(t); }},
        {"line field", plain, plain, plain->placeholderText(), [plain](const QString& t) { plain->setText(t); }},
    };
    QWidget page;
    auto* column = new QVBoxLayout(&page);
    for (const Editor& e : editors) column->addWidget(e.widget);
    json->setFixedHeight(60);
    page.resize(420, 260);
    page.setFocusPolicy(Qt::StrongFocus);  // no caret in the pictures
    page.show();
    page.setFocus();
    ASSERT_TRUE(TestSupport::waitForAnimations(&page));
    const QImage empty = shot(page);
    save(empty, "hints");
    for (const Editor& e : editors) e.type(e.hint);
    const QImage typed = shot(page);
    save(typed, "hints-typed");
    for (const Editor& e : editors) {
        const QRect area = areaIn(e.textArea, &page).adjusted(2, 2, -2, -2);
        const Reading h = measure(empty, area), t = measure(typed, area);
        expectAtLeast(h, 3.0, e.name);
        EXPECT_LE(h.ratio * 1.5, t.ratio) << e.name << " in " << look().toStdString() << ": hint "
                                          << h.ink.name().toStdString() << ", typed " << t.ink.name().toStdString();
    }
}

// The welcome window: the secondary subtitle, the tertiary footer and access line (3:1), and the
// green all-set line on its card.
TEST_P(ContrastGallery, WelcomeCaptionsAndTheAllSetLine) {
    for (bool granted : {false, true}) {
        FakeInputAccess access;
        access.granted = granted;
        WelcomeView view([] {}, access);
        view.resize(540, 650);
        view.show();
        ASSERT_TRUE(TestSupport::waitForAnimations(&view));
        const QImage image = shot(view);
        save(image, granted ? "welcome-granted" : "welcome");
        QLabel* subtitle = labelWith(view, "Your Mac at a glance, right from the menu bar.");
        QLabel* footer = labelWith(view, "You can change this later in System Settings.");
        ASSERT_TRUE(subtitle && footer);
        expectAtLeast(measure(image, areaIn(subtitle, &view)), 4.5, "welcome subtitle");
        expectAtLeast(measure(image, areaIn(footer, &view)), 3.0, "welcome footer");
        if (granted)
            expectAtLeast(measure(image, areaIn(view.successLayer(), &view), hueNear(SystemColors::green(dark()))), 3.0,
                          "all-set line");
        else
            expectAtLeast(measure(image, areaIn(view.requestLayer(), &view)), 3.0, "access line");
    }
}

// Coloured words keep their hue and reach 3:1 on what is behind them: the password strength on its
// card, a JSON string value on the tree's surface, and the chart's axis labels over full bars.
TEST_P(ContrastGallery, ColouredTextsOnSurfacesOfTheirOwnLightness) {
    PasswordPane pane;
    pane.resize(460, 560);
    pane.show();
    for (int length = 4; length < 200 && pane.model().strength() != PasswordPaneModel::Strength::good; ++length)
        pane.model().setLength(length);
    ASSERT_EQ(pane.model().strength(), PasswordPaneModel::Strength::good);
    ASSERT_TRUE(TestSupport::waitForAnimations(&pane));
    QImage image = shot(pane);
    save(image, "password-good");
    expectAtLeast(measure(image, areaIn(pane.strengthLabel(), &pane), hueNear(SystemColors::yellow(dark()))), 3.0,
                  "strength word");

    ToolboxModel model([](std::function<void()> job) { job(); });
    model.setInput(QStringLiteral(R"({"name": "Quorvin", "tags": "tray tools"})"));
    JSONTreePane tree(model, [](std::function<void()> job) { job(); });
    tree.resize(700, 400);
    tree.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return tree.state() == JSONTreePane::State::tree; }));
    ASSERT_TRUE(TestSupport::waitForAnimations(&tree));
    image = shot(tree);
    save(image, "json-tree");
    const QRect row = tree.treeView()->visualRect(tree.rows().index(1));
    const QRect rowArea(tree.treeView()->viewport()->mapTo(&tree, row.topLeft()), row.size());
    expectAtLeast(measure(image, rowArea, hueNear(SystemColors::green(dark()))), 3.0, "JSON string value");
    int verdicts = 0;
    for (SymbolLabel* verdict : tree.findChildren<SymbolLabel*>()) {
        if (verdict->text() != QStringLiteral("Корректный")) continue;
        ++verdicts;
        expectAtLeast(measure(image, areaIn(verdict, &tree), hueNear(SystemColors::green(dark()))), 3.0,
                      "JSON verdict");
    }
    EXPECT_EQ(verdicts, 1);

    MetricChartCard::Model full;
    full.series.assign(60, 100.0);
    full.tint = SystemColors::green(dark());
    full.kind = MetricChartKind::percent;
    MetricChartCard chart(full);
    chart.resize(320, int(full.height) + MetricChartCard::overhang);
    chart.show();
    ASSERT_TRUE(TestSupport::waitForAnimations(&chart));
    image = shot(chart);
    save(image, "chart-full");
    // The 50 % label's capsule, all of it over bars.
    const double y = MetricChartCard::overhang + full.height * 0.5;
    expectAtLeast(measure(image, QRect(6, int(y) - 4, 36, 8)), 3.0, "axis label over bars");
}

// States and controls reach 3:1 on what is really behind them, and keep their look where they do:
// the green "Scan Complete" on the Disk tab's card, the unchosen "24H" of the chart's range switch
// over full bars, an unchecked check box in Settings on its section, and a file's icon (a white
// page, as icon themes draw one) in a clipboard row and in its preview.
TEST_P(ContrastGallery, StatesAndControlsOnWhatIsBehindThem) {
    {
        SCOPED_TRACE("Scan Complete");
        DiskRig rig;
        const QString npm = rig.folder(".npm/_cacache", 2 << 20);
        rig.saveScan({{CleanupCategory::development,
                       {DiskRig::item("npm Cache", {npm}, 2 << 20, CleanupCategory::development)}}});
        GlassCard card(19);
        auto* content = new DiskScanContent(rig.cleaner(), rig.volume(), rig.model());
        card.setContent(content);
        card.resize(340, 40);
        card.show();
        ASSERT_EQ(content->label().texts.value(0).text, QStringLiteral("Scan Complete"));
        ASSERT_TRUE(TestSupport::waitForAnimations(&card));
        const QImage image = shot(card);
        save(image, "disk-scan-complete");
        expectAtLeast(measure(image, areaIn(content, &card), hueNear(SystemColors::green(dark()))), 3.0,
                      "Scan Complete");
    }
    {
        SCOPED_TRACE("range switch");
        QTemporaryDir proc;
        ProcessMonitor monitor(proc.path(), nullptr);
        MetricArchive archive;
        MonitorPopupModel popup(MonitorTab::cpu, monitor, archive, 16.0 * 1024 * 1024 * 1024);
        GlassCard card(24);
        auto* well = new ChartWell(popup);
        card.setContent(well);
        card.resize(340, int(ChartWell::chartHeight) + MetricChartCard::overhang + 4);
        card.show();
        MetricChartCard::Model full = well->card()->model();
        full.series.assign(ChartWell::barCount, 100.0);
        full.barGap = 0;  // bars wall to wall: the labels have nothing else to read on
        well->card()->setModel(full);
        ASSERT_TRUE(TestSupport::waitFor([&] { return well->rangePicker()->isVisible(); }));
        ASSERT_TRUE(TestSupport::waitForAnimations(&card));
        const QImage image = shot(card);
        save(image, "chart-range-switch");
        for (auto range : MonitorPopupModel::allRanges) {
            QAbstractButton* button = well->rangeButton(range);
            expectAtLeast(measure(image, areaIn(button, &card).adjusted(2, 1, -2, -1)), 3.0,
                          qPrintable(MonitorPopupModel::label(range)));
        }
    }
    {
        SCOPED_TRACE("check box");
        PreferencesRouter router;
        router.setSelectedTab(PreferencesTab::general);
        PreferencesView view(router);
        view.resize(720, 560);
        view.show();
        QCheckBox* unchecked = nullptr;
        ASSERT_TRUE(TestSupport::waitFor([&] {
            for (QCheckBox* box : view.pane()->findChildren<QCheckBox*>())
                if (!box->isChecked() && box->isVisible() && !unchecked) unchecked = box;
            return unchecked != nullptr;
        }));
        ASSERT_TRUE(TestSupport::waitForAnimations(&view));
        const QImage image = shot(view);
        save(image, "settings-check-box");
        QStyleOptionButton option;
        option.initFrom(unchecked);
        const QRect square = unchecked->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, unchecked);
        // The square and a ring of what is around it, which is the commonest colour there.
        const QRect area(unchecked->mapTo(&view, square.topLeft()), square.size());
        expectAtLeast(measure(image, area.adjusted(-4, -4, 4, 4)), 3.0, "unchecked check box");
    }
    {
        SCOPED_TRACE("file icon");
        FakeWorkspace workspace;
        workspace.fileIcon = QIcon(QPixmap::fromImage(TestSupport::palePageIcon()));
        Workspace::setShared(&workspace);
        const ClipboardItem item = ClipboardItem::make(
            ClipboardContent::files({QUrl::fromLocalFile("/home/ann/notes.txt")}), QDateTime::currentDateTimeUtc());
        GlassCard card(14);
        auto* row = new ClipboardMenuRow(item, 0, false, false, nullptr, nullptr, nullptr);
        card.setContent(row);
        card.resize(360, ClipboardMenuRow::heightFor(item));
        card.show();
        GlassCard previewCard(14);
        auto* preview = new ClipboardPreviewRootView(item, {}, 300, 60, 0);
        previewCard.setContent(preview);
        previewCard.resize(300, 60);
        previewCard.show();
        ASSERT_TRUE(TestSupport::waitForAnimations(&card));
        ASSERT_TRUE(TestSupport::waitForAnimations(&previewCard));
        QImage image = shot(card);
        save(image, "clipboard-file-row");
        expectAtLeast(measure(image, QRect(ClipboardMenuRow::contentMargin - 2, 4, 20, 20)), 3.0, "file icon in a row");
        image = shot(previewCard);
        save(image, "clipboard-file-preview");
        auto* scroll = qobject_cast<QScrollArea*>(preview->previewContent());
        ASSERT_TRUE(scroll && scroll->widget());
        const QList<QWidget*> lines = scroll->widget()->findChildren<QWidget*>();
        ASSERT_FALSE(lines.isEmpty());
        const QRect iconArea(lines.first()->mapTo(&previewCard, QPoint(0, 0)), QSize(18, 18));
        expectAtLeast(measure(image, iconArea.adjusted(-3, -3, 3, 3)), 3.0, "file icon in the preview");
        Workspace::setShared(nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Looks, ContrastGallery, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
