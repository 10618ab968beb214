// The card that walks the user through granting full disk access: why it is needed, three
// steps, a button that opens the settings pane, a wait for the access to arrive (probing every
// 2 s once the pane was opened), quit-and-reopen, and a way on without access. Once access is
// there it turns green and offers to start scanning. The window shows it over its dimmed
// content and keeps the keyboard while it is shown: Tab goes round its own buttons, focus sent
// behind it comes back, and Return presses the focused button (with none, the one the card leads
// to). Leaving it by either way calls `done`.
//
// This platform has no such access: the store's probe counts the home folder being listable as
// access, so on a normal machine the card never shows. It is built and tested with an injected
// probe all the same.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "mainwindow/tone_label.h"
#include "store/store.h"

namespace bramwick {

namespace AccessSetupValues {
enum class Phase { asking, waiting, granted };
Phase phase(bool access, bool openedSettings);
std::string title(bool access);
std::string symbol(bool access);
const std::vector<std::string>& steps(); // with **bold** marks
// A step's text with its **marks** turned into bold, the rest escaped, for a rich-text label.
QString stepHtml(const std::string& step);
inline constexpr int pollInterval = 2'000;
inline constexpr int width = 600;
} // namespace AccessSetupValues

class FullDiskAccessSetup : public QWidget {
    Q_OBJECT

  public:
    struct Hooks {
        std::function<bool()> skipped;
        std::function<void(bool)> setSkipped;
        std::function<void()> done;
    };

    FullDiskAccessSetup(Store& store, Hooks hooks, QWidget* parent = nullptr);

    AccessSetupValues::Phase phase() const;
    bool openedSettings() const { return openedSettings_; }
    // One tick of the poll (the timer calls it every 2 s while the card is shown).
    void poll();
    QTimer& pollTimer() { return poll_; }
    QPushButton* button(const char* objectName) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void refresh();
    void accessChanged();

    Store& store_;
    Hooks hooks_;
    bool openedSettings_ = false;
    QTimer poll_;
    QLabel* shield_;
    ToneLabel* title_;
    QWidget* steps_;
    ToneLabel* allSet_;
    QPushButton* continue_;
    QWidget* waiting_;
    QPushButton* relaunch_;
    QPushButton* openSettings_;
    QPushButton* start_;
};

} // namespace bramwick
