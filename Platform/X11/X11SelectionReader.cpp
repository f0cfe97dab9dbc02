#include "Platform/X11/X11SelectionReader.h"

#include <QHash>
#include <QLoggingCategory>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

Q_LOGGING_CATEGORY(lcSelection, "com.pelwick.Quorvin.Pasteboard", QtInfoMsg)

namespace {

using SteadyClock = std::chrono::steady_clock;

// The type list itself is small; a longer one is cut.
constexpr qsizetype kMaxTargetsBytes = 64 * 1024;
constexpr qsizetype kMaxHintBytes = 64;

// Targets that are protocol, not contents.
const QStringList kProtocolTargets = {QStringLiteral("TARGETS"),         QStringLiteral("MULTIPLE"),
                                      QStringLiteral("TIMESTAMP"),       QStringLiteral("SAVE_TARGETS"),
                                      QStringLiteral("DELETE"),          QStringLiteral("INSERT_SELECTION"),
                                      QStringLiteral("INSERT_PROPERTY"), QStringLiteral("COMPOUND_TEXT")};
// Text targets, most wanted first; all read as "text/plain". STRING and TEXT come as Latin-1.
const QStringList kTextTargets = {QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain;charset=utf-8"),
                                  QStringLiteral("text/plain"), QStringLiteral("STRING"), QStringLiteral("TEXT")};

template <typename T>
struct Freed {
    T* p;
    explicit Freed(T* ptr) : p(ptr) {}
    ~Freed() { std::free(p); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

}  // namespace

// The reader's own X connection and what it knows of the selection. Reader thread only.
class X11SelectionReader::Connection {
public:
    enum class Outcome { ok, refused, silent, changed, stopped };
    struct Fetched {
        Outcome outcome = Outcome::refused;
        QByteArray bytes;
        bool truncated = false;
        xcb_atom_t type = XCB_NONE;
    };

    X11SelectionReader& reader;
    xcb_connection_t* c = nullptr;
    xcb_window_t window = XCB_NONE;
    xcb_atom_t clipboard = XCB_NONE, targets = XCB_NONE, incr = XCB_NONE, atomType = XCB_NONE;
    xcb_atom_t stringType = XCB_NONE;
    xcb_atom_t properties[4] = {};
    unsigned nextProperty = 0;
    int propertySerial = 0;
    uint8_t xfixesFirstEvent = 0;
    xcb_window_t owner = XCB_NONE;
    QHash<QString, xcb_atom_t> atoms;
    QHash<xcb_atom_t, QString> names;

    explicit Connection(X11SelectionReader& r) : reader(r) {}
    ~Connection() {
        if (c) xcb_disconnect(c);
    }

    bool open() {
        c = xcb_connect(nullptr, nullptr);
        if (!c || xcb_connection_has_error(c)) return false;
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
        if (!ext || !ext->present) return false;
        xfixesFirstEvent = ext->first_event;
        Freed<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        if (!version) return false;

        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        if (!screen) return false;
        window = xcb_generate_id(c);
        const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);

        clipboard = atom(QStringLiteral("CLIPBOARD"));
        targets = atom(QStringLiteral("TARGETS"));
        incr = atom(QStringLiteral("INCR"));
        atomType = XCB_ATOM_ATOM;
        stringType = XCB_ATOM_STRING;
        for (xcb_atom_t& property : properties) property = atom(QStringLiteral("_QUORVIN_SELECTION_%1").arg(propertySerial++));
        if (!clipboard || !targets || !incr || !properties[3]) return false;

        xcb_xfixes_select_selection_input(c, window, clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        Freed<xcb_get_selection_owner_reply_t> current(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
        if (current) owner = current->owner;
        xcb_flush(c);
        return !xcb_connection_has_error(c);
    }

    xcb_atom_t atom(const QString& name) {
        if (auto it = atoms.constFind(name); it != atoms.constEnd()) return *it;
        const QByteArray latin = name.toLatin1();
        Freed<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(latin.size()), latin.constData()), nullptr));
        if (!reply) return XCB_NONE;
        atoms.insert(name, reply->atom);
        names.insert(reply->atom, name);
        return reply->atom;
    }

