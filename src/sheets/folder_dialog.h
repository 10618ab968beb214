// The dialog in which the user chooses one folder (where a move goes, a folder to add to a
// level), opened without a loop of its own. Its answer is the folder typed in it ("~" being the
// home the program was given, a relative path starting at the folder shown) or the one chosen in
// its list, else the folder shown; a path that is not a folder is refused in a note over the
// dialog, which stays open to be corrected; so is a folder given while what it was asked for
// cannot be done (its asker says why).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QFileDialog>

namespace bramwick {

class FolderDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit FolderDialog(QWidget* parent = nullptr);

    // The folder accepted; empty before.
    const std::string& chosen() const { return chosen_; }

    // Asked on each acceptance of a folder: why the folder cannot be taken now, or none.
    void setRefusal(std::function<std::optional<std::string>()> refusal) {
        refusal_ = std::move(refusal);
    }

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::optional<std::string> pickedInList() const;
    void refuse(const std::string& problem);

    std::function<std::optional<std::string>()> refusal_;
    std::string chosen_;
    bool typedAlone_ = false;
};

} // namespace bramwick
