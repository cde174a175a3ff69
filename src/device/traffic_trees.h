#pragma once

#include <cstddef>
#include <cstdint>

#include "device/device_host.h"
#include "protocol/item_tree.h"

namespace frosk {

// The service view's record of the traffic: every request the engine sends
// and every reply it takes, each as an item tree. The engine calls it only
// while the ServiceMode setting is on. The trees grow until cleared; a tree
// that holds more than kNodeCap nodes empties both trees before it takes the
// next item, so a window left open on a busy line keeps a bounded history.
class TrafficTrees : public TrafficObserver {
 public:
  static constexpr size_t kNodeCap = 1000;

  void ItemSent(const uint8_t* item) override { Add(sent_, item); }
  void ItemReceived(const uint8_t* item) override { Add(received_, item); }
  // A request that got no reply leaves "GET_X (no reply)" where its reply
  // would have gone, so a silent device shows in the Received tree rather
  // than as a request that merely seems to be waiting.
  void NoReply(Key command) override;
  // ClearButtonClick.
  void Clear();

  const ItemTree& Sent() const { return sent_; }
  const ItemTree& Received() const { return received_; }
  // How many times both trees were emptied: a view that mirrors them starts
  // again when this changes, and otherwise only appends what is new.
  uint64_t Clears() const { return clears_; }

 private:
  void Add(ItemTree& tree, const uint8_t* item);

  ItemTree sent_;
  ItemTree received_;
  uint64_t clears_ = 0;
};

}  // namespace frosk
