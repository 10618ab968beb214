// The "Running Now" section at the head of the category list: booted simulators and leftover
// log watchers with what they use, the swap in use, a button to look again and one to stop each
// item. It reads the store's vitals and starts only their refresh and stop; it keeps no state.
#pragma once

#include <optional>
#include <string>

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include "mainwindow/tone_label.h"
#include "store/store_vitals.h"

namespace bramwick {

namespace RunningNowValues {
// "Swap is using 2 GB of disk", only while some swap is used.
std::optional<std::string> swapText(const RunningSnapshot& snapshot);
enum class Content { checking, nothing, rows };
Content content(const RunningSnapshot& snapshot);
// Why the log watchers could not be looked for, as a sentence; none when they were.
std::optional<std::string> problemText(const RunningSnapshot& snapshot);
std::string cpuText(double cpu);             // "12% CPU"
bool cpuHot(double cpu);                     // 25 % of a core or more
std::string memoryText(std::int64_t memory); // "1.2 GB memory"
bool isSimulator(const RunningItem& item);
std::string stopLabel(const RunningItem& item);
std::string stopHelp(const RunningItem& item);
std::string symbol(const RunningItem& item);
} // namespace RunningNowValues

class RunningNowSection : public QWidget {
    Q_OBJECT

  public:
    // The list scrolls to the section by this identity.
    static constexpr const char* identity = "running-now";

    explicit RunningNowSection(StoreVitals& vitals, QWidget* parent = nullptr);
    void refresh();
    QToolButton* refreshButton() const { return refreshButton_; }
    // The stop button of an item shown now, or null (while it stops, or when not listed).
    QPushButton* stopButton(const std::string& id) const;

  protected:
    bool event(QEvent* event) override;

  private:
    StoreVitals& vitals_;
    ToneLabel* swap_;
    QToolButton* refreshButton_;
    QWidget* refreshing_;
    QWidget* body_;
    QVBoxLayout* bodyLayout_;
};

} // namespace bramwick
