#include "FailingFileWriter.h"
#include "FileTreeSupport.h"
#include "LogCapture.h"
#include "NoLocksFolder.h"
#include "Platform/Core/Clock.h"
#include "Platform/Files/FolderLock.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include <sys/stat.h>

namespace {

const QString kIdA = QStringLiteral("0C8B2F4E-1D7A-4B3C-9E5F-6A7B8C9D0E1F");
const QString kIdB = QStringLiteral("A1B2C3D4-E5F6-4789-8ABC-DEF012345678");

class SnippetStoreTest : public ::testing::Test {
protected:
    QString file() const { return folder_.filePath(QStringLiteral("snippets.json")); }
    void writeFile(const QByteArray& bytes) const {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readFile() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList asideNames() const {
        return QDir(folder_.path()).entryList({QStringLiteral("snippets.json.damaged-*")}, QDir::Files);
    }
    QStringList titles(const SnippetStore& store) const {
        QStringList list;
        for (const Snippet& s : store.snippets()) list.append(s.title);
        return list;
    }
    static Snippet make(const QString& id, const QString& title, const QString& body = {}, double seconds = 0) {
        return {QUuid::fromString(id), title, body, ReferenceDate::date(seconds)};
    }

    QTemporaryDir folder_;
};

std::string native(const QString& path) { return NativePath::encode(path).toStdString(); }

using FileTree::entries;
using FileTree::mode;

const QStringList kStarterTitles = {QStringLiteral("Дата и время"), QStringLiteral("Ответ на письмо"),
                                    QStringLiteral("Markdown-ссылка из буфера")};

}  // namespace

TEST_F(SnippetStoreTest, StartersStandInUntilTheFirstChange) {
    {
        SnippetStore store(folder_.path());
        EXPECT_EQ(titles(store), kStarterTitles);
        const QList<Snippet>& starters = store.snippets();
        EXPECT_EQ(starters[0].body, QStringLiteral("{{datetime}}"));
        EXPECT_EQ(starters[1].body, QStringLiteral("Здравствуйте, {{имя}}!\n\nСпасибо за сообщение. Отвечу по существу "
                                                   "до {{date}}.\n\nС уважением,\n{{подпись}}"));
        EXPECT_EQ(starters[2].body, QStringLiteral("[{{название ссылки}}]({{clipboard}})"));
        EXPECT_NE(starters[0].id, starters[1].id);
        EXPECT_FALSE(QFileInfo::exists(file()));  // the starters are not written by loading
    }
    // An empty list on disk brings them back.
    writeFile("[]");
    SnippetStore store(folder_.path());
    EXPECT_EQ(titles(store), kStarterTitles);
    EXPECT_TRUE(asideNames().isEmpty());

    const Snippet added = make(kIdA, QStringLiteral("Без названия"));
    store.add(added);
    EXPECT_EQ(store.snippets().size(), 4);
    EXPECT_EQ(store.snippets().first(), added);
    EXPECT_EQ(SnippetStore(folder_.path()).snippets(), store.snippets());
}

TEST_F(SnippetStoreTest, WritesCompactRecordsInKeyOrder) {
    SnippetStore store(folder_.path());
    store.remove(store.snippets()[0]);
    store.remove(store.snippets()[0]);
    store.remove(store.snippets()[0]);
    EXPECT_EQ(readFile(), QByteArray("[]"));
    store.add(make(kIdB, QStringLiteral("Второй \"в кавычках\""), QStringLiteral("строка\nи\tтаб"), 800000000.25));
    store.add(make(kIdA.toLower(), QStringLiteral("Первый"), QStringLiteral("{{date}}"), -100.5));
    // The first record names the saves the file descends from.
    QString written = QString::fromUtf8(readFile());
    EXPECT_EQ(written.remove(QRegularExpression(",\"saves\":\"[0-9a-f]{16}( [0-9a-f~]{16,17})*\"(?=})")),
              QStringLiteral("[{\"id\":\"%1\",\"title\":\"Первый\",\"body\":\"{{date}}\",\"createdAt\":-100.5},"
                             "{\"id\":\"%2\",\"title\":\"Второй \\\"в кавычках\\\"\",\"body\":\"строка\\nи\\tтаб\","
                             "\"createdAt\":800000000.25}]")
                  .arg(kIdA, kIdB));
    EXPECT_EQ(QFileInfo(file()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    const SnippetStore again(folder_.path());
    EXPECT_EQ(again.snippets(), store.snippets());
    EXPECT_EQ(again.snippets()[1].createdAt, QDateTime(QDate(2026, 5, 9), QTime(6, 13, 20, 250), QTimeZone::utc()));
}

TEST_F(SnippetStoreTest, DamagedFilesAndRecords) {
    const QByteArray good = "{\"id\":\"" + kIdA.toLatin1() + "\",\"title\":\"Хороший\",\"body\":\"b\",\"createdAt\":1}";
    const QByteArray reordered =
        "{\"createdAt\":2,\"body\":\"\",\"title\":\"Другой порядок\",\"id\":\"" + kIdB.toLatin1() + "\"}";
    struct Row {
        const char* name;
        QByteArray bytes;
        QStringList titles;  // empty: the starters
        bool movedAside;  // the file itself is moved away
        bool copiedAside;  // a copy is kept and the file stays
    };
    const Row rows[] = {
        {"not JSON", "[{\"id\":", {}, true, false},
        {"not an array", "{\"id\":1}", {}, true, false},
        {"binary", QByteArray("\x00\xff\xfe", 3), {}, true, false},
        {"two good records", "[" + good + "," + reordered + "]", {"Хороший", "Другой порядок"}, false, false},
        {"missing createdAt",
         "[" + good + ",{\"id\":\"" + kIdB.toLatin1() + "\",\"title\":\"t\",\"body\":\"b\"}]",
         {"Хороший"},
         false,
         true},
        {"title of the wrong type",
         "[{\"id\":\"" + kIdB.toLatin1() + "\",\"title\":5,\"body\":\"\",\"createdAt\":1}," + good + "]",
         {"Хороший"},
         false,
         true},
        {"date as text",
         "[" + good + ",{\"id\":\"" + kIdB.toLatin1() +
             "\",\"title\":\"t\",\"body\":\"\",\"createdAt\":\"2024-01-01T00:00:00Z\"}]",
         {"Хороший"},
         false,
         true},
        {"id that is no UUID",
         "[{\"id\":\"12\",\"title\":\"t\",\"body\":\"\",\"createdAt\":1}," + good + "]",
         {"Хороший"},
         false,
         true},
        {"a record that is no object", "[" + good + ",\"text\",null]", {"Хороший"}, false, true},
        {"every record unreadable", "[{\"title\":\"t\"}]", {}, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const QString& name : QDir(folder_.path()).entryList(QDir::Files)) QFile::remove(folder_.filePath(name));
        writeFile(row.bytes);
        LogCapture log;
        SnippetStore store(folder_.path());
        EXPECT_EQ(titles(store), row.titles.isEmpty() ? kStarterTitles : row.titles);
        const QStringList aside = asideNames();
        ASSERT_EQ(aside.size(), row.movedAside || row.copiedAside ? 1 : 0);
        if (!aside.isEmpty()) {
            QFile kept(folder_.filePath(aside.first()));
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), row.bytes);
            EXPECT_EQ(log.matching({"Snippets", aside.first()}).size(), 1) << qPrintable(log.all().join('\n'));
        }
        EXPECT_EQ(QFileInfo::exists(file()), !row.movedAside);
        // Started again before anything changed: the same damage is kept once; other damage once more.
        SnippetStore(folder_.path());
        SnippetStore(folder_.path());
        EXPECT_EQ(asideNames(), aside);
        if (row.copiedAside) {
            writeFile(row.bytes + " ");
            SnippetStore(folder_.path());
            EXPECT_EQ(asideNames().size(), 2);
            writeFile(row.bytes);
            SnippetStore(folder_.path());
            ASSERT_EQ(asideNames().size(), 2);
            QStringList added = asideNames();
            for (const QString& name : aside) added.removeAll(name);
            ASSERT_EQ(added.size(), 1);
            QFile::remove(folder_.filePath(added.first()));
        }
        // The next save writes what is shown; the kept copy stays.
        store.add(make(QUuid::createUuid().toString(QUuid::WithoutBraces), QStringLiteral("Новый")));
        EXPECT_EQ(titles(SnippetStore(folder_.path())), titles(store));
        EXPECT_EQ(asideNames(), aside);
    }
}

TEST_F(SnippetStoreTest, OldStarterIsRenamedInPlace) {
    const QByteArray old = "[{\"id\":\"" + kIdA.toLatin1() +
                           "\",\"title\":\"Мой\",\"body\":\"x\",\"createdAt\":5},{\"id\":\"" + kIdB.toLatin1() +
                           "\",\"title\":\"Ссылка из буфера в Markdown\",\"body\":\"[{{текст}}]({{clipboard}})\","
                           "\"createdAt\":7}]";
    writeFile(old);
    {
        SnippetStore store(folder_.path());
        ASSERT_EQ(store.snippets().size(), 2);
        const Snippet& moved = store.snippets()[1];
        EXPECT_EQ(moved.id, QUuid::fromString(kIdB));
        EXPECT_EQ(moved.title, QStringLiteral("Markdown-ссылка из буфера"));
        EXPECT_EQ(moved.body, QStringLiteral("[{{название ссылки}}]({{clipboard}})"));
        EXPECT_EQ(moved.createdAt, ReferenceDate::date(7));
        EXPECT_EQ(SnippetStore(folder_.path()).snippets(), store.snippets());  // rewritten on disk
    }
    // The same title with an edited body is the user's: left alone, and nothing is written.
    QByteArray edited = old;
    edited.replace("{{текст}}", "{{мой текст}}");
    writeFile(edited);
    SnippetStore store(folder_.path());
    EXPECT_EQ(store.snippets()[1].title, QStringLiteral("Ссылка из буфера в Markdown"));
    EXPECT_EQ(readFile(), edited);
}

TEST_F(SnippetStoreTest, FindsByTitleIgnoringCaseOnly) {
    SnippetStore store(folder_.path());
    store.add(make(kIdA, QStringLiteral("ёлка")));
    store.add(make(kIdB, QStringLiteral("ЁЛКА")));
    struct Row {
        const char* name;
        const char* found;  // title, or null for none
    };
    const Row rows[] = {
        {"ответ на письмо", "Ответ на письмо"},
        {"ОТВЕТ НА ПИСЬМО", "Ответ на письмо"},
        {" Ответ на письмо", nullptr},
        {"Ответ на письмо ", nullptr},
        {"Ответ на письм", nullptr},
        {"Ёлка", "ЁЛКА"},  // the earlier of two
        {"елка", nullptr},
        {"markdown-ССЫЛКА из буфера", "Markdown-ссылка из буфера"},
        {"", nullptr},
        {"дата и время", "Дата и время"},
        // Composed and decomposed forms of one letter are the same letter.
        {"е\u0308лка", "ЁЛКА"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = store.snippet(QString::fromUtf8(row.name));
        ASSERT_EQ(found.has_value(), row.found != nullptr);
        if (found) {
            EXPECT_EQ(found->title, QString::fromUtf8(row.found));
        }
    }
}

TEST_F(SnippetStoreTest, UpdateAndRemoveMatchById) {
    SnippetStore store(folder_.path());
    int changes = 0;
    QObject::connect(&store, &SnippetStore::snippetsChanged, [&changes] { ++changes; });

    // An unknown id changes nothing and writes nothing.
    store.update(make(kIdA, QStringLiteral("нет такого")));
    EXPECT_EQ(titles(store), kStarterTitles);
    EXPECT_FALSE(QFileInfo::exists(file()));
    EXPECT_EQ(changes, 0);

    Snippet edited = store.snippets()[1];
    edited.title = QStringLiteral("Ответ");
    edited.body = QStringLiteral("{{x}}");
    edited.createdAt = ReferenceDate::date(42);
    store.update(edited);
    EXPECT_EQ(store.snippets()[1], edited);
    EXPECT_EQ(SnippetStore(folder_.path()).snippets()[1], edited);

    store.add(make(kIdA, QStringLiteral("копия")));
    store.add(make(kIdA, QStringLiteral("копия")));
    store.remove(make(kIdA, QStringLiteral("другое имя")));  // by id: both go
    EXPECT_EQ(titles(store), QStringList({"Дата и время", "Ответ", "Markdown-ссылка из буфера"}));

    // Removing what is gone still rewrites the file.
    QFile::remove(file());
    store.remove(make(kIdB, QString()));
    EXPECT_TRUE(QFileInfo::exists(file()));
    EXPECT_EQ(changes, 4);  // removing what is gone is no change
}

TEST_F(SnippetStoreTest, FailuresAreLoggedAndNothingIsWrittenOverAKeptFile) {
    {
        FailingFileWriter writer;
        writer.failPathsContaining(QStringLiteral("snippets.json"), FailingFileWriter::Operation::write);
        LogCapture log;
        SnippetStore store(folder_.path());
        store.add(make(kIdA, QStringLiteral("в памяти")));
        EXPECT_EQ(store.snippets().first().title, QStringLiteral("в памяти"));  // kept in memory
        EXPECT_EQ(log.matching({"Snippets", file(), "No space left on device"}).size(), 1)
            << qPrintable(log.all().join('\n'));
    }
    {
        // A damaged file that cannot be moved aside is neither replaced nor written over.
        writeFile("garbage");
        FailingFileWriter writer;
        writer.failPathsContaining(QStringLiteral("snippets.json"), FailingFileWriter::Operation::moveAside);
        LogCapture log;
        SnippetStore store(folder_.path());
        EXPECT_EQ(titles(store), kStarterTitles);
        store.add(make(kIdA, QStringLiteral("a")));
        store.add(make(kIdB, QStringLiteral("b")));
        EXPECT_EQ(readFile(), QByteArray("garbage"));
        EXPECT_EQ(log.matching({"Snippets", "not written over"}).size(), 1) << qPrintable(log.all().join('\n'));
        EXPECT_EQ(log.matching({"Snippets", "not written"}).size(), 2);  // reported once, not at every change
    }
    {
        // A link in the file's place to what is not the user's regular file is neither read nor
        // written through, and the user is told.
        QFile::remove(file());
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), file()));
        LogCapture log;
        SnippetStore store(folder_.path());
        EXPECT_EQ(titles(store), kStarterTitles);
        store.add(make(kIdB, QStringLiteral("b")));
        EXPECT_EQ(QFileInfo(file()).symLinkTarget(), QStringLiteral("/dev/zero"));
        EXPECT_EQ(log.matching({"Snippets", file(), "/dev/zero", "kept in memory only"}).size(), 1)
            << qPrintable(log.all().join('\n'));
        QFile::remove(file());
    }
}

