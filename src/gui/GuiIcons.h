#pragma once

#include <QIcon>
#include <QStyle>

class QWidget;

// The icons of the standard actions: the desktop's icon theme first (its freedesktop name), so
// that the program looks like the other programs of the desktop; without a theme, or when the
// theme has no such icon, the style's own pixmap or a glyph drawn by the program. The
// user-interface thread.

// The theme's icon `name`, else the style's `fallback` pixmap as `widget` draws it.
QIcon gui_theme_icon(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget);
// The theme's icon `name`, else `glyph` (one or two characters) drawn on a clear square.
QIcon gui_theme_icon(const char* name, const QString& glyph);
