#pragma once

#include <glib-object.h>

#include <utility>

namespace corvel {

// Owns one reference to a GObject (the MIME library's objects are reference counted).
template<typename T>
class GObjectRef
{
public:
    GObjectRef() = default;
    // Takes over a reference the caller owns (a constructor's or a "new" function's result).
    explicit GObjectRef(T *owned)
        : m_object(owned)
    {
    }
    // Adds a reference to an object someone else owns.
    [[nodiscard]] static GObjectRef share(T *borrowed)
    {
        if (borrowed)
            g_object_ref(borrowed);
        return GObjectRef(borrowed);
    }
    GObjectRef(const GObjectRef &other) { *this = share(other.m_object); }
    GObjectRef &operator=(const GObjectRef &other)
    {
        if (this != &other)
            *this = share(other.m_object);
        return *this;
    }
    GObjectRef(GObjectRef &&other) noexcept
        : m_object(std::exchange(other.m_object, nullptr))
    {
    }
    GObjectRef &operator=(GObjectRef &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    ~GObjectRef() { reset(); }

    // Gives up the reference to the caller.
    [[nodiscard]] T *release() { return std::exchange(m_object, nullptr); }
    void reset()
    {
        if (m_object)
            g_object_unref(m_object);
        m_object = nullptr;
    }
    [[nodiscard]] T *get() const { return m_object; }
    [[nodiscard]] T *operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T *m_object = nullptr;
};

} // namespace corvel