TEST_F(SnippetStoreTest, LinksToTheUsersOwnFolderAndFileAreReadAndWrittenThrough) {
    const QByteArray record =
        "[{\"id\":\"" + kIdA.toLatin1() + "\",\"title\":\"синхронный\",\"body\":\"\",\"createdAt\":1}]";
    const QByteArray other =
        "[{\"id\":\"" + kIdB.toLatin1() + "\",\"title\":\"подделка\",\"body\":\"\",\"createdAt\":1}]";
    // The linked folder's name is not UTF-8, and a look-alike lies beside it.
    QTemporaryDir home;
    const QString synced = NativePath::decode(NativePath::encode(home.path()) + "/d\xff");
    const QString lookAlike = NativePath::decode(NativePath::encode(home.path()) + "/d\xef\xbf\xbd");
    for (const QString& folder : {synced, lookAlike}) {
        ASSERT_TRUE(std::filesystem::create_directory(native(folder)));
        ::chmod(native(folder).c_str(), 0755);
        std::ofstream(native(folder + "/snippets.json"), std::ios::binary)
            << (folder == synced ? record : other).constData();
        ::chmod(native(folder + "/snippets.json").c_str(), 0644);
    }
    const QString linkedFolder = folder_.filePath(QStringLiteral("Snippets"));
    ASSERT_EQ(::symlink(native(synced).c_str(), native(linkedFolder).c_str()), 0);
    {
        SnippetStore store(linkedFolder);
        EXPECT_EQ(titles(store), QStringList{QStringLiteral("синхронный")});
        store.add(make(kIdB, QStringLiteral("новый")));
        EXPECT_EQ(titles(SnippetStore(linkedFolder)),
                  (QStringList{QStringLiteral("новый"), QStringLiteral("синхронный")}));
        EXPECT_TRUE(QFileInfo(linkedFolder).isSymLink());
        EXPECT_EQ(mode(synced), 0755);  // no chmod through it
        EXPECT_EQ(mode(synced + "/snippets.json"), 0644);  // the user's choice stays
        EXPECT_EQ(entries(synced), std::set<std::string>{"snippets.json"});
        EXPECT_EQ(SafeFile::readRegular(lookAlike + "/snippets.json", 1 << 20), other);
    }
    {
        // The file itself linked (into a dotfiles folder): the link stays, the target takes the change.
        QTemporaryDir dotfiles;
        const QString target = dotfiles.filePath(QStringLiteral("snippets.json"));
        std::filesystem::rename(native(synced + "/snippets.json"), native(target));
        ASSERT_TRUE(QFile::link(target, file()));
        SnippetStore store(folder_.path());
        EXPECT_EQ(titles(store).size(), 2);
        store.remove(make(kIdB, QString()));
        EXPECT_TRUE(QFileInfo(file()).isSymLink());
        EXPECT_EQ(mode(target), 0644);
        EXPECT_EQ(titles(SnippetStore(folder_.path())), QStringList{QStringLiteral("синхронный")});
        QFile t(target);
        ASSERT_TRUE(t.open(QIODevice::ReadOnly));
        EXPECT_FALSE(t.readAll().contains("новый"));
        // A damaged linked file is copied aside beside the link and mended by the next save.
        t.close();
        ASSERT_TRUE(t.open(QIODevice::WriteOnly));
        t.write("[{\"id\":");
        t.close();
        SnippetStore damaged(folder_.path());
        EXPECT_EQ(asideNames().size(), 1);
        damaged.add(make(kIdB, QStringLiteral("после")));
        EXPECT_TRUE(QFileInfo(file()).isSymLink());
        EXPECT_EQ(titles(SnippetStore(folder_.path())).first(), QStringLiteral("после"));
    }
    std::filesystem::remove_all(native(home.path()));
}

