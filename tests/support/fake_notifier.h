// A notifier that keeps what it was asked to post, for the automatic clean's tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/notifier.h"

namespace bramwick::test {

class FakeNotifier : public Notifier {
  public:
    bool installed = true;
    std::vector<std::pair<std::string, std::string>> posted;
    bool available() const override { return installed; }
    bool post(const std::string& summary, const std::string& body) override {
        posted.emplace_back(summary, body);
        return true;
    }
};

} // namespace bramwick::test
