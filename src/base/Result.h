// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <variant>

namespace base {

// Why a call on the operating system failed: its errno, and the system's text for it, which is what
// a user is shown ("Permission denied").
class SystemError {
public:
    explicit SystemError(int code)
        : code_(code) {}
    // The error errno holds now; take it before anything else can change it.
    static SystemError fromErrno() { return SystemError(errno); }

    int code() const { return code_; }
    QString text() const { return QString::fromLocal8Bit(std::strerror(code_)); }

    friend bool operator==(const SystemError &, const SystemError &) = default;

private:
    int code_;
};

// What an operation gives: its value, or the reason it has none. It answers to the names of C++23's
// std::expected, which g++ 12 does not have, so that moving to it later changes no caller.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value)
        : state_(std::in_place_index<0>, std::move(value)) {}
    Result(SystemError error)
        : state_(std::in_place_index<1>, error) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // Only for a result that has a value.
    T &value() & { return std::get<0>(state_); }
    const T &value() const & { return std::get<0>(state_); }
    T &&value() && { return std::get<0>(std::move(state_)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    template <typename U> T value_or(U &&fallback) const & {
        return has_value() ? value() : T(std::forward<U>(fallback));
    }
    template <typename U> T value_or(U &&fallback) && {
        return has_value() ? std::move(*this).value() : T(std::forward<U>(fallback));
    }

    // Only for a result that has none.
    const SystemError &error() const { return std::get<1>(state_); }

private:
    std::variant<T, SystemError> state_;
};

// An operation that gives nothing but success or the reason it failed.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(SystemError error)
        : error_(error) {}

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }

    // Only for a result that failed.
    const SystemError &error() const { return error_.value(); }

private:
    std::optional<SystemError> error_;
};

} // namespace base
