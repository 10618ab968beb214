// A category's items as the store lists them, held once and shared by what shows them (the
// details sheet) instead of copied into each. A list never changes once made: every change of a
// category's items is a new list, so a holder tells whether the items changed from whether it
// still holds the same list, without comparing a hundred thousand items.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "engine/models.h"

namespace bramwick {

class ItemList {
  public:
    ItemList() = default;
    ItemList(std::vector<ScanItem> items)
        : items_(std::make_shared<const std::vector<ScanItem>>(std::move(items))) {}
    ItemList(std::initializer_list<ScanItem> items) : ItemList(std::vector<ScanItem>(items)) {}

    const std::vector<ScanItem>& items() const { return items_ ? *items_ : none(); }
    operator const std::vector<ScanItem>&() const { return items(); }

    std::size_t size() const { return items().size(); }
    bool empty() const { return items().empty(); }
    std::vector<ScanItem>::const_iterator begin() const { return items().begin(); }
    std::vector<ScanItem>::const_iterator end() const { return items().end(); }
    const ScanItem& operator[](std::size_t i) const { return items()[i]; }
    const ScanItem& front() const { return items().front(); }
    const ScanItem& back() const { return items().back(); }

    // The very same list: nothing in it can have changed.
    bool sameList(const ItemList& other) const { return items_ == other.items_; }

    friend bool operator==(const ItemList& a, const ItemList& b) {
        return a.sameList(b) || a.items() == b.items();
    }
    friend bool operator==(const ItemList& a, const std::vector<ScanItem>& b) {
        return a.items() == b;
    }

  private:
    static const std::vector<ScanItem>& none() {
        static const std::vector<ScanItem> empty;
        return empty;
    }
    std::shared_ptr<const std::vector<ScanItem>> items_;
};

} // namespace bramwick
