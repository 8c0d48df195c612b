#pragma once
// What a window shows until the user has once got going: logo, title, tagline, a card of three
// features, and the ways into work (open a folder, clone a repository, a blank file, one of the
// four newest recent folders). Once one of them leaves the window with something to work on, it
// calls its completion action.
#include <QPointer>
#include <QWidget>
#include <functional>

class AppState;
class GradientButton;
class PressableButton;
#include <QDialog>
class QLabel;

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    struct Feature {
        QString icon, title, text;
    };
    static const QList<Feature>& features();
    static constexpr int kRecentRows = 4;
    static constexpr int kRecentRowWidth = 240;

    WelcomeView(AppState& app, std::function<void()> onComplete, QWidget* parent = nullptr);

    GradientButton* openFolderButton() const { return openFolder_; }
    PressableButton* cloneButton() const { return clone_; }
    PressableButton* blankFileButton() const { return blank_; }
    QLabel* recentHeader() const { return recentHeader_; }
    const QList<PressableButton*>& recentButtons() const { return recents_; }
    QDialog* cloneSheet() const { return cloneSheet_.data(); }

    void openFolder();
    void cloneRepository();
    void startBlank();
    void openRecent(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* featureRow(const Feature& feature, QWidget* parent);
    QWidget* actions();
    // The RECENT header and rows, built again whenever the recent folders change.
    void fillRecents();
    void completeIfFolderOpen();
    void fitColumn();

    static constexpr int kSpacing = 28, kPadding = 40;
    class QVBoxLayout* column_ = nullptr;
    class QScrollArea* scroll_ = nullptr;

    QPointer<AppState> app_;
    std::function<void()> onComplete_;
    QWidget* background_;
    class LogoMark* logo_ = nullptr;
    QWidget* logoSlot_ = nullptr;  // the mark's place in the column
    GradientButton* openFolder_ = nullptr;
    PressableButton* clone_ = nullptr;
    PressableButton* blank_ = nullptr;
    QWidget* recentBox_ = nullptr;
    QLabel* recentHeader_ = nullptr;
    QList<PressableButton*> recents_;
    QPointer<QDialog> cloneSheet_;
};

// The clone-repository sheet, window-modal and already open; onCloned gets the new folder.
QDialog* openCloneSheet(AppState& app, std::function<void(const QString& folder)> onCloned, QWidget* parent);
