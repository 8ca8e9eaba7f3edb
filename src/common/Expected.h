#pragma once

#include <utility>
#include <variant>

// A value or an error, for results that cross module boundaries without
// exceptions. Small stand-in for std::expected, which C++20 lacks.
template <typename E> struct Unexpected
{
    E error;
};

template <typename E> Unexpected<E> unexpected(E e)
{
    return Unexpected<E>{std::move(e)};
}

template <typename T, typename E> class Expected
{
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> u) : m_state(std::in_place_index<1>, std::move(u.error)) {}

    bool hasValue() const { return m_state.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const E& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

// Success without a value.
template <typename E> class Expected<void, E>
{
public:
    Expected() = default;
    Expected(Unexpected<E> u) : m_error(std::move(u.error)), m_failed(true) {}

    bool hasValue() const { return !m_failed; }
    explicit operator bool() const { return hasValue(); }
    const E& error() const { return m_error; }

private:
    E m_error{};
    bool m_failed = false;
};
