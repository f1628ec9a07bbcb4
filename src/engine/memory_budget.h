// The memory the conversions running at one time may hold together.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace quillora {

// A budget of bytes shared by the conversions that run at once. Before it
// decodes anything a conversion asks for what it will hold (its bitmaps and
// the decoder's buffers) and gives it back when done:
//  - a request larger than the limit could never fit and fails at once with
//    "Out of system resources";
//  - any other request waits, in the order requests arrive, while what is
//    held plus the request would pass the limit plus one allowance per
//    conversion holding memory (the new one included): one conversion may
//    hold up to the limit while every other one still converts a picture of
//    up to the allowance beside it;
//  - a request made while nothing is held is granted at once, so every
//    request that fits the limit is granted in the end.
// A conversion runs on one worker and holds one lease at a time, so the sum
// held never passes the limit plus one allowance per worker.
class MemoryBudget {
  public:
    // 2 GiB (the largest bitmap) and 64 MB per conversion.
    static constexpr std::uint64_t kDefaultLimit = std::uint64_t{2} << 30;
    static constexpr std::uint64_t kDefaultAllowance = std::uint64_t{64} << 20;

    explicit MemoryBudget(std::uint64_t limit = kDefaultLimit,
                          std::uint64_t allowance = kDefaultAllowance) noexcept
        : limit_(limit), allowance_(allowance) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // The budget every conversion of the process shares unless given another.
    static MemoryBudget& shared();

    // What a granted request holds; given back when the lease ends.
    class Lease {
      public:
        Lease() noexcept = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        std::uint64_t bytes() const noexcept { return bytes_; }
        // Gives the bytes back now.
        void release() noexcept;

      private:
        friend class MemoryBudget;
        Lease(MemoryBudget* budget, std::uint64_t bytes) noexcept
            : budget_(budget), bytes_(bytes) {}
        MemoryBudget* budget_ = nullptr;
        std::uint64_t bytes_ = 0;
    };

    // Waits until `bytes` fit, then holds them. Fails with "Out of system
    // resources" when they exceed the limit.
    Lease acquire(std::uint64_t bytes);

    std::uint64_t limit() const noexcept { return limit_; }
    std::uint64_t held() const;
    // Requests waiting now.
    int waiting() const;

    // Called (under the budget's lock, from the waiting thread) each time a
    // request starts to wait; for tests, which must know that a request waits
    // without racing a clock against it.
    void set_wait_hook(std::function<void()> hook);

  private:
    void give_back(std::uint64_t bytes) noexcept;
    bool fits(std::uint64_t bytes) const noexcept;

    const std::uint64_t limit_;
    const std::uint64_t allowance_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t held_ = 0;
    int holders_ = 0;
    // Requests are served in arrival order: ticket numbers.
    std::uint64_t next_ticket_ = 0, serving_ = 0;
    std::function<void()> wait_hook_;
};

}  // namespace quillora
