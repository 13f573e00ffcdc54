#pragma once
// The scene's one queue of script events. Components post entries; the engine dispatches the
// first pending one to its handler page and removes it when the handler returns. An entry's
// state is 0 while it waits and the dispatch level once its handler runs.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace qubo {

struct TQueuedEvent {
  std::string handler;  // page name, optionally ":" and a label
  std::string sender;   // name of the component that raised it
  int32_t eventId = 0;  // the handler property's id
  std::vector<std::string> args;
  int32_t state = 0;
};

class TEventQueue {
 public:
  void Post(TQueuedEvent event) {
    event.state = 0;
    items_.push_back(std::move(event));
  }
  // The first entry not dispatched yet, or null.
  TQueuedEvent* FirstPending() {
    for (auto& e : items_) {
      if (e.state == 0) return &e;
    }
    return nullptr;
  }
  // Removes the entries whose state lies in [from, to].
  void RemoveStates(int32_t from, int32_t to) {
    std::erase_if(items_, [&](const TQueuedEvent& e) { return e.state >= from && e.state <= to; });
  }
  // Removes every entry already dispatched; pending ones stay.
  void RemoveDispatched() {
    std::erase_if(items_, [](const TQueuedEvent& e) { return e.state != 0; });
  }
  void Clear() { items_.clear(); }
  size_t Size() const { return items_.size(); }
  const std::deque<TQueuedEvent>& Entries() const { return items_; }

 private:
  std::deque<TQueuedEvent> items_;
};

}  // namespace qubo
