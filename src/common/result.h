// A value or an Error. Parsers and the database layer return it; callers either
// propagate the error or turn it into a Failure where the program must end.
//
//   Result<Header> header = readHeader(bytes);
//   if (!header) return header.error();
#pragma once

#include "common/error.h"

#include <cassert>
#include <utility>
#include <variant>

namespace velmora {

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    T &value() &
    {
        assert(ok());
        return std::get<T>(m_state);
    }
    const T &value() const &
    {
        assert(ok());
        return std::get<T>(m_state);
    }
    T &&value() &&
    {
        assert(ok());
        return std::get<T>(std::move(m_state));
    }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }

    const Error &error() const
    {
        assert(!ok());
        return std::get<Error>(m_state);
    }

    // The value, or a Failure carrying the error.
    T take() &&
    {
        if (!ok())
            throw Failure(error());
        return std::get<T>(std::move(m_state));
    }

private:
    std::variant<T, Error> m_state;
};

// For operations that give nothing back but may fail.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error &error() const
    {
        assert(m_failed);
        return m_error;
    }

    void check() const
    {
        if (m_failed)
            throw Failure(m_error);
    }

private:
    Error m_error;
    bool m_failed = false;
};

} // namespace velmora