// A folder and file we make are private to the user; once there, their modes are the user's.
TEST_F(SnippetStoreTest, TheFolderAndFileKeepTheModesTheUserChose) {
    const QString folder = folder_.filePath(QStringLiteral("Snippets"));
    const QString path = folder + QStringLiteral("/snippets.json");
    SnippetStore store(folder);
    store.add(make(kIdA, QStringLiteral("первый")));
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(path), 0600);

    ASSERT_EQ(::chmod(native(path).c_str(), 0644), 0);
    ASSERT_EQ(::chmod(native(folder).c_str(), 0755), 0);
    store.add(make(kIdB, QStringLiteral("второй")));
    EXPECT_EQ(mode(path), 0644);
    EXPECT_EQ(mode(folder), 0755);
    EXPECT_EQ(titles(SnippetStore(folder)), titles(store));

    // A folder the user made read-only stays so; the save that cannot be made says why.
    ASSERT_EQ(::chmod(native(folder).c_str(), 0500), 0);
    LogCapture log;
    store.remove(make(kIdB, QString()));
    EXPECT_EQ(mode(folder), 0500);
    EXPECT_EQ(mode(path), 0644);
    if (::geteuid() != 0) {
        EXPECT_EQ(log.matching({"Cannot save the snippets", "Permission denied"}).size(), 1);
    }
    ::chmod(native(folder).c_str(), 0700);

    // A damaged file is kept aside, and the one that takes its place gets its mode.
    {
        QFile damaged(path);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("[{\"id\":");
    }
    ASSERT_EQ(::chmod(native(path).c_str(), 0640), 0);
    SnippetStore mended(folder);
    mended.add(make(kIdB, QStringLiteral("третий")));
    EXPECT_EQ(mode(path), 0640);
    const QStringList kept = QDir(folder).entryList({QStringLiteral("snippets.json.damaged-*")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(mode(folder + "/" + kept[0]), 0640);
    EXPECT_EQ(titles(SnippetStore(folder)), titles(mended));
}

TEST_F(SnippetStoreTest, WritesCutShortAreSweptAtStartButNeverThroughALinkedFolder) {
    const QString leftover = folder_.filePath(QStringLiteral(".quorvin-write-0123456789abcdef"));
    QFile(leftover).open(QIODevice::WriteOnly);
    QTemporaryDir synced;
    const QString theirs = synced.filePath(QStringLiteral(".quorvin-write-0123456789abcdef"));
    QFile(theirs).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(synced.path(), folder_.filePath(QStringLiteral("Linked"))));
    SnippetStore store(folder_.path());
    SnippetStore linked(folder_.filePath(QStringLiteral("Linked")));
    EXPECT_FALSE(QFileInfo::exists(leftover));
    EXPECT_TRUE(QFileInfo::exists(theirs));
}

