// Items handed from one thread to another: a reader that hands parsed steps
// to the thread that prints and builds them, a converter that hands frames to
// the thread that writes them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace quorvel {

// The producer pushes items; the consumer takes them in batches, in order.
// At most `room` items wait, so memory does not grow however many items
// pass; the consumer is woken when `batch` items wait (or the producer has
// finished), not for every item. Items the consumer has used go back to the
// producer to be filled anew, so that neither thread frees what the other
// allocated.
template <typename T>
class CHandOff {
 public:
  CHandOff(size_t batch, size_t room) : batch_(batch < 1 ? 1 : batch), room_(room < batch_ ? batch_ : room) {}

  // Producer: an item to fill, one the consumer gave back where there is one.
  T Spare() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return T();
    T item = std::move(spare_.back());
    spare_.pop_back();
    return item;
  }

  // Producer: hands the item over, waiting while `room` items wait. False
  // (the item is dropped) once the consumer has stopped.
  bool Push(T&& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    bProducerWaits_ = true;
    changed_.wait(lock, [this] { return waiting_.size() < room_ || bStopped_; });
    bProducerWaits_ = false;
    if (bStopped_) return false;
    waiting_.push_back(std::move(item));
    if (bConsumerWaits_ && waiting_.size() >= batch_) changed_.notify_all();
    return true;
  }

  // Producer: no more items.
  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    bFinished_ = true;
    changed_.notify_all();
  }

  // Consumer: waits for a batch (what waits, once the producer has finished)
  // and moves the waiting items to the end of items. False when the producer
  // has finished and nothing waits.
  bool Take(std::deque<T>& items) {
    std::unique_lock<std::mutex> lock(mutex_);
    bConsumerWaits_ = true;
    changed_.wait(lock, [this] { return waiting_.size() >= batch_ || bFinished_; });
    bConsumerWaits_ = false;
    if (waiting_.empty()) return false;
    if (items.empty()) {
      items.swap(waiting_);
    } else {
      for (T& item : waiting_) items.push_back(std::move(item));
      waiting_.clear();
    }
    if (bProducerWaits_) changed_.notify_all();
    return true;
  }

  // Consumer: a used item, for the producer to fill anew.
  void GiveBack(T&& item) {
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(item));
  }

  // Consumer: takes no more; a waiting or later Push returns false.
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    bStopped_ = true;
    changed_.notify_all();
  }

 private:
  const size_t batch_, room_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<T> waiting_;
  std::vector<T> spare_;
  bool bFinished_ = false, bStopped_ = false;
  bool bProducerWaits_ = false, bConsumerWaits_ = false;
};

}  // namespace quorvel
