// The password, snippets and QR panes against the real clipboard: what another process reads
// from our copies, and a snippet that reads another process's copy.
#include "TestSupport.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/PasswordPaneModel.h"
#include "Source/Features/Toolbox/QRPaneModel.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Source/Features/Toolbox/SnippetsPaneModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

bool haveXclip() { return !QStandardPaths::findExecutable("xclip").isEmpty(); }

// Reads the selection from another process, serving its requests while we wait.
std::optional<QByteArray> xclipRead(const QString& target) {
    QProcess process;
    process.start("xclip", {"-selection", "clipboard", "-o", "-t", target});
    if (!process.waitForStarted(5000)) return std::nullopt;
    if (!TestSupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("xclip: %s", process.readAllStandardError().constData());
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

// Our copy has reached the X server once we own the selection.
bool ownsClipboard() {
    return TestSupport::waitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5000);
}

struct ToolboxPanesX11 : ::testing::Test {
    void SetUp() override {
        if (!haveXclip()) GTEST_SKIP() << "xclip is not installed";
    }
};

}  // namespace

TEST_F(ToolboxPanesX11, AnotherProcessReadsACopiedPasswordMarkedSecret) {
    PasswordPaneModel model;
    model.appear();
    model.copy(Pasteboard::general());
    ASSERT_TRUE(ownsClipboard());
    const auto targets = xclipRead(QStringLiteral("TARGETS"));
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains("org.nspasteboard.ConcealedType")) << targets->constData();
    EXPECT_TRUE(targets->contains("x-kde-passwordManagerHint"));
    EXPECT_EQ(xclipRead(QStringLiteral("text/plain")), model.password().toUtf8());
    EXPECT_EQ(xclipRead(QStringLiteral("org.nspasteboard.ConcealedType")), QByteArray());
    EXPECT_EQ(xclipRead(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
}

TEST_F(ToolboxPanesX11, AnotherProcessPastesTheCopiedQRCodeAsAPicture) {
    QRPaneModel model;
    model.setInput(QStringLiteral("https://example.org"));
    ASSERT_TRUE(model.copy(Pasteboard::general()));
    ASSERT_TRUE(ownsClipboard());
    const auto png = xclipRead(QStringLiteral("image/png"));
    ASSERT_TRUE(png);
    QImage image;
    ASSERT_TRUE(image.loadFromData(*png, "PNG"));
    EXPECT_EQ(image.size(), model.code().image.size());
}

TEST_F(ToolboxPanesX11, ASnippetTakesAnotherProcesssClipboardText) {
    QProcess owner;
    owner.start("xclip", {"-selection", "clipboard", "-quiet"});
    ASSERT_TRUE(owner.waitForStarted(5000));
    owner.write("https://example.org/from-elsewhere");
    owner.closeWriteChannel();
    // Wait until the other process holds the selection.
    ASSERT_TRUE(TestSupport::waitFor([] {
        return xclipRead(QStringLiteral("UTF8_STRING")) == QByteArray("https://example.org/from-elsewhere");
    }));

    QTemporaryDir folder;
    SnippetStore store(folder.path());
    SnippetsPaneModel model(store);
    model.appear();
    model.setBody(QStringLiteral("[{{t}}]({{clipboard}})"));
    model.setValue(QStringLiteral("t"), QStringLiteral("ссылка"));
    // The preview gets the text once the owner has answered.
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.result().contains(QStringLiteral("from-elsewhere")); }));
    model.copyExpanded();
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.copyConfirmation().didCopy(); }));
    EXPECT_EQ(xclipRead(QStringLiteral("UTF8_STRING")), QStringLiteral("[ссылка](https://example.org/from-elsewhere)").toUtf8());
    owner.waitForFinished(5000);  // it quits once it has lost the selection
    if (owner.state() != QProcess::NotRunning) owner.kill();
}
