#pragma once

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <concepts>
#include <type_traits>
#include <utility>

// One window per kind, as the client has always worked: the first reference creates it, later
// references reach the same window while it is open, and once it is closed the next reference
// builds a fresh one, which loads its data from the database again.
namespace ui {

template <typename T>
    requires std::derived_from<T, QWidget>
class SingleInstance final {
public:
    SingleInstance() = default;
    // A holder that outlives the application (a global) must not touch widgets any more.
    ~SingleInstance()
    {
        if (QCoreApplication::instance())
            release();
    }
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // The open window, made with `factory` (returning a new T*) when there is none. The window is
    // given WA_DeleteOnClose: closing it is its unload.
    template <typename Factory>
        requires std::convertible_to<std::invoke_result_t<Factory>, T *>
    T *get(Factory &&factory)
    {
        if (T *open = existing())
            return open;
        T *window = std::forward<Factory>(factory)();
        if (window)
            window->setAttribute(Qt::WA_DeleteOnClose);
        m_window = window;
        return window;
    }

    // As get(), and brings the window up without blocking the caller.
    template <typename Factory>
    T *show(Factory &&factory)
    {
        T *window = get(std::forward<Factory>(factory));
        if (window) {
            window->show();
            window->raise();
            window->activateWindow();
        }
        return window;
    }

    // The window while it is open; nullptr once closed. Qt clears WA_DeleteOnClose when a close
    // is accepted and only deletes the widget at the next event-loop pass, so a window in that
    // state is already gone as far as the client is concerned.
    T *existing() const
    {
        if (m_window && m_window->testAttribute(Qt::WA_DeleteOnClose))
            return m_window.data();
        return nullptr;
    }

    bool isOpen() const { return existing() != nullptr; }

    // Unloads the window at once, without asking it (used on shutdown).
    void release()
    {
        if (m_window) {
            QWidget *window = m_window.data();
            m_window.clear();
            delete window;
        }
    }

private:
    QPointer<T> m_window;
};

} // namespace ui
