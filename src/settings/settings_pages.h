// The settings window's content: the General, Cleaning and Appearance tabs, each a form bound
// directly to the stored settings. Every control writes its key as it changes and reads it back
// whenever the settings change, so what another window writes (the schedule sheet, the skin of
// the main window) shows here at once and the reverse. The tab chosen is remembered under
// "settingsTab"; the window opens on Cleaning the first time.
//
// The General tab drives the "Open at Login" switch through `LoginItem`: the switch shows on
// only while the login item is enabled, so a registration that fails or waits for approval
// falls back to off and shows the reason under it. A change that could not be saved says so in
// one line under the page shown.
//
// `FolderAccessSection` is the self-contained list of suggested folders with a way to forget
// each; the pages do not include it (nothing here asks for folder access).
#pragma once

#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>

#include "appearance/skin.h"
#include "engine/login_item.h"
#include "platform/settings.h"
#include "store/store.h"

namespace bramwick {

class FolderAccess;
class SaveNotice;

// The section header of every settings form: a symbol and a title in the accent colour of the
// window's skin, following it when the skin changes.
QWidget* settingsHeader(const QString& title, std::string_view symbol, QWidget* parent);
// The accent of the skin `widget`'s window is dressed in.
QColor settingsAccent(const QWidget* widget);

// One selectable card of the Appearance tab, with a miniature window drawn in its skin
// whatever the skin of the settings window.
class SkinCard : public QAbstractButton {
    Q_OBJECT
  public:
    SkinCard(Skin skin, QWidget* parent = nullptr);
    Skin skin() const { return skin_; }
    void setSelected(bool selected);
    bool selected() const { return selected_; }
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Skin skin_;
    bool selected_ = false;
};

// Paints the miniature window of a skin card into `rect`.
void paintSkinThumbnail(QPainter& painter, const QRectF& rect, Skin skin);

class SettingsPages : public QTabWidget {
    Q_OBJECT
  public:
    struct Hooks {
        // How the login switch reaches the login items (the desktop's autostart entries).
        LoginItem::Service login;
        // After "keepInDock" was changed here: the program's icon follows it at once.
        std::function<void()> keepInDockChanged;
    };

    SettingsPages(Store& store, Settings& settings, Hooks hooks, QWidget* parent = nullptr);
    ~SettingsPages() override;

    LoginItem& loginItem() { return *login_; }
    // Reads the login item's status again (each time the window appears); the message stays.
    void refreshLogin();
    // Sets every control from the stored settings.
    void refresh();

    // The colour the tab icons are drawn in (the skin's accent).
    QColor tabAccent() const { return tabAccent_; }

  signals:
    // The page shown changed size: the window's height follows it.
    void pageChanged();

  protected:
    bool event(QEvent* event) override;

  private:
    void recolourTabs();
    QWidget* generalPage();
    QWidget* cleaningPage();
    QWidget* appearancePage();
    void showLogin();
    void enableAutomaticClean();
    void pageShown(int index);

    Store& store_;
    Settings& settings_;
    Hooks hooks_;
    std::unique_ptr<LoginItem> login_;
    std::size_t settingsToken_ = 0;
    std::size_t loginToken_ = 0;
    // Made first: every control's write reports to it.
    SaveNotice* saveNotice_ = nullptr;

    QCheckBox* openAtLogin_ = nullptr;
    QWidget* messageRow_ = nullptr;
    QLabel* loginMessage_ = nullptr;
    QPushButton* openLoginItems_ = nullptr;
    QCheckBox* keepInDock_ = nullptr;
    QCheckBox* updates_ = nullptr;

    QComboBox* schedule_ = nullptr;
    QWidget* timeRow_ = nullptr;
    QTimeEdit* time_ = nullptr;
    QWidget* nextRow_ = nullptr;
    QLabel* next_ = nullptr;
    QCheckBox* onLowSpace_ = nullptr;
    QSpinBox* lowSpaceGB_ = nullptr;
    QCheckBox* notify_ = nullptr;
    QWidget* lastRow_ = nullptr;
    QLabel* last_ = nullptr;

    QColor tabAccent_;
    std::vector<SkinCard*> cards_;
    QCheckBox* animate_ = nullptr;
};

class FolderAccessSection : public QWidget {
    Q_OBJECT
  public:
    FolderAccessSection(Store& store, FolderAccess& folders, QWidget* parent = nullptr);

  private:
    Store& store_;
    FolderAccess& folders_;
};

// A caption: small, secondary, wrapping.
QLabel* settingsCaption(const QString& text, QWidget* parent);

} // namespace bramwick
