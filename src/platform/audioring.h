// A bounded lock-free queue of fixed capacity (any number of producers and
// consumers, each slot stamped with a sequence number). Pushing never
// blocks: a full queue refuses the item. Used to hand work to and from the
// render thread, which must never wait for another thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace plat {

template <class T>
class AudioRing {
public:
    explicit AudioRing(size_t capacityPow2) : mask_(capacityPow2 - 1), slots_(new Slot[capacityPow2]) {
        for (size_t i = 0; i < capacityPow2; ++i) slots_[i].seq.store(i, std::memory_order_relaxed);
    }

    bool push(const T& item) {
        size_t pos = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Slot& s = slots_[pos & mask_];
            const size_t seq = s.seq.load(std::memory_order_acquire);
            const intptr_t diff = intptr_t(seq) - intptr_t(pos);
            if (diff == 0) {
                if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    s.item = item;
                    s.seq.store(pos + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;  // full
            } else {
                pos = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    bool pop(T& item) {
        size_t pos = head_.load(std::memory_order_relaxed);
        for (;;) {
            Slot& s = slots_[pos & mask_];
            const size_t seq = s.seq.load(std::memory_order_acquire);
            const intptr_t diff = intptr_t(seq) - intptr_t(pos + 1);
            if (diff == 0) {
                if (head_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                    item = s.item;
                    s.seq.store(pos + mask_ + 1, std::memory_order_release);
                    return true;
                }
            } else if (diff < 0) {
                return false;  // empty
            } else {
                pos = head_.load(std::memory_order_relaxed);
            }
        }
    }

private:
    struct Slot {
        std::atomic<size_t> seq;
        T item;
    };
    const size_t mask_;
    std::unique_ptr<Slot[]> slots_;
    alignas(64) std::atomic<size_t> head_{0};
    alignas(64) std::atomic<size_t> tail_{0};
};

}  // namespace plat
