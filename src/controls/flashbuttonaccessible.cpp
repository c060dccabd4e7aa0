#include "controls/flashbuttonaccessible.h"

#include "controls/flashbutton.h"
#include "controls/swf/movie.h"
#include "controls/swf/player.h"

#include <algorithm>

namespace velmora::controls {
namespace {

QAccessibleInterface *flashButtonInterface(const QString &, QObject *object)
{
    if (auto *button = qobject_cast<FlashButton *>(object))
        return new FlashButtonAccessible(button);
    return nullptr;
}

bool isHiddenButton(const QAccessibleInterface *child)
{
    const auto *button = qobject_cast<const FlashButton *>(child->object());
    return button && button->isHidden();
}

void appendWord(QString &text, const QString &word)
{
    if (word.isEmpty())
        return;
    if (!text.isEmpty())
        text += u' ';
    text += word;
}

QString staticText(const swf::Movie &movie, const swf::StaticText &text)
{
    QString result;
    for (const swf::TextRecord &record : text.records) {
        const auto *font = movie.find<swf::Font>(record.fontId);
        if (!font || font->codes.empty())
            continue;
        QString word;
        for (const swf::TextGlyph &glyph : record.glyphs)
            if (glyph.index < font->codes.size() && font->codes[glyph.index] >= u' ')
                word += QChar(font->codes[glyph.index]);
        appendWord(result, word.trimmed());
    }
    return result;
}

} // namespace

QString movieText(const swf::Movie &movie)
{
    QString text;
    for (const auto &[id, character] : movie.characters) {
        if (const auto *shown = std::get_if<swf::StaticText>(&character))
            appendWord(text, staticText(movie, *shown));
        else if (const auto *field = std::get_if<swf::EditText>(&character); field && !field->html)
            appendWord(text, QString::fromStdString(field->text).simplified());
        if (text.size() >= kLongestMovieText)
            break;
    }
    return text.left(kLongestMovieText);
}

FlashButtonAccessible::FlashButtonAccessible(FlashButton *button) : QAccessibleWidget(button) {}

FlashButton *FlashButtonAccessible::button() const
{
    return static_cast<FlashButton *>(widget());
}

QAccessible::Role FlashButtonAccessible::role() const
{
    return button()->description().pressable ? QAccessible::Button : QAccessible::Graphic;
}

QString FlashButtonAccessible::text(QAccessible::Text kind) const
{
    if (kind != QAccessible::Name)
        return QAccessibleWidget::text(kind);
    const ButtonDescription &description = button()->description();
    QString name = description.name ? description.name() : QString();
    if (name.isEmpty() && button()->player())
        name = movieText(button()->player()->movie());
    return name.isEmpty() ? QAccessibleWidget::text(kind) : name;
}

QStringList FlashButtonAccessible::actionNames() const
{
    if (!button()->description().pressable)
        return {};
    return {pressAction()};
}

void FlashButtonAccessible::doAction(const QString &action)
{
    if (action == pressAction() && button()->description().pressable)
        button()->press();
}

QStringList FlashButtonAccessible::keyBindingsForAction(const QString &) const
{
    return {}; // the buttons have no keys: Tab never reaches them
}

ButtonHolderAccessible::ButtonHolderAccessible(QWidget *holder)
    : QAccessibleWidget(holder, holder->isWindow() ? QAccessible::Window : QAccessible::Client)
{
}

QList<QAccessibleInterface *> ButtonHolderAccessible::shownChildren() const
{
    QList<QAccessibleInterface *> shown;
    const int all = QAccessibleWidget::childCount();
    for (int i = 0; i < all; ++i) {
        QAccessibleInterface *child = QAccessibleWidget::child(i);
        if (child && !isHiddenButton(child))
            shown.append(child);
    }
    return shown;
}

int ButtonHolderAccessible::childCount() const
{
    return static_cast<int>(shownChildren().size());
}

QAccessibleInterface *ButtonHolderAccessible::child(int index) const
{
    const QList<QAccessibleInterface *> shown = shownChildren();
    return index >= 0 && index < shown.size() ? shown.at(index) : nullptr;
}

int ButtonHolderAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const QList<QAccessibleInterface *> shown = shownChildren();
    const auto it = std::find(shown.cbegin(), shown.cend(), child);
    return it == shown.cend() ? -1 : static_cast<int>(it - shown.cbegin());
}

void installFlashButtonAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(flashButtonInterface);
        return true;
    }();
    (void)installed;
}

} // namespace velmora::controls
