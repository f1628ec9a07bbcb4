#include "engine/memory_budget.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "support/failure_of.h"

namespace quillora {
namespace {

using testing::failure_of;

// Requests made on threads of their own. The budget's wait hook tells how
// many are waiting, so nothing races a clock.
class Requests {
  public:
    explicit Requests(MemoryBudget& budget) : budget_(budget) {
        budget.set_wait_hook([this] {
            std::lock_guard lock(lock_);
            ++waits_;
            changed_.notify_all();
        });
    }
    ~Requests() {
        for (std::thread& t : threads_)
            t.join();
    }

    // Starts a request and returns once it holds its bytes or waits.
    void start(std::uint64_t bytes) {
        std::unique_lock lock(lock_);
        const std::size_t i = leases_.size();
        leases_.emplace_back();
        granted_.push_back(false);
        release_.push_back(false);
        const int waits_before = waits_;
        threads_.emplace_back([this, bytes, i] {
            MemoryBudget::Lease lease = budget_.acquire(bytes);
            std::unique_lock inner(lock_);
            leases_[i] = std::move(lease);
            granted_[i] = true;
            changed_.notify_all();
            changed_.wait(inner, [&] { return release_[i]; });
            leases_[i].release();
        });
        changed_.wait(lock, [&] { return granted_[i] || waits_ > waits_before; });
    }
    bool granted(std::size_t i) {
        std::lock_guard lock(lock_);
        return granted_[i];
    }
    // Ends request i once it is granted.
    void end(std::size_t i) {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [&] { return granted_[i]; });
        release_[i] = true;
        changed_.notify_all();
    }
    void wait_granted(std::size_t i) {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [&] { return granted_[i]; });
    }

  private:
    MemoryBudget& budget_;
    std::mutex lock_;
    std::condition_variable changed_;
    int waits_ = 0;
    std::vector<std::thread> threads_;
    std::deque<MemoryBudget::Lease> leases_;
    std::deque<bool> granted_, release_;
};

TEST(MemoryBudget, ARequestOverTheLimitFailsAndOneAloneAlwaysFits) {
    MemoryBudget budget(100, 10);
    EXPECT_EQ(failure_of([&] { budget.acquire(101); }), "Out of system resources");
    MemoryBudget::Lease all = budget.acquire(100);
    EXPECT_EQ(budget.held(), 100u);
    all.release();
    EXPECT_EQ(budget.held(), 0u);
    EXPECT_EQ(MemoryBudget::shared().limit(), std::uint64_t{2} << 30);
}

TEST(MemoryBudget, EveryConversionMayAddItsAllowanceBesideOneAtTheLimit) {
    MemoryBudget budget(100, 10);
    Requests requests(budget);
    requests.start(100);  // 0: alone, granted
    requests.start(10);   // 1: 110 <= 100 + 2 * 10
    requests.start(15);   // 2: 125 <= 100 + 3 * 10
    requests.start(25);   // 3: 150 > 100 + 4 * 10: waits
    requests.start(1);    // 4: fits, but waits its turn behind 3
    EXPECT_TRUE(requests.granted(0));
    EXPECT_TRUE(requests.granted(1));
    EXPECT_TRUE(requests.granted(2));
    EXPECT_FALSE(requests.granted(3));
    EXPECT_FALSE(requests.granted(4));
    EXPECT_EQ(budget.waiting(), 2);
    EXPECT_EQ(budget.held(), 125u);
    requests.end(0);  // 25 held by two: both waiting ones now fit
    requests.wait_granted(3);
    requests.wait_granted(4);
    EXPECT_EQ(budget.held(), 51u);
    EXPECT_EQ(budget.waiting(), 0);
    for (std::size_t i = 1; i <= 4; ++i)
        requests.end(i);
}

TEST(MemoryBudget, TwoLargeConversionsTakeTurns) {
    // Two bombs of 1.5 GiB with two workers: the second waits for the first.
    MemoryBudget budget;
    Requests requests(budget);
    const std::uint64_t large = std::uint64_t{3} << 29;
    requests.start(large);
    requests.start(large);
    EXPECT_TRUE(requests.granted(0));
    EXPECT_FALSE(requests.granted(1));
    requests.end(0);
    requests.wait_granted(1);
    EXPECT_EQ(budget.held(), large);
    requests.end(1);
}

}  // namespace
}  // namespace quillora
