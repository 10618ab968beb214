#include <algorithm>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/catalog.h"
#include "engine/scanner.h"
#include "finders/uninstaller.h"
#include "platform/running_apps.h"

namespace bramwick::Cli {

namespace {

// The running applications as they were listed once: every plan of the run asks whether its
// application is running, and the process table need not be read again for each.
class ListedOnce : public RunningApplications {
  public:
    ListedOnce() : applications_(RunningApplications::system().list()) {}
    std::vector<RunningApplication> list() const override { return applications_; }
    bool activate(const RunningApplication&) override { return false; }
    std::optional<std::string> requestQuit(const RunningApplication&) override {
        return "Nothing is asked to quit from the command line.";
    }

  private:
    std::vector<RunningApplication> applications_;
};

// At least `width` characters: filled with spaces on the left or the right, never cut.
std::string atLeast(std::string text, std::size_t width, bool right) {
    std::size_t length = Text::characterCount(text);
    if (length >= width) return text;
    std::string fill(width - length, ' ');
    return right ? fill + text : text + fill;
}

} // namespace

int leftoversMode(const std::optional<std::string>& rawTerm, std::ostream& out) {
    const auto& all = Catalog::all();
    auto category = std::find_if(all.begin(), all.end(), [](const CleanupCategory& c) {
        return c.source.kind == Source::Kind::applications;
    });
    if (category == all.end()) return 0;
    std::optional<std::string> term;
    if (rawTerm) term = Text::lowercased(*rawTerm);

    ListedOnce running;
    Uninstaller::Environment environment;
    environment.running = &running;
    for (const auto& app : Scanner::items(*category)) {
        if (term && !Text::contains(Text::lowercased(app.name), *term)) continue;
        auto plan = Uninstaller::plan(app, environment);
        out << "\n"
            << Text::printable(app.name) << dash
            << Text::printable(plan.bundleID.value_or("no bundle id")) << " — app "
            << size(app.size) << ", leftovers " << size(plan.leftoverBytes())
            << (plan.isSystemApp ? " — SYSTEM, refused" : "") << "\n";
        for (const auto& leftover : plan.leftovers)
            out << "   " << atLeast(leftover.kind, 26, false) << " "
                << atLeast(size(leftover.size), 10, true) << "  "
                << Text::printable(Text::homeShortened(leftover.url)) << "\n";
        for (const auto& kept : plan.kept)
            out << "   kept: " << Text::printable(kept.path) << dash << kept.reason << "\n";
        out.flush();
    }
    return 0;
}

} // namespace bramwick::Cli
