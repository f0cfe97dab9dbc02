#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>

#include <initializer_list>

// The interface's named colours. The named hues have a light and a dark variant; the window
// background, the label styles and the accent follow the desktop's palette. Dark means the
// palette's window colour is dark.
namespace SystemColors {

bool isDark(const QPalette& palette);
bool isDark();  // the application palette

QColor red(bool dark);
QColor orange(bool dark);
QColor yellow(bool dark);
QColor green(bool dark);
QColor mint(bool dark);
QColor teal(bool dark);
QColor cyan(bool dark);
QColor blue(bool dark);
QColor indigo(bool dark);
QColor purple(bool dark);
QColor pink(bool dark);
QColor brown(bool dark);
QColor gray(bool dark);

// The same hues in the application palette's appearance.
inline QColor red() { return red(isDark()); }
inline QColor orange() { return orange(isDark()); }
inline QColor yellow() { return yellow(isDark()); }
inline QColor green() { return green(isDark()); }
inline QColor mint() { return mint(isDark()); }
inline QColor teal() { return teal(isDark()); }
inline QColor cyan() { return cyan(isDark()); }
inline QColor blue() { return blue(isDark()); }
inline QColor indigo() { return indigo(isDark()); }
inline QColor purple() { return purple(isDark()); }
inline QColor pink() { return pink(isDark()); }
inline QColor brown() { return brown(isDark()); }
inline QColor gray() { return gray(isDark()); }

QColor windowBackground(const QPalette& palette);
QColor windowBackground();
// A source-list sidebar: the window background a shade towards the text.
QColor sidebarBackground(const QPalette& palette);
// The label styles: primary text and its secondary, tertiary and quaternary levels. Secondary and
// tertiary are the text colour made as faint as the palette allows while secondary text keeps
// 4.5:1 and tertiary 3:1 against the window, the view and a card on either.
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
QColor quaternary(const QPalette& palette);
QColor primary();
QColor secondary();
QColor tertiary();
QColor quaternary();
QColor accent(const QPalette& palette);
QColor accent();

// Gives the application palette's placeholder role the secondary style, now and whenever the
// application palette changes: captions and empty fields use it, and a desktop theme leaves it at
// a default that does not follow a dark palette. Call once, with the application made.
void followApplicationPalette();

// The WCAG relative luminance of a colour (alpha ignored), and the contrast ratio of a text
// colour (composited when translucent) against an opaque background.
double luminance(const QColor& c);
double contrast(const QColor& text, const QColor& background);
// top composited over bottom; opaque when bottom is.
QColor over(const QColor& top, const QColor& bottom);
// color, its lightness moved as little as needed (hue and saturation kept) to reach `ratio`
// against every one of the backgrounds; unchanged where it already does. A translucent colour is
// first composited over the first background; the result is opaque then.
QColor legible(const QColor& color, const QColor& background, double ratio = 3.0);
QColor legible(const QColor& color, std::initializer_list<QColor> backgrounds, double ratio = 3.0);

// An icon whose outline reads below `ratio` on background (a white page on light grey) with an
// edge one point wide around its shape, in the background's hue made dark or light enough to read
// there; an icon whose outline already reads is returned as it is.
QImage legibleIcon(const QImage& icon, const QColor& background, double ratio = 3.0);

// c with its alpha multiplied by opacity.
QColor withOpacity(QColor c, double opacity);
// The colour a fraction t of the way from a to b (alpha included).
QColor mix(const QColor& a, const QColor& b, double t);

}  // namespace SystemColors