// Two instances of the program (one user on two displays) over one folder, editing in turn.
TEST_F(SnippetStoreTest, TwoInstancesKeepWhatEachSaved) {
    const QString kIdP = QStringLiteral("11111111-2222-4333-8444-555555555555");
    const QString kIdQ = QStringLiteral("22222222-3333-4444-8555-666666666666");
    const QString kIdR = QStringLiteral("33333333-4444-4555-8666-777777777777");
    writeFile(SnippetStore::encode({make(kIdP, "P"), make(kIdQ, "Q"), make(kIdR, "R")}));
    SnippetStore first(folder_.path()), second(folder_.path());
    const auto onDisk = [this] { return titles(SnippetStore(folder_.path())); };

    first.add(make(kIdA, "X"));
    second.update(make(kIdP, "P1"));
    EXPECT_EQ(titles(second), QStringList({"X", "P1", "Q", "R"}));  // the other's addition is taken in
    first.remove(make(kIdQ, "Q"));
    EXPECT_EQ(titles(first), QStringList({"X", "P1", "R"}));  // and its edit
    second.add(make(kIdB, "Y"));
    EXPECT_EQ(onDisk(), QStringList({"Y", "X", "P1", "R"}));  // the other's removal stays

    // Where one removes what the other changes, the one saving wins.
    second.remove(make(kIdA, "X"));
    first.update(make(kIdA, "X1"));
    EXPECT_EQ(onDisk(), QStringList({"Y", "X1", "P1", "R"}));
    second.update(make(kIdP, "P2"));
    first.remove(make(kIdP, "P1"));
    EXPECT_EQ(onDisk(), QStringList({"Y", "X1", "R"}));
    second.update(make(kIdR, "R1"));
    EXPECT_EQ(titles(second), onDisk());
    EXPECT_EQ(onDisk(), QStringList({"Y", "X1", "R1"}));

    // Each shows the other's saves a moment after, without saving itself.
    first.remove(make(kIdB, "Y"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second) == QStringList({"X1", "R1"}); }, 2000));
    second.update(make(kIdA, "X2"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(first) == QStringList({"X2", "R1"}); }, 2000));
    EXPECT_EQ(onDisk(), QStringList({"X2", "R1"}));
    // What the other added and then edited shows here, and a save here keeps the edit.
    first.add(make(kIdB, "Z"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second) == QStringList({"Z", "X2", "R1"}); }, 2000));
    first.update(make(kIdB, "Z1"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second) == QStringList({"Z1", "X2", "R1"}); }, 2000))
        << qPrintable(titles(second).join(", "));
    second.remove(make(kIdA, "X2"));
    EXPECT_EQ(onDisk(), QStringList({"Z1", "R1"}));

    // While another instance holds the lock (stopped, say), nothing is written and each save stays
    // pending; both are made, merged, once it lets go.
    {
        const FolderLock other(folder_.path());
        ASSERT_TRUE(other.held());
        first.add(make(kIdQ, "Q2"));
        second.add(make(kIdA, "Y2"));
        EXPECT_TRUE(first.savePending() && second.savePending());
        // Tried again meanwhile, and still nothing written.
        EXPECT_FALSE(TestSupport::waitFor([&] { return onDisk() != QStringList({"Z1", "R1"}); }, 600));
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return !first.savePending() && !second.savePending(); }, 2000));
    QStringList saved = onDisk();
    saved.sort();
    EXPECT_EQ(saved, QStringList({"Q2", "R1", "Y2", "Z1"}));

    // Every snippet removed on one: the other shows what a start shows, the starters.
    ASSERT_TRUE(TestSupport::waitFor([&] { return titles(first).size() == 4; }, 2000));
    for (const Snippet& snippet : QList<Snippet>(first.snippets())) first.remove(snippet);
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second) == kStarterTitles; }, 2000))
        << qPrintable(titles(second).join(", "));
    EXPECT_EQ(onDisk(), kStarterTitles);

    // Quitting while another instance holds on waits a bounded time and says what was not saved.
    LogCapture log;
    {
        const FolderLock other(folder_.path());
        first.add(make(kIdQ, "Q3"));
        first.finishPendingSave(50);
    }
    EXPECT_EQ(log.matching({"snippets are not saved"}).size(), 1) << qPrintable(log.all().join('\n'));
    first.finishPendingSave(5000);
    EXPECT_TRUE(onDisk().contains("Q3"));
    EXPECT_TRUE(log.matching({"without a lock"}).isEmpty());

    // Only where the file system keeps no locks is the file written without one, said once; what
    // was written so is not taken for what both agreed on, so a save of the other's that did not
    // see it takes nothing away.
    {
        const NoLocksFolder noLocks(folder_.path(), ENOLCK);
        const QByteArray seenByOther = readFile();
        first.add(make(kIdP, "Z"));
        EXPECT_FALSE(first.savePending());
        writeFile(seenByOther);
        first.update(make(kIdQ, "Q4"));
    }
    EXPECT_TRUE(onDisk().contains("Z")) << qPrintable(onDisk().join(','));
    EXPECT_TRUE(onDisk().contains("Q4"));
    EXPECT_EQ(log.matching({"Snippets", "without a lock"}).size(), 1) << qPrintable(log.all().join('\n'));

    // The folder moved away (a backup) or removed, and made again by the next save here or by hand:
    // that save keeps every snippet, and each shows what the other saves there a moment after; so
    // it does what an editor rewrote in place.
    ASSERT_TRUE(TestSupport::waitFor([&] { return titles(second) == titles(first); }, 2000));
    const QString moved = folder_.path() + "-moved";
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"moved away", [&] { ASSERT_TRUE(QDir().rename(folder_.path(), moved)); }},
        {"removed", [&] { ASSERT_TRUE(QDir(folder_.path()).removeRecursively()); }},
        {"moved away and made again",
         [&] {
             ASSERT_TRUE(QDir(moved).removeRecursively());
             ASSERT_TRUE(QDir().rename(folder_.path(), moved));
             ASSERT_TRUE(QDir().mkdir(folder_.path()));
         }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        change();
        const QStringList before = titles(first);
        first.add({QUuid::createUuid(), name, {}, ReferenceDate::date(0)});
        EXPECT_EQ(onDisk(), QStringList(name) + before);
        EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second) == onDisk(); }, 2000))
            << qPrintable(titles(second).join(", "));
        second.remove(second.snippets().first());
        EXPECT_TRUE(TestSupport::waitFor([&] { return titles(first) == before; }, 2000))
            << qPrintable(titles(first).join(", "));
        QList<Snippet> edited = first.snippets();
        edited.first().title = QStringLiteral("edited");
        writeFile(SnippetStore::encode(edited));
        EXPECT_TRUE(TestSupport::waitFor(
            [&] { return titles(first).first() == "edited" && titles(second).first() == "edited"; }, 2000));
    }
    // One behind (stopped, or before its watch fired) when the folder goes: its save there, of a
    // list that never had the other's last saves, neither takes away nor sets back what they
    // added or edited, and its own edit of what the other saved before holds.
    for (const auto& [name, change] : {changes[0], changes[1]}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(TestSupport::waitFor([&] { return titles(second) == titles(first); }, 2000));
        QDir(moved).removeRecursively();
        second.add({QUuid::createUuid(), QStringLiteral("to remove ") + name, {}, ReferenceDate::date(0)});
        const Snippet removed = second.snippets()[0];
        Snippet seen = second.snippets()[1], edited = second.snippets()[2];
        const auto holds = [&removed](const QList<Snippet>& list) {
            return std::any_of(list.begin(), list.end(), [&removed](const Snippet& s) { return s.id == removed.id; });
        };
        seen.title = QStringLiteral("seen ") + name;
        second.update(seen);
        ASSERT_TRUE(TestSupport::waitFor([&] { return titles(first) == titles(second); }, 2000));
        const QString unseen = QStringLiteral("unseen ") + name;
        second.add({QUuid::createUuid(), unseen, {}, ReferenceDate::date(0)});
        edited.title = QStringLiteral("edited ") + name;
        second.update(edited);
        second.remove(removed);
        change();
        seen.title = name;
        first.update(seen);
        EXPECT_FALSE(onDisk().contains(unseen));
        EXPECT_TRUE(TestSupport::waitFor([&] { return titles(second).contains(name); }, 2000));
        EXPECT_TRUE(titles(second).contains(unseen) && titles(second).contains(edited.title))
            << qPrintable(titles(second).join(", "));
        EXPECT_FALSE(holds(second.snippets()));
        // Written back at once, and taken in by the one behind; a later save keeps it.
        EXPECT_TRUE(TestSupport::waitFor([&] { return titles(first).contains(unseen); }, 2000))
            << qPrintable(titles(first).join(", "));
        EXPECT_EQ(onDisk(), titles(second));
        second.add({QUuid::createUuid(), QStringLiteral("after ") + name, {}, ReferenceDate::date(0)});
        EXPECT_TRUE(onDisk().contains(unseen) && onDisk().contains(name) && onDisk().contains(edited.title))
            << qPrintable(onDisk().join(", "));
        EXPECT_TRUE(TestSupport::waitFor([&] { return titles(first) == onDisk(); }, 2000))
            << qPrintable(titles(first).join(", "));
        EXPECT_FALSE(holds(first.snippets()));
    }
    QDir(moved).removeRecursively();
}

