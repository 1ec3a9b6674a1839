#pragma once

#include <QString>

#include <utility>
#include <variant>

namespace corvane {

// A value or the one-line text that says why there is none.
template <typename T> class Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    static Result failure(QString error)
    {
        return Result(std::in_place_index<1>, std::move(error));
    }

    [[nodiscard]] bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const T& value() const& { return std::get<0>(m_state); }
    [[nodiscard]] T&& value() && { return std::get<0>(std::move(m_state)); }
    [[nodiscard]] const T& operator*() const& { return value(); }
    [[nodiscard]] const T* operator->() const { return &value(); }
    [[nodiscard]] const QString& error() const { return std::get<1>(m_state); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v) : m_state(index, std::forward<V>(v))
    {
    }
    std::variant<T, QString> m_state;
};

} // namespace corvane
