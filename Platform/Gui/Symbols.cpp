#include "Platform/Gui/Symbols.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRawFont>
#include <QtDebug>

#include <cmath>

namespace {

struct Entry {
    const char* name;
    char32_t codepoint;  // Material Icons codepoint
    bool slashed;        // drawn with a diagonal stroke through it
};

// Symbol name -> Material Icons glyph (the Material name in the comment).
constexpr Entry kEntries[] = {
    {"accessibility", 0xe84e, false},  // accessibility
    {"ant.fill", 0xf0fa, false},  // pest_control
    {"antenna.radiowaves.left.and.right", 0xebba, false},  // cell_tower
    {"apple.logo", 0xea80, false},  // apple
    {"arrow.clockwise", 0xe5d5, false},  // refresh
    {"arrow.down.circle", 0xf181, false},  // arrow_circle_down
    {"arrow.down.right.and.arrow.up.left", 0xf1cf, false},  // close_fullscreen
    {"arrow.up", 0xe5d8, false},  // arrow_upward
    {"arrow.up.forward.app", 0xe89e, false},  // open_in_new
    {"atom", 0xea4b, false},  // science
    {"battery.75", 0xebd4, false},  // battery_5_bar
    {"bird.fill", 0xe00b, false},  // flutter_dash
    {"bolt.fill", 0xea0b, false},  // bolt
    {"calendar", 0xe935, false},  // calendar_today
    {"calendar.badge.clock", 0xe916, false},  // date_range
    {"calendar.circle", 0xe878, false},  // event
    {"cat.fill", 0xe91d, false},  // pets
    {"character.cursor.ibeam", 0xe262, false},  // text_fields
    {"chart.bar.fill", 0xe26b, false},  // bar_chart
    {"chart.line.uptrend.xyaxis", 0xe6e1, false},  // show_chart
    {"checkmark", 0xe5ca, false},  // check
    {"checkmark.circle", 0xe92d, false},  // check_circle_outline
    {"checkmark.circle.fill", 0xe86c, false},  // check_circle
    {"checkmark.seal.fill", 0xef76, false},  // verified
    {"checkmark.shield", 0xf013, false},  // gpp_good
    {"checkmark.shield.fill", 0xe8e8, false},  // verified_user
    {"chevron.down", 0xe5cf, false},  // expand_more
    {"chevron.left", 0xe5cb, false},  // chevron_left
    {"chevron.left.forwardslash.chevron.right", 0xe86f, false},  // code
    {"chevron.right", 0xe5cc, false},  // chevron_right
    {"chevron.up", 0xe5ce, false},  // expand_less
    {"circle.dashed", 0xe836, false},  // radio_button_unchecked
    {"circle.dotted", 0xe3a2, false},  // blur_circular
    {"circle.fill", 0xef4a, false},  // circle
    {"circle.hexagongrid.fill", 0xeaa6, false},  // hive
    {"clock", 0xe8b5, false},  // schedule
    {"cloud.fill", 0xe2bd, false},  // cloud
    {"cpu", 0xe322, false},  // memory
    {"crown.fill", 0xe7af, false},  // workspace_premium
    {"cube.fill", 0xe1a1, false},  // inventory_2
    {"cube.transparent", 0xe9fe, false},  // view_in_ar
    {"curlybraces", 0xead3, false},  // data_object
    {"curlybraces.square", 0xead3, false},  // data_object
    {"desktopcomputer", 0xe30b, false},  // desktop_mac
    {"doc.fill", 0xe24d, false},  // insert_drive_file
    {"doc.on.clipboard", 0xe14f, false},  // content_paste
    {"doc.on.clipboard.fill", 0xe14f, false},  // content_paste
    {"doc.on.doc", 0xe14d, false},  // content_copy
    {"doc.text", 0xe873, false},  // description
    {"doc.text.magnifyingglass", 0xe880, false},  // find_in_page
    {"dog.fill", 0xe91d, false},  // pets
    {"ellipsis", 0xe5d3, false},  // more_horiz
    {"envelope", 0xe0e1, false},  // mail_outline
    {"exclamationmark.circle", 0xe001, false},  // error_outline
    {"exclamationmark.circle.fill", 0xe000, false},  // error
    {"exclamationmark.triangle", 0xf083, false},  // warning_amber
    {"exclamationmark.triangle.fill", 0xe002, false},  // warning
    {"externaldrive", 0xe875, false},  // dns
    {"externaldrive.fill", 0xe875, false},  // dns
    {"fan", 0xec18, false},  // heat_pump
    {"fan.fill", 0xec18, false},  // heat_pump
    {"fish.fill", 0xf1ea, false},  // set_meal
    {"flame.fill", 0xef55, false},  // local_fire_department
    {"folder", 0xe2c8, false},  // folder_open
    {"folder.badge.gearshape", 0xe617, false},  // folder_special
    {"folder.fill", 0xe2c7, false},  // folder
    {"fork.knife", 0xe56c, false},  // restaurant
    {"gamecontroller", 0xea28, false},  // sports_esports
    {"gamecontroller.fill", 0xea28, false},  // sports_esports
    {"gauge.medium", 0xe9e4, false},  // speed
    {"gauge.with.dots.needle.67percent", 0xe9e4, false},  // speed
    {"gauge.with.needle", 0xe9e4, false},  // speed
    {"gearshape", 0xe8b8, false},  // settings
    {"gearshape.fill", 0xe8b8, false},  // settings
    {"globe", 0xe894, false},  // language
    {"hammer", 0xf10b, false},  // handyman
    {"hand.raised", 0xe764, false},  // back_hand
    {"hare.fill", 0xe799, false},  // cruelty_free
    {"heart", 0xe87e, false},  // favorite_border
    {"heart.fill", 0xe87d, false},  // favorite
    {"hexagon.fill", 0xeb39, false},  // hexagon
    {"info.circle", 0xe88f, false},  // info_outline
    {"internaldrive", 0xe1db, false},  // storage
    {"internaldrive.fill", 0xe1db, false},  // storage
    {"key.fill", 0xe73c, false},  // key
    {"keyboard", 0xe312, false},  // keyboard
    {"keyboard.fill", 0xe312, false},  // keyboard
    {"ladybug", 0xe868, false},  // bug_report
    {"ladybug.fill", 0xe868, false},  // bug_report
    {"laptopcomputer", 0xe320, false},  // laptop_mac
    {"leaf.fill", 0xea35, false},  // eco
    {"list.bullet.indent", 0xe23e, false},  // format_indent_increase
    {"list.number", 0xe242, false},  // format_list_numbered
    {"lizard.fill", 0xf0fd, false},  // pest_control_rodent
    {"lock.fill", 0xe897, false},  // lock
    {"lock.rotation", 0xeade, false},  // lock_reset
    {"magnifyingglass", 0xe8b6, false},  // search
    {"memorychip", 0xe30d, false},  // developer_board
    {"minus", 0xe15b, false},  // remove
    {"moon.stars.fill", 0xea46, false},  // nights_stay
    {"moon.zzz", 0xef44, false},  // bedtime
    {"number", 0xe9ef, false},  // tag
    {"paintbrush.fill", 0xe3ae, false},  // brush
    {"paperplane", 0xe163, false},  // send
    {"pawprint.fill", 0xe91d, false},  // pets
    {"pencil.line", 0xe745, false},  // edit_note
    {"person.text.rectangle", 0xea67, false},  // badge
    {"photo.badge.exclamationmark", 0xf116, false},  // image_not_supported
    {"pin", 0xf10d, false},  // push_pin
    {"pin.fill", 0xf10d, false},  // push_pin
    {"pin.slash.fill", 0xf10d, true},  // push_pin
    {"plus", 0xe145, false},  // add
    {"plus.circle", 0xe148, false},  // add_circle_outline
    {"power", 0xe8ac, false},  // power_settings_new
    {"qrcode", 0xef6b, false},  // qr_code
    {"questionmark.app.dashed", 0xf1c0, false},  // help_center
    {"questionmark.bubble.fill", 0xe94c, false},  // contact_support
    {"rectangle.3.group", 0xe871, false},  // dashboard
    {"sparkles", 0xe65f, false},  // auto_awesome
    {"square.stack", 0xe3e0, false},  // filter_none
    {"square.stack.3d.up.fill", 0xe53b, false},  // layers
    {"star.fill", 0xe838, false},  // star
    {"sun.max.fill", 0xe430, false},  // wb_sunny
    {"teddybear.fill", 0xeb41, false},  // child_care
    {"terminal.fill", 0xeb8e, false},  // terminal
    {"text.alignleft", 0xe236, false},  // format_align_left
    {"text.badge.plus", 0xea20, false},  // post_add
    {"text.justify.left", 0xe235, false},  // format_align_justify
    {"textformat", 0xe165, false},  // text_format
    {"thermometer.medium", 0xe1ff, false},  // device_thermostat
    {"tortoise.fill", 0xea1c, false},  // emoji_nature
    {"trash", 0xe92e, false},  // delete_outline
    {"tray.full", 0xe156, false},  // inbox
    {"wand.and.stars", 0xe663, false},  // auto_fix_high
    {"waveform.path.ecg", 0xeaa2, false},  // monitor_heart
    {"wifi", 0xe63e, false},  // wifi
    {"wind", 0xefd8, false},  // air
    {"xmark", 0xe5cd, false},  // close
    {"xmark.circle.fill", 0xe5c9, false},  // cancel
};

constexpr char kDefaultFontFile[] =
    "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

// Outlines are taken at this pixel size (the font's 24-unit design grid) and kept in a unit box.
constexpr double kOutlineSize = 24.0;

const QHash<QString, const Entry*>& entryIndex() {
    static const auto* index = [] {
        auto* h = new QHash<QString, const Entry*>;
        for (const Entry& e : kEntries) h->insert(QString::fromLatin1(e.name), &e);
        return h;
    }();
    return *index;
}

const Entry* lookup(const QString& name) { return entryIndex().value(name, nullptr); }

struct FontState {
    QMutex mutex;
    QString file = QString::fromLatin1(kDefaultFontFile);
    bool tried = false;
    bool warned = false;
    QRawFont raw;
    QHash<QString, QString> families;  // font file -> application font family
    QHash<QString, QPainterPath> outlines;  // "name/weight" -> unit-box outline
};

FontState& fontState() {
    static auto* state = new FontState;
    return *state;
}

bool haveGuiApp() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

// Loads the raw font once per file; the caller holds the mutex.
void ensureLoaded(FontState& s) {
    if (s.tried || !haveGuiApp()) return;
    s.tried = true;
    QFile file(s.file);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly)) data = file.readAll();
    if (!data.isEmpty()) s.raw.loadFromData(data, kOutlineSize, QFont::PreferNoHinting);
    if (!s.raw.isValid() && !s.warned) {
        s.warned = true;
        qWarning("Symbols: cannot load the symbol font %s; drawing placeholders", qPrintable(s.file));
    }
}

