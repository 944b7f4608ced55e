#pragma once
// A list of byte strings that reports every change through OnChange.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TNotifyStrings {
 public:
  int Count() const { return static_cast<int>(FStrings.size()); }
  bool Empty() const { return FStrings.empty(); }
  const std::string& operator[](int index) const { return FStrings.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Strings() const { return FStrings; }

  void Add(std::string_view s) {
    FStrings.emplace_back(s);
    Changed();
  }
  // Removes entry `index`; an index outside the list is ignored.
  void Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FStrings.erase(FStrings.begin() + index);
    Changed();
  }
  void Clear() {
    FStrings.clear();
    Changed();
  }
  void Assign(std::vector<std::string> strings) {
    FStrings = std::move(strings);
    Changed();
  }

  // Called after every change.
  std::function<void(TNotifyStrings& Sender)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(*this);
  }

  std::vector<std::string> FStrings;
};
