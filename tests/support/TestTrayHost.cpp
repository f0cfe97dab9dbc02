#include "TestTrayHost.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace {
constexpr uint32_t kRequestDock = 0;       // SYSTEM_TRAY_REQUEST_DOCK
constexpr uint32_t kEmbeddedNotify = 0;    // XEMBED_EMBEDDED_NOTIFY
constexpr int kPadding = 2;

uint32_t pixel(const QColor& c) { return (uint32_t(c.red()) << 16) | (uint32_t(c.green()) << 8) | uint32_t(c.blue()); }
}  // namespace

TestTrayHost::TestTrayHost(Options options) : options_(std::move(options)) {}

TestTrayHost::~TestTrayHost() {
    stop();
    if (connection_) xcb_disconnect(connection_);
}

quint32 TestTrayHost::atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, uint16_t(std::strlen(name)), name), nullptr);
    const quint32 a = reply ? reply->atom : 0;
    std::free(reply);
    return a;
}

bool TestTrayHost::start() {
    if (panel_) return true;
    if (!connection_) {
        int screenNumber = 0;
        connection_ = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection_)) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
            return false;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
        for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
        root_ = it.data->root;
        screenWidth_ = it.data->width_in_pixels;
        selection_ = atom(("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber)).c_str());
        notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &TestTrayHost::processEvents);
    }
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr);
    const bool taken = owner && owner->owner != XCB_NONE;
    std::free(owner);
    if (taken) return false;

    panel_ = xcb_generate_id(connection_);
    const uint32_t values[] = {pixel(options_.background), 1,
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, panel_, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const uint32_t horizontal = 0;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, panel_, atom("_NET_SYSTEM_TRAY_ORIENTATION"),
                        XCB_ATOM_CARDINAL, 32, 1, &horizontal);
    if (options_.foreground) {
        uint32_t colors[12];
        const QColor f = *options_.foreground;
        for (int i = 0; i < 4; ++i) {
            colors[i * 3] = uint32_t(f.red()) * 257;
            colors[i * 3 + 1] = uint32_t(f.green()) * 257;
            colors[i * 3 + 2] = uint32_t(f.blue()) * 257;
        }
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, panel_, atom("_NET_SYSTEM_TRAY_COLORS"),
                            XCB_ATOM_CARDINAL, 32, 12, colors);
    }
    layout();
    xcb_map_window(connection_, panel_);
    xcb_set_selection_owner(connection_, panel_, selection_, XCB_CURRENT_TIME);

    // Tell the clients (ICCCM MANAGER message on the root window).
    xcb_client_message_event_t manager{};
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = root_;
    manager.type = atom("MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection_;
    manager.data.data32[2] = panel_;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&manager));
    xcb_flush(connection_);
    processEvents();
    return true;
}

void TestTrayHost::stop() {
    if (!panel_) return;
    const std::vector<quint32> icons = icons_;
    for (quint32 icon : icons) undock(icon, true);
    xcb_destroy_window(connection_, panel_);
    panel_ = 0;
    xcb_flush(connection_);
}

void TestTrayHost::quit() {
    if (!connection_) return;
    delete notifier_;
    notifier_ = nullptr;
    xcb_disconnect(connection_);
    connection_ = nullptr;
    panel_ = 0;
    icons_.clear();
}

std::vector<quint32> TestTrayHost::icons() const { return icons_; }

QRect TestTrayHost::panelScreenRect() const {
    const int width = kPadding * 2 + std::max<int>(1, int(icons_.size())) * options_.iconSize;
    return QRect(screenWidth_ - width, 0, width, options_.iconSize + 2 * kPadding);
}

QRect TestTrayHost::iconScreenRect(quint32 icon) const {
    auto it = std::find(icons_.begin(), icons_.end(), icon);
    if (it == icons_.end()) return {};
    const QRect panel = panelScreenRect();
    const int index = int(it - icons_.begin());
    return QRect(panel.x() + kPadding + index * options_.iconSize, panel.y() + kPadding, options_.iconSize,
                 options_.iconSize);
}

void TestTrayHost::layout() {
    if (!panel_) return;
    const QRect panel = panelScreenRect();
    const uint32_t geometry[] = {uint32_t(panel.x()), uint32_t(panel.y()), uint32_t(panel.width()),
                                 uint32_t(panel.height())};
    xcb_configure_window(connection_, panel_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         geometry);
    for (quint32 icon : icons_) {
        const QRect r = iconScreenRect(icon).translated(-panel.topLeft());
        const uint32_t g[] = {uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()), uint32_t(r.height())};
        xcb_configure_window(connection_, icon,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             g);
    }
    xcb_flush(connection_);
}

void TestTrayHost::dock(quint32 icon) {
    if (!panel_ || std::find(icons_.begin(), icons_.end(), icon) != icons_.end()) return;
    // A client may have replaced the window since it asked.
    xcb_get_window_attributes_reply_t* alive =
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, icon), nullptr);
    std::free(alive);
    if (!alive) return;
    icons_.insert(icons_.begin(), icon);
    const uint32_t mask[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(connection_, icon, XCB_CW_EVENT_MASK, mask);
    // Should this host die, the server hands the icons back to the root window.
    xcb_change_save_set(connection_, XCB_SET_MODE_INSERT, icon);
    xcb_reparent_window(connection_, icon, panel_, 0, 0);
    layout();
    xcb_client_message_event_t notify{};
    notify.response_type = XCB_CLIENT_MESSAGE;
    notify.format = 32;
    notify.window = icon;
    notify.type = atom("_XEMBED");
    notify.data.data32[0] = XCB_CURRENT_TIME;
    notify.data.data32[1] = kEmbeddedNotify;
    notify.data.data32[3] = panel_;
    xcb_send_event(connection_, 0, icon, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_map_window(connection_, icon);
    xcb_flush(connection_);
}

void TestTrayHost::undock(quint32 icon, bool reparent) {
    auto it = std::find(icons_.begin(), icons_.end(), icon);
    if (it == icons_.end()) return;
    icons_.erase(it);
    if (reparent) {
        xcb_unmap_window(connection_, icon);
        xcb_reparent_window(connection_, icon, root_, 0, 0);
        xcb_change_save_set(connection_, XCB_SET_MODE_DELETE, icon);
    }
    layout();
}

void TestTrayHost::processEvents() {
    if (!connection_) return;
    const quint32 opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        switch (event->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == opcode && message->data.data32[1] == kRequestDock) dock(message->data.data32[2]);
            break;
        }
        case XCB_DESTROY_NOTIFY:
            undock(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window, false);
            break;
        case XCB_REPARENT_NOTIFY: {
            auto* reparent = reinterpret_cast<xcb_reparent_notify_event_t*>(event);
            if (reparent->parent != panel_) undock(reparent->window, false);
            break;
        }
        case XCB_SELECTION_CLEAR:
            stop();
            break;
        default:
            break;
        }
        std::free(event);
    }
    xcb_flush(connection_);
}
