// The toolbox window: opening it to its first frame, switching tools, a keystroke in a 1 MB input or
// in one long line, opening every node of a 10 MB JSON document, and opening a node of a million
// children. Offscreen by default; for the real thing run
//   QT_QPA_PLATFORM=xcb xvfb-run -a ./bench_toolbox_window
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Toolbox/JSONNode.h"
#include "Source/Features/Toolbox/JSONTool.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/JSONRow.h"
#include "Views/Toolbox/JSONTreeRows.h"
#include "Views/Toolbox/ToolboxView.h"
#include "Views/Toolbox/TransformPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QListView>
#include <QMainWindow>
#include <QThread>
#include <QTimer>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <functional>

namespace {

using Tool = ToolboxModel::Tool;

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processes events until the widget has painted, or a second has passed.
void untilPainted(QWidget* widget, PaintCounter& counter) {
    QElapsedTimer t;
    t.start();
    const int before = counter.paints;
    widget->installEventFilter(&counter);
    while (counter.paints == before && t.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    widget->removeEventFilter(&counter);
}

// From show() to the first frame of a window built afresh.
void BM_OpenToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        UserDefaults defaults{QString()};
        auto controller = std::make_unique<ToolboxWindowController>(defaults);
        PaintCounter counter;
        state.ResumeTiming();
        controller->show();
        untilPainted(controller->window(), counter);
        state.PauseTiming();
        controller.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(15);

// One sidebar choice, through the new pane's first frame, round the kinds of tool.
void BM_SwitchTool(benchmark::State& state) {
    UserDefaults defaults{QString()};
    ToolboxWindowController controller(defaults);
    controller.show();
    controller.model().setInput(QStringLiteral(R"({"a": [1, 2, 3], "b": {"c": "text"}, "d": null})"));
    spin(100);
    const std::vector<Tool> tools{Tool::forTransform(TextTransform::upper), Tool::jsonTree(),
                                  Tool::forTransform(TextTransform::countStats), Tool::password(),
                                  Tool::forTransform(TextTransform::slug), Tool::qr(), Tool::snippets()};
    size_t i = 0;
    PaintCounter counter;
    double worst = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        controller.model().setSelection(tools[i++ % tools.size()]);
        controller.window()->repaint();
        worst = std::max(worst, t.nsecsElapsed() / 1e6);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_SwitchTool)->Unit(benchmark::kMillisecond)->Iterations(70);

// Lines of Latin (0) or Han (1) text, or one line of Latin text with no line break (2), of at least the
// given size in UTF-8.
QString textOf(int kind, int megabytes) {
    const bool han = kind == 1;
    QString text;
    const QString line = han ? QStringLiteral("这是一个用于测试的中文句子，包含一些汉字和标点符号。")
                             : QStringLiteral("The quick brown fox jumps over the lazy dog, line after line.");
    while (text.toUtf8().size() < megabytes * 1024 * 1024) {
        for (int i = 0; i < 1000 * megabytes; ++i) text += line + QString::number(i) + (kind == 2 ? u' ' : u'\n');
    }
    return text;
}

// A keystroke in a large input with the slug transform selected: the time the GUI thread spends on the
// key itself, and the longest time it is held while the result comes back and shows. The caret stands
// at the end, or in the middle (where a fix in a pasted line is typed).
void keystrokes(benchmark::State& state, QString text, bool middle) {
    UserDefaults defaults{QString()};
    ToolboxWindowController controller(defaults);
    controller.show();
    controller.model().setSelection(Tool::forTransform(TextTransform::slug));
    controller.model().setInput(text);
    // A pasted text is held by the program alone: a second reference here would make the model copy
    // its input at the first key, which no user's key does.
    const qsizetype length = text.size();
    text = QString();
    QCoreApplication::processEvents();
    while (controller.model().isWorking()) spin(20);
    auto* pane = qobject_cast<TransformPane*>(controller.view()->pane());
    CodeTextView* input = pane->inputView();
    input->setFocus();
    if (middle) {
        QTextCursor cursor = input->textCursor();
        cursor.setPosition(int(length / 2));
        input->setTextCursor(cursor);
    } else {
        input->moveCursor(QTextCursor::End);
    }
    QCoreApplication::processEvents();
    double worstKey = 0, worstTurn = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(input, &press);
        QApplication::sendEvent(input, &release);
        QCoreApplication::processEvents();  // the repaint the key asks for
        const double key = t.nsecsElapsed() / 1e6;
        worstKey = std::max(worstKey, key);
        state.SetIterationTime(key / 1e3);
        state.PauseTiming();
        // Until the result is in and shown (one turn more: its repaint is not the next key's): every turn
        // of the event loop in between is timed.
        for (bool shown = false; !shown;) {
            shown = !controller.model().isWorking();
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            worstTurn = std::max(worstTurn, turn.nsecsElapsed() / 1e6);
            QThread::msleep(1);
        }
        state.ResumeTiming();
    }
    state.counters["worst_key_ms"] = worstKey;
    state.counters["worst_turn_ms"] = worstTurn;
}

// At the end of 1 MB of lines: Latin (0) or Han (1).
void BM_KeystrokeInOneMegabyte(benchmark::State& state) { keystrokes(state, textOf(int(state.range(0)), 1), false); }
BENCHMARK(BM_KeystrokeInOneMegabyte)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// One line of the given number of megabytes without a line break (pasted minified JSON), the key at its
// end (0) or in its middle (1).
void BM_KeystrokeInSingleLine(benchmark::State& state) {
    keystrokes(state, textOf(2, int(state.range(0))), state.range(1) == 1);
}
BENCHMARK(BM_KeystrokeInSingleLine)
    ->ArgNames({"MB", "middle"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({5, 0})
    ->Args({5, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// About 10 MB of records in an array.
QString tenMegabytes() {
    QString text = QStringLiteral("[");
    for (int i = 0; text.size() < 10'000'000; ++i) {
        if (i > 0) text += u',';
        text += QString::asprintf(
            R"({"id":%d,"name":"Запись %d","price":%d.%02d,"ok":%s,"tags":["alpha","beta/gamma","日本"],)"
            R"("owner":{"first":"Anna","last":"Müller","age":%d,"note":null}})",
            i, i, i % 1000, i % 100, i % 2 ? "true" : "false", 20 + i % 50);
    }
    return text + u']';
}

// Every node of the document opened: children built, the open set and the rows of a list view.
void BM_ExpandEveryNode(benchmark::State& state) {
    const JSONValue parsed = JSONTool::parse(tenMegabytes()).value();
    qint64 rowsShown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto rows = std::make_unique<JSONTreeRows>();
        QListView list;
        list.setModel(rows.get());
        auto* delegate = new JSONRow(*rows, &list);
        list.setItemDelegate(delegate);
        list.setUniformItemSizes(false);
        list.setLayoutMode(QListView::Batched);
        list.setBatchSize(4000);
        list.resize(700, 500);
        list.show();
        rows->setRoot(std::make_unique<JSONNode>(JSONValue(parsed)));
        QCoreApplication::processEvents();
        state.ResumeTiming();
        QSet<const JSONNode*> open;
        std::vector<JSONNode*> stack{rows->root()};
        while (!stack.empty()) {
            JSONNode* node = stack.back();
            stack.pop_back();
            if (!node->isContainer()) continue;
            node->loadChildrenIfNeeded();
            open.insert(node);
            for (JSONNode* child : *node->children()) stack.push_back(child);
        }
        rows->setExpanded(std::move(open));
        list.doItemsLayout();
        list.repaint();
        rowsShown = rows->rowCount();
        state.PauseTiming();
        list.setModel(nullptr);
        rows.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rowsShown);
}
BENCHMARK(BM_ExpandEveryNode)->Unit(benchmark::kMillisecond)->Iterations(3);

// The process's resident memory, in MB.
double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / 1e6 : 0;
}

// Turns of the event loop until `done`, the longest of them in ms.
double longestTurnUntil(const std::function<bool()>& done) {
    double longest = 0;
    QElapsedTimer overall;
    overall.start();
    while (!done() && overall.elapsed() < 120'000) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        longest = std::max(longest, turn.nsecsElapsed() / 1e6);
        QThread::msleep(1);
    }
    return longest;
}

// The tree of a top-level array of a million numbers (0) or an object of a million keys (1), in the
// pane's list: the parsed root opening, the list measuring its rows until the last one shows, then
// closing and opening the root again. Counts the longest hold of the GUI thread (the opening itself or
// one turn of the event loop after it) and the memory the open tree adds to the parsed document.
void BM_OpenMillionChildren(benchmark::State& state) {
    const bool keyed = state.range(0) == 1;
    QString text = keyed ? QStringLiteral("{") : QStringLiteral("[");
    for (int i = 0; i < 1'000'000; ++i) {
        if (i > 0) text += u',';
        if (keyed) text += QString::asprintf("\"k%07d\":", (i * 7919) % 1000003);
        text += QString::number(i * 3);
    }
    text += keyed ? u'}' : u']';
    JSONValue parsed = JSONTool::parse(text).value();
    text.clear();
    JSONNode::arrange(parsed);  // the pane's background work, after the parse
    double worstOpen = 0, worstReopen = 0, addedMB = 0, openCall = 0, reopenCall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto rows = std::make_unique<JSONTreeRows>();
        auto list = std::make_unique<QListView>();
        list->setModel(rows.get());
        list->setItemDelegate(new JSONRow(*rows, list.get()));
        list->setUniformItemSizes(false);
        list->setLayoutMode(QListView::Batched);
        list->setBatchSize(4000);
        list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        list->resize(700, 500);
        list->show();
        QCoreApplication::processEvents();
        auto root = std::make_unique<JSONNode>(JSONValue(parsed), true);
        malloc_trim(0);
        const double before = residentMegabytes();
        state.ResumeTiming();
        QElapsedTimer open;
        open.start();
        rows->setRoot(std::move(root));
        openCall = open.nsecsElapsed() / 1e6;
        worstOpen = std::max(worstOpen, openCall);
        const auto lastRowShows = [&] {
            list->scrollToBottom();
            list->viewport()->repaint();
            return list->indexAt(QPoint(40, list->viewport()->height() - 4)).row() == rows->rowCount() - 1;
        };
        worstOpen = std::max(worstOpen, longestTurnUntil(lastRowShows));
        addedMB = residentMegabytes() - before;
        rows->toggle(0);  // closes
        QCoreApplication::processEvents();
        QElapsedTimer reopen;
        reopen.start();
        rows->toggle(0);
        reopenCall = reopen.nsecsElapsed() / 1e6;
        worstReopen = std::max(worstReopen, reopenCall);
        worstReopen = std::max(worstReopen, longestTurnUntil(lastRowShows));
        state.PauseTiming();
        list.reset();
        rows.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["worst_open_ms"] = worstOpen;
    state.counters["worst_reopen_ms"] = worstReopen;
    state.counters["open_call_ms"] = openCall;
    state.counters["reopen_call_ms"] = reopenCall;
    state.counters["rss_added_MB"] = addedMB;
}
BENCHMARK(BM_OpenMillionChildren)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