    QString atomName(xcb_atom_t value) {
        if (auto it = names.constFind(value); it != names.constEnd()) return *it;
        Freed<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, value), nullptr));
        if (!reply) return {};
        const QString name = QString::fromLatin1(xcb_get_atom_name_name(reply.p), xcb_get_atom_name_name_length(reply.p));
        names.insert(value, name);
        atoms.insert(name, value);
        return name;
    }

    bool isOwn(xcb_window_t w) const {
        const uint32_t mask = reader.ownMask_.load();
        return mask != 0 && w != XCB_NONE && (w & ~mask) == reader.ownBase_.load();
    }

    // An owner change. True when it counts as a change (another client's doing).
    bool handleEvent(xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != uint8_t(xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY)) return false;
        auto* notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection != clipboard) return false;
        const xcb_window_t previous = owner;
        owner = notify->owner;
        // Our own writes were counted when they were made, our own clear too; our own window
        // going away at exit is no copy.
        const bool own = isOwn(notify->owner) || (notify->owner == XCB_NONE && isOwn(previous));
        if (own) return false;
        ++reader.changeCount_;
        reader.watchPending_ = true;
        if (reader.onChange_) reader.onChange_();
        return true;
    }

    // Handles whatever has arrived. True when another client changed the selection meanwhile.
    bool drain() {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            changed = handleEvent(event) || changed;
            std::free(event);
        }
        return changed;
    }

    // Sleeps until the connection or the wake-up descriptor has something, or the time is up.
    void sleep(int timeoutMs) {
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {reader.wakeFd_, POLLIN, 0}};
        ::poll(fds, 2, timeoutMs);
        if (fds[1].revents & POLLIN) {
            uint64_t value;
            [[maybe_unused]] ssize_t n = ::read(reader.wakeFd_, &value, sizeof value);
        }
    }

    bool stopping() {
        std::lock_guard lock(reader.mutex_);
        return reader.stopping_;
    }

    // Waits for the event `wanted` accepts; other events are handled on the way. `outcome` says why
    // nothing came: silent (time up), changed (another owner took over) or stopped.
    template <typename Wanted>
    xcb_generic_event_t* waitFor(Wanted wanted, Outcome& outcome) {
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(requestTimeoutMs);
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                if (wanted(event)) return event;
                const bool changed = handleEvent(event);
                std::free(event);
                if (changed) {
                    outcome = Outcome::changed;
                    return nullptr;
                }
            }
            if (xcb_connection_has_error(c) || stopping()) {
                outcome = Outcome::stopped;
                return nullptr;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0) {
                outcome = Outcome::silent;
                return nullptr;
            }
            sleep(int(left.count()) + 1);
        }
    }

    // Asks the owner for `target` and reads at most `maxBytes` of it.
    Fetched fetch(xcb_atom_t target, qsizetype maxBytes) {
        const unsigned slot = nextProperty++ % 4;
        Fetched result = fetchInto(properties[slot], target, maxBytes);
        // An owner left behind may still write there (a late answer, the next piece of an
        // abandoned transfer): later requests use another property.
        if (result.outcome != Outcome::ok && result.outcome != Outcome::refused) retire(slot);
        else if (result.truncated) retire(slot);
        return result;
    }

    void retire(unsigned slot) {
        if (const xcb_atom_t fresh = atom(QStringLiteral("_QUORVIN_SELECTION_%1").arg(propertySerial++)))
            properties[slot] = fresh;
    }

    Fetched fetchInto(xcb_atom_t property, xcb_atom_t target, qsizetype maxBytes) {
        Fetched result;
        xcb_delete_property(c, window, property);
        xcb_convert_selection(c, window, clipboard, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);

        Outcome outcome = Outcome::silent;
        xcb_generic_event_t* event = waitFor(
            [&](xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
                auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
                return n->requestor == window && n->selection == clipboard && n->target == target &&
                       (n->property == property || n->property == XCB_NONE);
            },
            outcome);
        if (!event) {
            result.outcome = outcome;
            return result;
        }
        const xcb_atom_t given = reinterpret_cast<xcb_selection_notify_event_t*>(event)->property;
        std::free(event);
        if (given == XCB_NONE) return result;  // refused

        // One word more than wanted tells whether there is more.
        const uint32_t words = uint32_t(std::min<qsizetype>(maxBytes / 4 + 2, 0x7fffffff));
        Freed<xcb_get_property_reply_t> first(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words), nullptr));
        if (!first) return result;
        result.type = first->type;
        if (first->type != incr) {
            append(result, first.p, maxBytes);
            if (first->bytes_after > 0) result.truncated = true;
            xcb_delete_property(c, window, property);
            xcb_flush(c);
            result.outcome = Outcome::ok;
            return result;
        }

        // INCR: deleting the property asks for each next piece; an empty piece ends the transfer.
        result.type = XCB_NONE;
        xcb_delete_property(c, window, property);
        xcb_flush(c);
        for (;;) {
            xcb_generic_event_t* piece = waitForPiece(property, outcome);
            if (!piece) {
                result.outcome = outcome;
                result.bytes.clear();
                return result;
            }
            std::free(piece);
            const qsizetype room = maxBytes - result.bytes.size();
            const uint32_t pieceWords = uint32_t(std::min<qsizetype>(room / 4 + 2, 0x7fffffff));
            Freed<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, pieceWords), nullptr));
            xcb_delete_property(c, window, property);
            xcb_flush(c);
            if (!reply) return result;
            if (result.type == XCB_NONE) result.type = reply->type;
            const int length = xcb_get_property_value_length(reply.p);
            if (length == 0 && reply->bytes_after == 0) break;
            append(result, reply.p, maxBytes);
            if (reply->bytes_after > 0 || result.truncated) {
                result.truncated = true;
                drainIncr(property);
                break;
            }
        }
        result.outcome = Outcome::ok;
        return result;
    }

    // The next piece of an INCR transfer: the owner has put it in the property.
    xcb_generic_event_t* waitForPiece(xcb_atom_t property, Outcome& outcome) {
        return waitFor(
            [&](xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
                auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e);
                return n->window == window && n->atom == property && n->state == XCB_PROPERTY_NEW_VALUE;
            },
            outcome);
    }

    // Takes and drops the rest of a transfer we have read enough of: an owner whose transfer is
    // left unfinished may wait for it for good and then serve nobody else (xclip does).
    void drainIncr(xcb_atom_t property) {
        qint64 dropped = 0;
        while (dropped < maxDrainBytes) {
            Outcome outcome = Outcome::silent;
            xcb_generic_event_t* piece = waitForPiece(property, outcome);
            if (!piece) return;
            std::free(piece);
            Freed<xcb_get_property_reply_t> reply(xcb_get_property_reply(
                c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
            xcb_delete_property(c, window, property);
            xcb_flush(c);
            if (!reply || reply->bytes_after == 0) return;  // the empty piece that ends it
            dropped += reply->bytes_after;
        }
    }

    static void append(Fetched& result, xcb_get_property_reply_t* reply, qsizetype maxBytes) {
        const int length = xcb_get_property_value_length(reply);
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
        const qsizetype room = maxBytes - result.bytes.size();
        if (length > room) {
            result.bytes.append(bytes, room);
            result.truncated = true;
        } else {
            result.bytes.append(bytes, length);
        }
    }

    PasteboardContents read(const PasteboardReadPlan& plan) {
        PasteboardContents contents;
        drain();
        const qint64 start = reader.changeCount_.load();
        contents.changeCount = start;
        auto finish = [&](Outcome outcome) {
            if (outcome == Outcome::silent) contents.status = PasteboardContents::Status::ownerSilent;
            if (outcome == Outcome::changed || reader.changeCount_.load() != start)
                contents.status = PasteboardContents::Status::changed;
            if (outcome == Outcome::stopped) contents.status = PasteboardContents::Status::ownerSilent;
            if (contents.status != PasteboardContents::Status::read) {
                contents.data.clear();
                contents.truncated.clear();
            }
            return contents;
        };
        if (owner == XCB_NONE) return finish(Outcome::ok);

        const Fetched list = fetch(targets, kMaxTargetsBytes);
        if (list.outcome != Outcome::ok && list.outcome != Outcome::refused) return finish(list.outcome);
        QStringList offered;
        if (list.outcome == Outcome::ok && list.type == atomType) {
            const auto* values = reinterpret_cast<const xcb_atom_t*>(list.bytes.constData());
            const qsizetype count = list.bytes.size() / qsizetype(sizeof(xcb_atom_t));
            for (qsizetype i = 0; i < count; ++i) {
                const QString name = atomName(values[i]);
                if (!name.isEmpty() && !offered.contains(name)) offered.append(name);
            }
        }
        bool text = false;
        for (const QString& name : offered) {
            if (kProtocolTargets.contains(name)) continue;
            if (kTextTargets.contains(name)) {
                if (!text) contents.types.append(PasteboardType::string);
                text = true;
                continue;
            }
            contents.types.append(name);
        }

        if (contents.types.contains(PasteboardType::passwordManagerHint)) {
            const Fetched hint = fetch(atom(PasteboardType::passwordManagerHint), kMaxHintBytes);
            if (hint.outcome != Outcome::ok && hint.outcome != Outcome::refused) return finish(hint.outcome);
            if (hint.bytes.trimmed() == "secret" && !contents.types.contains(PasteboardType::concealed))
                contents.types.append(PasteboardType::concealed);
        }

        Outcome outcome = Outcome::ok;
        Pasteboard::runReadPlan(contents, plan, [&](const PasteboardFetch& want) {
            xcb_atom_t target = XCB_NONE;
            if (want.type == PasteboardType::string) {
                for (const QString& name : kTextTargets) {
                    if (offered.contains(name)) {
                        target = atom(name);
                        break;
                    }
                }
            } else if (offered.contains(want.type)) {
                target = atom(want.type);
            }
            if (target == XCB_NONE) return true;
            Fetched got = fetch(target, want.maxBytes);
            if (got.outcome != Outcome::ok && got.outcome != Outcome::refused) {
                outcome = got.outcome;
                return false;
            }
            if (got.outcome == Outcome::refused) return true;
            if (want.type == PasteboardType::string && got.type == stringType)
                got.bytes = QString::fromLatin1(got.bytes).toUtf8();
            contents.data.append({want.type, got.bytes});
            if (got.truncated) contents.truncated.append(want.type);
            return true;
        });
        return finish(outcome);
    }
};

X11SelectionReader::X11SelectionReader(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    x_ = std::make_unique<Connection>(*this);
    if (wakeFd_ < 0 || !x_->open()) {
        qCWarning(lcSelection, "The clipboard cannot be watched: no X server with XFixes");
        x_.reset();
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

X11SelectionReader::~X11SelectionReader() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
    x_.reset();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void X11SelectionReader::setOwnClient(uint32_t resourceBase, uint32_t resourceMask) {
    ownBase_ = resourceBase;
    ownMask_ = resourceMask;
}

qint64 X11SelectionReader::countOwnChange() {
    const qint64 count = ++changeCount_;
    watchPending_ = true;
    wake();
    return count;
}

void X11SelectionReader::watch(PasteboardReadPlan plan, Done done) {
    {
        std::lock_guard lock(mutex_);
        watch_ = {std::move(plan), std::move(done)};
    }
    wake();
}

void X11SelectionReader::read(PasteboardReadPlan plan, Done done) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back({std::move(plan), std::move(done)});
    }
    wake();
}

void X11SelectionReader::wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void X11SelectionReader::run() {
    for (;;) {
        x_->drain();
        std::optional<Request> request;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            if (watch_.plan && watchPending_.exchange(false)) {
                request = watch_;
            } else if (!requests_.empty()) {
                request = std::move(requests_.front());
                requests_.pop_front();
            }
        }
        if (request) {
            PasteboardContents contents = x_->read(request->plan);
            if (request->done) request->done(std::move(contents));
            continue;
        }
        if (xcb_connection_has_error(x_->c)) {
            qCWarning(lcSelection, "Lost the X connection that watches the clipboard");
            // Answer what is asked from now on without the owner.
            std::unique_lock lock(mutex_);
            while (!stopping_) {
                while (!requests_.empty()) {
                    Request r = std::move(requests_.front());
                    requests_.pop_front();
                    lock.unlock();
                    PasteboardContents contents;
                    contents.status = PasteboardContents::Status::ownerSilent;
                    contents.changeCount = changeCount_.load();
                    if (r.done) r.done(std::move(contents));
                    lock.lock();
                }
                lock.unlock();
                pollfd fd{wakeFd_, POLLIN, 0};
                ::poll(&fd, 1, -1);
                uint64_t value;
                [[maybe_unused]] ssize_t n = ::read(wakeFd_, &value, sizeof value);
                lock.lock();
            }
            break;
        }
        x_->sleep(-1);
    }
}
