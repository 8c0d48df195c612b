#pragma once
// The settings window's content: editor font size and tab width, which AI command-line tool the AI
// features use (with a sentence on what the choice will do, after detecting what is installed),
// and buttons to replay the welcome tour and show the release notes. Every control writes straight
// to the settings store; there is no Save step.
#include <QWidget>
#include <functional>
#include <optional>

#include "Git/AIBackend.h"
#include "Platform/Completion.h"

class QLabel;
class QSlider;
class PressableButton;
class SegmentedPicker;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    using Detector = std::function<void(Completion<std::optional<AIBackend>>)>;
    static constexpr int kWidth = 440;
    static constexpr int kHeight = 520;

    // detect finds the installed tool; each showing runs it once.
    explicit SettingsView(Detector detect = {}, QWidget* parent = nullptr);

    // "Auto", "Claude Code", "Codex"; empty for any other value.
    static QString displayName(const QString& backendValue);
    static QString backendHint(const std::optional<AIBackend>& detected, const QString& backendValue);
    // "13 pt" for a stored 13.7: the fraction is dropped.
    static QString fontSizeText(double points);

    QSlider* fontSlider() const { return fontSlider_; }
    QLabel* fontValue() const { return fontValue_; }
    SegmentedPicker* tabWidthPicker() const { return tabWidth_; }
    SegmentedPicker* backendPicker() const { return backend_; }
    QLabel* hint() const { return hint_; }
    PressableButton* welcomeTourButton() const { return welcomeTour_; }
    PressableButton* whatsNewButton() const { return whatsNew_; }
    const std::optional<AIBackend>& detected() const { return detected_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Escape closes the window, as it does any other small window of the program.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* panel(const QString& title, const QString& icon, QWidget* content);
    QWidget* row(const QString& label, QWidget* control);
    PressableButton* actionButton(const QString& title, const QString& icon);
    void sync();

    Detector detect_;
    std::optional<AIBackend> detected_;
    QSlider* fontSlider_;
    QLabel* fontValue_;
    SegmentedPicker* tabWidth_;
    SegmentedPicker* backend_;
    QLabel* hint_;
    PressableButton* welcomeTour_;
    PressableButton* whatsNew_;
};