// The starters shown for a missing file, while another instance saved its own list meanwhile:
// they are neither doubled nor written over what the other kept, and a change here to one of
// them holds.
TEST_F(SnippetStoreTest, StartersStandingInGiveWayToTheOthersSave) {
    struct Row {
        const char* name;
        std::function<void(SnippetStore&)> change;
        QStringList expected;
    };
    const QString answer = kStarterTitles[1];
    const std::vector<Row> rows = {
        {"add", [](SnippetStore& s) { s.add(make(kIdB, "Y")); }, {"Y", "X", kStarterTitles[0], answer}},
        {"edit the one the other removed",
         [](SnippetStore& s) {
             Snippet edited = s.snippets()[2];
             edited.body = "[{{x}}]";
             s.update(edited);
         },
         {kStarterTitles[2], "X", kStarterTitles[0], answer}},
        {"edit",
         [](SnippetStore& s) { s.update(make(s.snippets()[1].id.toString(), "Ответ коротко")); },
         {"Ответ коротко", "X", kStarterTitles[0]}},
        {"remove", [](SnippetStore& s) { s.remove(s.snippets()[0]); }, {"X", answer}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        SnippetStore here(folder.path());
        // The other instance's starters have ids of their own; it removed one and added X.
        QList<Snippet> theirs = {make(kIdA, "X")};
        for (const Snippet& starter : SnippetStore::starters().mid(0, 2))
            theirs.append({QUuid::createUuid(), starter.title, starter.body, starter.createdAt});
        QFile f(folder.filePath("snippets.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(SnippetStore::encode(theirs));
        f.close();

        row.change(here);
        EXPECT_EQ(titles(here), row.expected);
        EXPECT_EQ(SnippetStore(folder.path()).snippets(), here.snippets());
    }

    // The folder made by the other's first save shows its list here a moment after, unsaved.
    QTemporaryDir parent;
    const QString folder = parent.filePath("Snippets");
    SnippetStore here(folder), there(folder);
    there.add(make(kIdA, "X"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return titles(here) == QStringList({"X"}) + kStarterTitles; }, 2000))
        << qPrintable(titles(here).join(", "));
}