QPainterPath band(QPointF from, QPointF to, double width) {
    QPainterPath line(from);
    line.lineTo(to);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    return stroker.createStroke(line);
}

// Width, as a fraction of the em, of the outline stroked around the glyph for each weight.
double weightOutset(Symbols::Weight weight) {
    switch (weight) {
        case Symbols::Weight::regular: return 0;
        case Symbols::Weight::medium: return 0.014;
        case Symbols::Weight::semibold: return 0.028;
        case Symbols::Weight::bold: return 0.042;
    }
    return 0;
}

QPainterPath thicken(const QPainterPath& path, Symbols::Weight weight) {
    double outset = weightOutset(weight);
    if (outset <= 0) return path;
    QPainterPathStroker stroker;
    stroker.setWidth(outset);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    return path.united(stroker.createStroke(path)).simplified();
}

// A rounded square outline, shown for known names when the font is missing.
QPainterPath placeholderOutline(Symbols::Weight weight) {
    QPainterPath square;
    square.addRoundedRect(QRectF(0.2, 0.2, 0.6, 0.6), 0.12, 0.12);
    QPainterPathStroker stroker;
    stroker.setWidth(0.083 + weightOutset(weight));
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(square);
}

// The outline of an entry in the unit box (0..1 on both axes, y down); the caller holds the mutex.
QPainterPath outline(FontState& s, const Entry& entry, Symbols::Weight weight) {
    QString key = QString::fromLatin1(entry.name) + QLatin1Char('/') + QString::number(int(weight));
    auto cached = s.outlines.constFind(key);
    if (cached != s.outlines.constEnd()) return *cached;

    QPainterPath path;
    if (s.raw.isValid()) {
        QList<quint32> glyphs = s.raw.glyphIndexesForString(QString::fromUcs4(&entry.codepoint, 1));
        if (!glyphs.isEmpty() && glyphs.first() != 0) path = s.raw.pathForGlyph(glyphs.first());
    }
    if (path.isEmpty()) {
        path = placeholderOutline(weight);
    } else {
        // Glyphs sit on the baseline with the em box above it.
        QTransform toUnit;
        toUnit.scale(1 / kOutlineSize, 1 / kOutlineSize);
        toUnit.translate(0, kOutlineSize);
        path = toUnit.map(path);
        path.setFillRule(Qt::WindingFill);
        if (entry.slashed) {
            QPointF a(0.16, 0.16), b(0.84, 0.84);
            path = path.subtracted(band(a, b, 0.25)).united(band(a, b, 0.083));
        }
        path = thicken(path, weight);
    }
    s.outlines.insert(key, path);
    return path;
}

}  // namespace

