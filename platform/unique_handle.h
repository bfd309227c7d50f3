#pragma once

#include <utility>

namespace nubora {

// Owns one operating-system handle and closes it exactly once, on every path.
// Traits supply `Invalid()` and `Close(handle)`.
template <typename Traits>
class unique_handle {
 public:
  using handle_type = decltype(Traits::Invalid());

  unique_handle() noexcept : handle_(Traits::Invalid()) {}
  explicit unique_handle(handle_type handle) noexcept : handle_(handle) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_handle() { reset(); }

  handle_type get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

  handle_type release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  void reset(handle_type handle = Traits::Invalid()) noexcept {
    handle_type old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  handle_type handle_;
};

}  // namespace nubora
