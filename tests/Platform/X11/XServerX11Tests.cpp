// Every X event reaches every subscriber, whichever subscribed first and whichever takes it, and
// one that a subscriber takes is hidden from Qt.
#include "Platform/X11/XServer.h"
#include "TestSupport.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include <xcb/xcb.h>

namespace {

// Qt turns a window manager's request to close a window into a close event; this counts them and
// keeps the window.
class CloseCounter : public QObject {
public:
    int closes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close) return false;
        ++closes;
        event->ignore();
        return true;
    }
};

// Notes the mark of each close request to the window; takes those marked `taken` when it `takes`.
class Listener : public QObject {
public:
    Listener(xcb_window_t window, bool takes, uint32_t taken) {
        const xcb_atom_t protocols = XServer::atom("WM_PROTOCOLS");
        XServer::subscribe(this, [=, this](const xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->window != window || message->type != protocols) return false;
            marks.push_back(message->data.data32[2]);
            return takes && message->data.data32[2] == taken;
        });
    }
    std::vector<uint32_t> marks;
};

// A close request as a window manager sends it, with a mark of ours in its third word.
void askToClose(xcb_window_t window, uint32_t mark) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = XServer::atom("WM_PROTOCOLS");
    event.data.data32[0] = XServer::atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = mark;
    xcb_send_event(XServer::connection(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(XServer::connection());
}

}  // namespace

TEST(XServerX11, ATakenEventReachesEverySubscriberButNotQt) {
    ASSERT_NE(XServer::connection(), nullptr);
    constexpr uint32_t taken = 1, left = 2;
    struct Order {
        const char* name;
        size_t taker;  // which of the subscribers, in the order they subscribed, takes the event
    };
    for (const Order order :
         {Order{"taken by the first", 0}, Order{"taken by the middle one", 1}, Order{"taken by the last", 2}}) {
        SCOPED_TRACE(order.name);
        QWindow window;
        window.create();
        CloseCounter qt;
        window.installEventFilter(&qt);
        const auto id = xcb_window_t(window.winId());
        std::vector<std::unique_ptr<Listener>> listeners;
        for (size_t i = 0; i < 3; ++i) listeners.push_back(std::make_unique<Listener>(id, i == order.taker, taken));

        askToClose(id, taken);
        askToClose(id, left);
        // Qt handles them in the order sent: once the second has reached it, the first has gone by.
        ASSERT_TRUE(TestSupport::waitFor([&] { return qt.closes > 0; }));
        EXPECT_EQ(qt.closes, 1);
        for (size_t i = 0; i < listeners.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(listeners[i]->marks, (std::vector<uint32_t>{taken, left}));
        }
    }
}
