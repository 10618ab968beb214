// The cleanup history: every record of the store's log, newest first as the store keeps it,
// with its date and what it freed. It only reads, and follows the log while it is open.
#pragma once

#include <QWidget>

namespace bramwick {

class Store;
class SheetText;

class HistorySheet : public QWidget {
    Q_OBJECT
  public:
    explicit HistorySheet(Store& store, QWidget* parent = nullptr);
    static constexpr int minimumWidth = 560;
    static constexpr int minimumHeight = 440;

  private:
    void rebuild();
    Store& store_;
    QWidget* empty_;
    QWidget* list_;
    QWidget* rows_;
};

} // namespace bramwick
