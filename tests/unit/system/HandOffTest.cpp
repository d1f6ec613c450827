#include "system/HandOff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

// Every item arrives once and in order, a partial last batch included, and
// the producer is held back while the consumer lags.
TEST(HandOffTest, ItemsArriveInOrderAndTheProducerWaitsForRoom) {
  constexpr int kItems = 20001;  // not a multiple of the batch
  constexpr size_t kBatch = 8, kRoom = 16;
  CHandOff<int> handOff(kBatch, kRoom);
  std::atomic<int> taken{0}, mostAhead{0};
  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i) {
      ASSERT_TRUE(handOff.Push(int(i)));
      const int ahead = i + 1 - taken.load();
      if (ahead > mostAhead.load()) mostAhead.store(ahead);
    }
    handOff.Finish();
  });
  std::vector<int> received;
  std::deque<int> batch;
  while (handOff.Take(batch)) {
    // A batch is full unless the producer has finished.
    EXPECT_TRUE(batch.size() >= kBatch || static_cast<int>(received.size() + batch.size()) == kItems);
    received.insert(received.end(), batch.begin(), batch.end());
    taken.store(static_cast<int>(received.size()));
    if (received.size() % 1000 < kBatch) std::this_thread::yield();
    batch.clear();
  }
  producer.join();
  ASSERT_EQ(received.size(), static_cast<size_t>(kItems));
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(received[static_cast<size_t>(i)], i);
  // Pushed but not yet counted as taken: what waits (at most the room) and
  // a batch the consumer holds while the producer goes on.
  EXPECT_LE(mostAhead.load(), static_cast<int>(2 * kRoom));
  EXPECT_FALSE(handOff.Take(batch));
}

// A consumer that stops early releases a producer waiting for room, and
// every later push is refused.
TEST(HandOffTest, StoppingReleasesAWaitingProducer) {
  CHandOff<int> handOff(2, 4);
  std::atomic<int> pushed{0};
  std::atomic<bool> refused{false};
  std::thread producer([&] {
    for (int i = 0; i < 1000000 && !refused; ++i) {
      if (handOff.Push(int(i)))
        ++pushed;
      else
        refused = true;
    }
  });
  std::deque<int> batch;
  ASSERT_TRUE(handOff.Take(batch));
  EXPECT_EQ(batch.front(), 0);
  handOff.Stop();
  producer.join();  // would hang if the waiting push were not released
  EXPECT_TRUE(refused);
  EXPECT_LE(pushed.load(), 8);
  EXPECT_FALSE(handOff.Push(7));
}

// Items given back are handed out again to be filled, with what they hold.
TEST(HandOffTest, GivenBackItemsAreFilledAnew) {
  CHandOff<std::vector<double>> handOff(1, 2);
  std::vector<double> item = handOff.Spare();
  EXPECT_TRUE(item.empty());
  item.assign(1000, 1.0);
  const double* storage = item.data();
  ASSERT_TRUE(handOff.Push(std::move(item)));
  std::deque<std::vector<double>> batch;
  ASSERT_TRUE(handOff.Take(batch));
  handOff.GiveBack(std::move(batch.front()));
  std::vector<double> again = handOff.Spare();
  EXPECT_EQ(again.data(), storage);
  EXPECT_EQ(again.size(), 1000u);
  EXPECT_TRUE(handOff.Spare().empty());  // only one was given back
}

}  // namespace
}  // namespace quorvel
