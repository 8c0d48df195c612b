#pragma once
// The floating find-and-replace panel. Its fields and toggles write the window's find state at
// every keystroke and click; moving through and replacing matches goes to the find engine the
// active text editor registered, and does nothing while none is registered.
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "UI/GlassBackdrop.h"
#include "UI/SpringAnimation.h"

class FindState;
class PressableButton;
class QLabel;
class QLineEdit;

class FindBar : public QWidget {
    Q_OBJECT
public:
    enum class Field { query, replacement };

    static constexpr qreal kCornerRadius = 12;

    FindBar(FindState* find, std::function<void()> onClose, QWidget* parent = nullptr);

    // The text under the query: empty for an empty query and while the matches are counted,
    // "bad regex", "search stopped", "3 of 12" or "no results".
    static QString matchLabel(const FindState& find);
    // The panel's width, without the room kept around it for its shadow.
    static int barWidth(bool showReplace) { return showReplace ? 460 : 420; }
    // Whether the widget is a find bar's or one's own control (also of a bar on its way out).
    static bool holds(const QWidget* widget) {
        for (; widget; widget = widget->parentWidget())
            if (qobject_cast<const FindBar*>(widget)) return true;
        return false;
    }
    // Room around the panel, inside this widget, where its shadow is drawn.
    static QMargins shadowMargins() { return {24, 12, 24, 34}; }

    // The field holding the focus, if either does.
    std::optional<Field> focus() const;
    void setFocus(Field field);

    QLineEdit* queryField() const { return query_; }
    QLineEdit* replacementField() const { return replacement_; }
    QLabel* matchLabelView() const { return matchLabel_; }
    QWidget* surface() const { return surface_; }
    QWidget* replaceRow() const { return replaceRow_; }
    // The panel's current width (it follows showReplace on the snappy spring).
    qreal currentBarWidth() const { return width_; }
    const GlassBackdrop& backdrop() const { return backdrop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    PressableButton* optionToggle(const QString& symbol, const QString& help, void (FindState::*set)(bool),
                                  bool (FindState::*get)() const);
    void refresh();
    void applyWidth(qreal width);

    QPointer<FindState> find_;
    std::function<void()> onClose_;
    QWidget* surface_;
    QWidget* replaceRow_;
    PressableButton* replaceToggle_;
    QLineEdit* query_;
    QLineEdit* replacement_;
    QLabel* matchLabel_;
    struct Toggle {
        PressableButton* button;
        bool (FindState::*get)() const;
        std::optional<bool> shownOn;  // what the button shows, once it shows a state
    };
    QList<Toggle> toggles_;
    qreal width_ = 0;
    qreal targetWidth_ = 0;  // where the width spring is heading or rests
    std::optional<bool> shownFault_;
    bool shownInvalid_ = false;  // the border is drawn red
    SpringAnimation widthSpring_;
    GlassBackdrop backdrop_;
    QImage shadow_;
};
