#include "gui/GuiIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {

// A glyph in the palette's text colour, at the sizes tool bars and menus ask for.
QIcon drawn_icon(const QString& glyph) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QFont font = p.font();
        font.setPixelSize(glyph.size() > 1 ? size * 9 / 16 : size * 13 / 16);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0x30, 0x38, 0x44));
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon gui_theme_icon(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget) {
    const QString theme = QString::fromLatin1(name);
    if (QIcon::hasThemeIcon(theme)) return QIcon::fromTheme(theme);
    return widget->style()->standardIcon(fallback, nullptr, widget);
}

QIcon gui_theme_icon(const char* name, const QString& glyph) {
    return QIcon::fromTheme(QString::fromLatin1(name), drawn_icon(glyph));
}
