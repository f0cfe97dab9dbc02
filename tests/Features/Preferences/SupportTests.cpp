#include "Platform/Core/Bundle.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/System/SystemIdentity.h"
#include "Source/Features/Preferences/Support.h"
#include "Source/Features/Preferences/UserIdentity.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QUrlQuery>

#include <gtest/gtest.h>

TEST(UserIdentity, MadeOnceKeptAcrossLaunchesAndReplacedWhenEmpty) {
    const QString path = TestSupport::tempRoot() + "/identity-defaults.json";
    QString first;
    {
        UserDefaults defaults(path);
        EXPECT_FALSE(defaults.contains("userIdentifier"));
        first = UserIdentity::id(defaults);
        EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                        .match(first)
                        .hasMatch())
            << first.toStdString();
        EXPECT_EQ(defaults.string("userIdentifier"), first);
        EXPECT_EQ(UserIdentity::id(defaults), first);
    }
    {
        UserDefaults relaunched(path);
        EXPECT_EQ(UserIdentity::id(relaunched), first);
        relaunched.setString("userIdentifier", "");
        const QString replaced = UserIdentity::id(relaunched);
        EXPECT_EQ(replaced.size(), 36);
        EXPECT_NE(replaced, first);
        EXPECT_EQ(relaunched.string("userIdentifier"), replaced);
        // Anything but a text counts as missing too.
        relaunched.setInteger("userIdentifier", 7);
        EXPECT_EQ(UserIdentity::id(relaunched).size(), 36);
    }
}

TEST(Support, SystemInfoHasFourLinesAndQuestionMarksForWhatIsUnknown) {
    Support::Facts facts{"1.4.0", "42", "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64", "Dell Inc. XPS 13",
                         "0F3A2B4C-1111-2222-3333-444455556666"};
    EXPECT_EQ(Support::systemInfo(facts), "Quorvin 1.4.0 (42)\n"
                                          "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64\n"
                                          "Model: Dell Inc. XPS 13\n"
                                          "Install: 0F3A2B4C-1111-2222-3333-444455556666");
    facts.version.clear();
    facts.build.clear();
    facts.model.clear();
    const QStringList lines = Support::systemInfo(facts).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Quorvin ? (?)");
    EXPECT_EQ(lines[2], "Model: ");

    // This computer: the running system, never another platform's name, and the stored identifier.
    const QStringList here = Support::systemInfo().split('\n');
    ASSERT_EQ(here.size(), 4);
    EXPECT_EQ(here[0], "Quorvin " + Bundle::main().version() + " (" + Bundle::main().build() + ")");
    EXPECT_EQ(here[1], SystemIdentity::current().versionLine());
    EXPECT_FALSE(here[1].startsWith("macOS"));
    EXPECT_EQ(here[2], "Model: " + SystemIdentity::current().model);
    EXPECT_EQ(here[3], "Install: " + UserIdentity::id());
    EXPECT_EQ(UserDefaults::standard().string("userIdentifier"), UserIdentity::id());
}

TEST(Support, TheReportMailIsFullyEncodedAndEndsWithTheSystemInfo) {
    const QString info = "Quorvin 1.0 (1)\nUbuntu 24.04 LTS, kernel 6.8.0\nModel: QEMU Standard PC (Q35 + ICH9, 2009) "
                         "& co\nInstall: ABC";
    const QUrl url = Support::reportURL(info);
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), Support::email());
    const QString encoded = QString::fromLatin1(url.toEncoded());
    // Line feeds, blanks, '+' and '&' inside the values are percent-encoded.
    EXPECT_TRUE(encoded.contains("What%20happened%3A%0A%0A%0AWhat%20you%20expected")) << encoded.toStdString();
    EXPECT_TRUE(encoded.contains("Q35%20%2B%20ICH9")) << encoded.toStdString();
    EXPECT_TRUE(encoded.contains("%26%20co")) << encoded.toStdString();
    EXPECT_FALSE(encoded.contains(' '));
    EXPECT_FALSE(encoded.contains('\n'));

    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    const auto items = query.queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].first, "subject");
    EXPECT_EQ(items[0].second, "Quorvin bug report");
    EXPECT_EQ(items[1].first, "body");
    EXPECT_EQ(items[1].second, "What happened:\n\n\nWhat you expected:\n\n\n---\n" + info);
    EXPECT_TRUE(items[1].second.endsWith("Install: ABC"));
}
