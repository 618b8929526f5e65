#include "gui/GuiText.h"

#include <QMessageBox>
#include <QRegularExpression>

#include "app/MAppProblem.h"
#include "model/core/CkvText.h"
#include "model/core/MseqObject.h"
#include "model/core/MseqPathOps.h"
#include "platform/TextCodec.h"

QString gui_text(std::string_view cp932) {
    const std::string utf8 = ckv_to_utf8(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString gui_utf8(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString gui_utf8(gui_msg id) {
    return QString::fromUtf8(kv_text(id));
}

QString gui_fill(gui_msg id, std::initializer_list<QString> args) {
    const QString format = gui_utf8(id);
    QString out;
    out.reserve(format.size());
    const QString* next = args.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%') || i + 1 == format.size()) {
            out += c;
        } else if (format[i + 1] == QLatin1Char('%')) {
            out += c;
            ++i;
        } else if (format[i + 1] == QLatin1Char('s')) {
            if (next != args.end()) out += *next++;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

CkvString gui_cp932(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return ckv_from_utf8(std::string_view(utf8.data(), utf8.size()));
}

QString gui_cp932_refusal(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bad =
        kv_codec::cp932_unconvertible(std::string_view(utf8.data(), utf8.size()));
    if (bad.empty()) return {};
    const QString character = QString::fromUtf8(bad.data(), static_cast<qsizetype>(bad.size()));
    const QList<uint> codes = character.toUcs4();
    const QString code =
        codes.isEmpty() || codes.front() == 0xFFFD
            ? gui_utf8(gui_msg::NOT_UTF8_BYTE)
            : QStringLiteral("U+") +
                  QString::number(codes.front(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return gui_fill(gui_msg::CP932_REFUSAL, {character, code});
}

bool gui_cp932_accepts(QWidget* parent, const QString& text) {
    const QString refusal = gui_cp932_refusal(text);
    if (refusal.isEmpty()) return true;
    QMessageBox box(QMessageBox::Warning, gui_utf8("Korvante"), refusal, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return false;
}

QString gui_button_text(const CkvString& label) {
    QString text = gui_text(label);
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0) text.truncate(tab);
    // "(&N)" after a Japanese label only carries the mnemonic; a plain "&" marks it inline.
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove(QStringLiteral(" ..."));
    text.remove(QLatin1Char('&'));
    return text.trimmed();
}

QString gui_path(const CkvString& windows_path) {
    return gui_text(mapp_shown_path(windows_path));
}

QString gui_link_path(const MseqObject* node) {
    if (!node) return {};
    MseqFullPath full;
    if (!node->path.empty() && mseq_path::resolve(node, false, &full)) return gui_path(full);
    return gui_text(node->path);
}