bool Symbols::has(const QString& name) { return lookup(name) != nullptr; }

char32_t Symbols::codepoint(const QString& name) {
    const Entry* e = lookup(name);
    return e ? e->codepoint : 0;
}

QString Symbols::glyph(const QString& name) {
    const Entry* e = lookup(name);
    return e ? QString::fromUcs4(&e->codepoint, 1) : QString();
}

QStringList Symbols::names() {
    QStringList list;
    for (const Entry& e : kEntries) list << QString::fromLatin1(e.name);
    return list;
}

QString Symbols::fontFile() {
    FontState& s = fontState();
    QMutexLocker lock(&s.mutex);
    return s.file;
}

bool Symbols::fontAvailable() {
    FontState& s = fontState();
    QMutexLocker lock(&s.mutex);
    ensureLoaded(s);
    return s.raw.isValid();
}

void Symbols::setFontFile(const QString& path) {
    FontState& s = fontState();
    QMutexLocker lock(&s.mutex);
    s.file = path;
    s.tried = false;
    s.warned = false;
    s.raw = QRawFont();
    s.outlines.clear();
}

QFont Symbols::font(double pixelSize) {
    FontState& s = fontState();
    QString family;
    {
        QMutexLocker lock(&s.mutex);
        if (haveGuiApp()) {
            auto found = s.families.constFind(s.file);
            if (found == s.families.constEnd()) {
                int id = QFontDatabase::addApplicationFont(s.file);
                QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
                found = s.families.insert(s.file, families.value(0));
            }
            family = *found;
        }
    }
    QFont f;
    if (!family.isEmpty()) {
        f = QFont(family);
        f.setStyleStrategy(QFont::NoFontMerging);
    }
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    return f;
}

