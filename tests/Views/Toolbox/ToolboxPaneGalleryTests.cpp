// Renders every state of the password, QR and snippets panes, light and dark, at the window's
// smallest and usual detail sizes, for a person to look at (QUORVIN_TEST_OUTPUT/toolbox-*.png).
#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "FailingFileWriter.h"
#include "FakeFileDialogs.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PasswordPane.h"
#include "Views/Toolbox/PlaceholderField.h"
#include "Views/Toolbox/QRPane.h"
#include "Views/Toolbox/SnippetsPane.h"
#include "Views/Toolbox/ToolboxView.h"

#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using ToolboxPaneTest::darkPalette;

// The detail column at the window's minimum (900 × 660) and usual (1020 × 740) sizes.
const QSize kSmallest(630, 600);
const QSize kUsual(740, 680);

struct Gallery : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard pasteboard;

    void SetUp() override { AccessibilityDisplayOptions::shared().setOverride(true, false); }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }

    // A pane twice: at its top and scrolled to its end.
    static void saveScrolled(QWidget& pane, QScrollArea* scroll, const QString& name, bool dark) {
        scroll->verticalScrollBar()->setValue(0);
        save(pane, name, dark);
        TestSupport::spin(20);
        if (scroll->verticalScrollBar()->maximum() == 0) return;
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        save(pane, name + QStringLiteral("-end"), dark);
        scroll->verticalScrollBar()->setValue(0);
    }
    static void saveEditor(SnippetsPane& pane, const QString& name, bool dark) {
        if (!pane.model().draft()) return save(pane, name, dark);
        saveScrolled(pane, qobject_cast<QScrollArea*>(pane.editorStack()->widget(1)), name, dark);
    }
    static void saveScrolled(QWidget& pane, const QString& name, bool dark) {
        saveScrolled(pane, pane.findChild<QScrollArea*>(), name, dark);
    }

    static void save(QWidget& pane, const QString& name, bool dark) {
        if (dark) pane.setPalette(darkPalette());
        TestSupport::spin(300);
        const QImage image = ToolboxPaneTest::grabOnWindow(pane);
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/toolbox-") + name + (dark ? "-dark" : "-light") +
                               ".png"));
    }
};

}  // namespace

TEST_F(Gallery, PasswordPaneInEveryStyle) {
    for (bool dark : {false, true}) {
        for (PasswordGenerator::Style style : PasswordGenerator::allStyles) {
            PasswordPane pane;
            pane.resize(kSmallest);
            pane.show();
            pane.model().setStyle(style);
            const QString name = QStringLiteral("password-") + PasswordGenerator::rawValue(style);
            save(pane, name, dark);
            pane.model().setLength(1000);
            pane.model().copy(pasteboard.pasteboard);
            save(pane, name + QStringLiteral("-longest-copied"), dark);
        }
    }
}

TEST_F(Gallery, SnippetsPaneInEveryState) {
    pasteboard.pasteboard.simulateCopyText(QStringLiteral("https://example.org/docs"));
    for (bool dark : {false, true}) {
        for (QSize size : {kSmallest, kUsual}) {
            QTemporaryDir folder;
            SnippetStore store(folder.path());
            SnippetsPane pane(&store);
            pane.resize(size);
            pane.show();
            const QString at = size == kSmallest ? QStringLiteral("-smallest") : QStringLiteral("-usual");
            saveEditor(pane, QStringLiteral("snippets-builtin") + at, dark);

            pane.model().setSelection(store.snippets().at(1).id);
            saveEditor(pane, QStringLiteral("snippets-unfilled") + at, dark);
            pane.placeholderFields().at(0)->lineEdit()->setFocus();
            ToolboxPaneTest::typeText(pane.placeholderFields().at(0)->lineEdit(), QStringLiteral("Анна"));
            pane.model().setValue(QStringLiteral("подпись"), QStringLiteral("Илья"));
            pane.model().copyExpanded();
            saveEditor(pane, QStringLiteral("snippets-filled-copied") + at, dark);

            pane.model().setSelection(store.snippets().at(2).id);
            saveEditor(pane, QStringLiteral("snippets-markdown") + at, dark);

            pane.model().addSnippet();
            saveEditor(pane, QStringLiteral("snippets-new") + at, dark);
            while (!store.snippets().isEmpty()) pane.model().remove(store.snippets().first());
            saveEditor(pane, QStringLiteral("snippets-none") + at, dark);
        }
    }
}

TEST_F(Gallery, QRPaneInEveryState) {
    QTemporaryDir folder;
    ScopedFileDialogs dialogs;
    FailingFileWriter failing;
    failing.failPathsContaining(QStringLiteral("denied"));
    for (bool dark : {false, true}) {
        for (QSize size : {kSmallest, kUsual}) {
            const QString at = size == kSmallest ? QStringLiteral("-smallest") : QStringLiteral("-usual");
            const auto shoot = [&](const QString& input, const QString& name, const std::function<void(QRPane&)>& act) {
                ToolboxModel model;
                model.setInput(input);
                QRPane pane(model);
                pane.resize(size);
                pane.show();
                if (act) act(pane);
                saveScrolled(pane, QStringLiteral("qr-") + name + at, dark);
            };
            shoot(QStringLiteral("https://example.org/toolbox"), QStringLiteral("code"), {});
            shoot(QString(), QStringLiteral("empty"), {});
            shoot(QString(2901, QLatin1Char('a')), QStringLiteral("too-large"), {});
            shoot(QString(1200, QLatin1Char('b')), QStringLiteral("dense-high"), [](QRPane& pane) {
                pane.qrModel().setCorrection(QRCodeGenerator::Correction::high);
            });
            shoot(QStringLiteral("Привет"), QStringLiteral("copied-save-failed"), [&](QRPane& pane) {
                pane.copyButton()->click();
                dialogs.fake.nextSavePath = folder.filePath(QStringLiteral("denied.png"));
                pane.saveButton()->click();
            });
        }
    }
}

TEST_F(Gallery, PanesInTheWindowAtItsSmallestSize) {
    QTemporaryDir folder;
    for (bool dark : {false, true}) {
        for (const ToolboxModel::Tool& tool :
             {ToolboxModel::Tool::password(), ToolboxModel::Tool::qr(), ToolboxModel::Tool::snippets()}) {
            ToolboxModel model;
            model.setInput(QStringLiteral("https://example.org"));
            ToolboxView view(model);
            view.resize(900, 660);
            view.show();
            model.setSelection(tool);
            save(view, QStringLiteral("window-") + tool.id(), dark);
        }
    }
}
