// Bytes read and written field by field: a view that checks every read
// against its end, and a writer of little-endian fields. Every parser of the
// program reads its input through a ByteView and every writer of a binary
// header writes through a ByteWriter, so that no offset is ever trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace quillora {

// A view of bytes owned elsewhere. A read, or a part taken, that does not lie
// wholly inside the view fails in one way: an Error with the view's failure
// message (kStreamReadError unless the view was made with another) at the
// place of the read that did not fit.
class ByteView {
  public:
    ByteView() noexcept = default;
    explicit ByteView(std::span<const std::uint8_t> bytes,
                      std::string_view failure = kStreamReadError) noexcept
        : data_(bytes.data()), size_(bytes.size()), failure_(failure) {}

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    const std::uint8_t* data() const noexcept { return data_; }
    std::span<const std::uint8_t> span() const noexcept { return {data_, size_}; }
    std::string_view failure() const noexcept { return failure_; }

    // Whether [offset, offset + length) lies inside the view; no sum can wrap.
    bool fits(std::uint64_t offset, std::uint64_t length) const noexcept {
        return offset <= size_ && length <= size_ - offset;
    }

    std::uint8_t u8(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        return *checked(at, 1, where);
    }
    std::uint16_t u16le(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        const std::uint8_t* p = checked(at, 2, where);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    std::uint32_t u32le(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        const std::uint8_t* p = checked(at, 4, where);
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
    std::int32_t s32le(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        return static_cast<std::int32_t>(u32le(at, where));
    }
    std::uint16_t be16(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        const std::uint8_t* p = checked(at, 2, where);
        return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    }
    std::uint32_t be32(std::uint64_t at, SourcePlace where = SourcePlace::current()) const {
        const std::uint8_t* p = checked(at, 4, where);
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
               std::uint32_t{p[3]};
    }

    // The `length` bytes at `offset`, as a view failing the same way.
    ByteView sub(std::uint64_t offset, std::uint64_t length,
                 SourcePlace where = SourcePlace::current()) const {
        ByteView view = *this;
        view.data_ = checked(offset, length, where);
        view.size_ = static_cast<std::size_t>(length);
        return view;
    }
    // The bytes from `offset` to the end.
    ByteView from(std::uint64_t offset, SourcePlace where = SourcePlace::current()) const {
        return sub(offset, offset <= size_ ? size_ - offset : 0, where);
    }
    // The first `length` bytes, or all of them when the view is shorter.
    ByteView first_at_most(std::uint64_t length) const noexcept {
        ByteView view = *this;
        if (length < size_)
            view.size_ = static_cast<std::size_t>(length);
        return view;
    }

    // The `length` bytes at `offset`, for copying them out in one piece.
    const std::uint8_t* bytes(std::uint64_t offset, std::uint64_t length,
                              SourcePlace where = SourcePlace::current()) const {
        return checked(offset, length, where);
    }

    // Fails as a read that does not fit.
    [[noreturn]] void fail(SourcePlace where = SourcePlace::current()) const {
        quillora::fail(failure_, where);
    }

  private:
    const std::uint8_t* checked(std::uint64_t offset, std::uint64_t length,
                                SourcePlace where) const {
        if (!fits(offset, length)) [[unlikely]]
            fail(where);
        return data_ + offset;
    }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::string_view failure_ = kStreamReadError;
};

// Appends little-endian fields to a block of bytes.
class ByteWriter {
  public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) noexcept : out_(out) {}

    ByteWriter& u8(std::uint32_t v) {
        out_.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    ByteWriter& u16le(std::uint32_t v) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        out_.insert(out_.end(), b, b + 2);
        return *this;
    }
    ByteWriter& u32le(std::uint32_t v) {
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>(v >> 24)};
        out_.insert(out_.end(), b, b + 4);
        return *this;
    }
    ByteWriter& s32le(std::int32_t v) { return u32le(static_cast<std::uint32_t>(v)); }
    ByteWriter& bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), p, p + n);
        return *this;
    }
    ByteWriter& zeros(std::size_t n) {
        out_.insert(out_.end(), n, 0);
        return *this;
    }

    std::size_t size() const noexcept { return out_.size(); }

  private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace quillora