bool Symbols::draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
                   double pixelSize, Weight weight, double rotationDegrees) {
    const Entry* entry = lookup(name);
    if (!entry || !(pixelSize > 0) || !std::isfinite(pixelSize)) return false;
    QPainterPath path;
    {
        FontState& s = fontState();
        QMutexLocker lock(&s.mutex);
        ensureLoaded(s);
        path = outline(s, *entry, weight);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(rect.center());
    if (std::isfinite(rotationDegrees) && rotationDegrees != 0) painter.rotate(rotationDegrees);
    painter.scale(pixelSize, pixelSize);
    painter.translate(-0.5, -0.5);
    painter.fillPath(path, color);
    painter.restore();
    return true;
}

QImage Symbols::image(const QString& name, double pixelSize, const QColor& color, Weight weight,
                      double devicePixelRatio) {
    if (!has(name) || !(pixelSize > 0) || !std::isfinite(pixelSize)) return {};
    if (!(devicePixelRatio > 0) || !std::isfinite(devicePixelRatio)) devicePixelRatio = 1.0;
    double logicalSide = std::ceil(pixelSize);
    int side = int(std::ceil(logicalSide * devicePixelRatio - 1e-9));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    double logical = side / devicePixelRatio;
    draw(painter, QRectF(0, 0, logical, logical), name, color, pixelSize, weight);
    painter.end();
    return image;
}
