// The movie buttons as assistive technology sees them through Qt's accessibility bridge
// (AT-SPI on Linux): each a push button with its name and a press action that works as a
// click does, or an image where it runs no command. The widget that holds them leaves
// its hidden ones out of its children, so that only the buttons on screen are offered.
#pragma once

#include <QAccessibleWidget>

namespace velmora::swf {
class Movie;
}

namespace velmora::controls {

// Names longer than this are cut: a name, not a text.
inline constexpr qsizetype kLongestMovieText = 200;
// The text a movie shows in glyphs of fonts that carry a code table, and in its plain
// text fields, in definition order, one space between records: what a button is called
// when it is given no name. Glyphs without a code are left out.
QString movieText(const swf::Movie &movie);

class FlashButton;

class FlashButtonAccessible : public QAccessibleWidget {
public:
    explicit FlashButtonAccessible(FlashButton *button);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text kind) const override;
    QStringList actionNames() const override;
    void doAction(const QString &action) override;
    QStringList keyBindingsForAction(const QString &action) const override;

private:
    FlashButton *button() const;
};

// A widget holding movie buttons, its hidden ones left out of its children.
class ButtonHolderAccessible : public QAccessibleWidget {
public:
    explicit ButtonHolderAccessible(QWidget *holder);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

private:
    QList<QAccessibleInterface *> shownChildren() const;
};

// Makes every FlashButton a FlashButtonAccessible; installed once per process.
void installFlashButtonAccessibility();

} // namespace velmora::controls
