#include "engine/memory_budget.h"

#include <string>
#include <utility>

#include "platform/error.h"

namespace quillora {

MemoryBudget& MemoryBudget::shared() {
    static MemoryBudget budget;
    return budget;
}

MemoryBudget::Lease::Lease(Lease&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

MemoryBudget::Lease& MemoryBudget::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

MemoryBudget::Lease::~Lease() {
    release();
}

void MemoryBudget::Lease::release() noexcept {
    if (budget_)
        std::exchange(budget_, nullptr)->give_back(std::exchange(bytes_, 0));
}

bool MemoryBudget::fits(std::uint64_t bytes) const noexcept {
    if (holders_ == 0)
        return true;
    const std::uint64_t room = limit_ + allowance_ * static_cast<std::uint64_t>(holders_ + 1);
    return held_ <= room && bytes <= room - held_;
}

MemoryBudget::Lease MemoryBudget::acquire(std::uint64_t bytes) {
    if (bytes > limit_)
        throw Error(std::string(kOutOfResources));
    std::unique_lock lock(lock_);
    const std::uint64_t ticket = next_ticket_++;
    if (ticket != serving_ || !fits(bytes)) {
        if (wait_hook_)
            wait_hook_();
        changed_.wait(lock, [&] { return ticket == serving_ && fits(bytes); });
    }
    ++serving_;
    held_ += bytes;
    ++holders_;
    // The next in line may fit beside this one.
    changed_.notify_all();
    return Lease(this, bytes);
}

void MemoryBudget::give_back(std::uint64_t bytes) noexcept {
    {
        std::lock_guard lock(lock_);
        held_ -= bytes;
        --holders_;
    }
    changed_.notify_all();
}

std::uint64_t MemoryBudget::held() const {
    std::lock_guard lock(lock_);
    return held_;
}

int MemoryBudget::waiting() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(next_ticket_ - serving_);
}

void MemoryBudget::set_wait_hook(std::function<void()> hook) {
    std::lock_guard lock(lock_);
    wait_hook_ = std::move(hook);
}

}  // namespace quillora
