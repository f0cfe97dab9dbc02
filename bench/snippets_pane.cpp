// The snippets pane with a snippet of 300 or 1,000 placeholders: selecting it, a key at the end of its
// text, and a key inside a placeholder's name (one name goes, another comes). Each case is timed
// through the layout and paint it causes; the CPU column is the GUI thread's own time. The aim is
// 100 ms for each at 1,000 placeholders. Offscreen by default; for the real thing run
//   QT_QPA_PLATFORM=xcb xvfb-run -a ./bench_snippets_pane
#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/SnippetsPane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QUuid>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Lines of prose with placeholders in them, a few to a line.
QString bodyWith(int placeholders) {
    QString body;
    for (int i = 0; i < placeholders; ++i) {
        body += QStringLiteral("Поле {{значение %1}}").arg(i);
        body += i % 4 == 3 ? QStringLiteral(".\n") : QStringLiteral(", ");
    }
    return body;
}

struct Fixture {
    FakePasteboard pasteboard;
    QTemporaryDir folder;
    std::unique_ptr<SnippetStore> store;
    std::unique_ptr<SnippetsPane> pane;
    Snippet big;

    explicit Fixture(int placeholders) {
        Pasteboard::setGeneral(&pasteboard);
        store = std::make_unique<SnippetStore>(folder.path());
        big = Snippet{QUuid::createUuid(), QStringLiteral("Много полей"), bodyWith(placeholders),
                      QDateTime::currentDateTimeUtc()};
        store->add(big);
        pane = std::make_unique<SnippetsPane>(store.get());
        pane->resize(700, 640);
        pane->show();
        settle();
    }
    ~Fixture() {
        pane.reset();
        store.reset();
        Pasteboard::setGeneral(nullptr);
    }

    // Everything the change left to the event loop: layout, paint, widgets deleted later.
    static void settle() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void selectBig() { pane->model().setSelection(big.id); }
    void selectOther() { pane->model().setSelection(store->snippets().at(1).id); }

    void type(const QString& key) {
        CodeTextView* editor = pane->templateEditor();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, key);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, key);
        QApplication::sendEvent(editor, &press);
        QApplication::sendEvent(editor, &release);
    }
    void caretAt(int position) {
        CodeTextView* editor = pane->templateEditor();
        editor->setFocus();
        QTextCursor cursor = editor->textCursor();
        cursor.setPosition(position);
        editor->setTextCursor(cursor);
    }
};

void BM_SelectSnippet(benchmark::State& state) {
    Fixture f(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        f.selectOther();
        Fixture::settle();
        state.ResumeTiming();
        f.selectBig();
        Fixture::settle();
    }
    state.counters["fields"] = double(f.pane->placeholderFields().size());
}
BENCHMARK(BM_SelectSnippet)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KeyAtEndOfBody(benchmark::State& state) {
    Fixture f(int(state.range(0)));
    f.selectBig();
    Fixture::settle();
    f.caretAt(int(f.big.body.size()));
    for (auto _ : state) {
        f.type(QStringLiteral("a"));
        Fixture::settle();
    }
}
BENCHMARK(BM_KeyAtEndOfBody)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Inside the name of the middle placeholder: every key renames it.
void BM_KeyInPlaceholderName(benchmark::State& state) {
    const int count = int(state.range(0));
    Fixture f(count);
    f.selectBig();
    Fixture::settle();
    const QString middle = QStringLiteral("{{значение %1}}").arg(count / 2);
    f.caretAt(int(f.big.body.indexOf(middle) + 4));
    for (auto _ : state) {
        f.type(QStringLiteral("x"));
        Fixture::settle();
    }
}
BENCHMARK(BM_KeyInPlaceholderName)->Arg(300)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
