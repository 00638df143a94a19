#pragma once
// Ownership of GLib and GIO values for the platform layer's own sources (g_autoptr covers the
// common cases; this adds a movable owner for values kept beyond one scope).

#include <gio/gio.h>

#include <memory>

namespace tessaly {

struct GObjectUnref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

}  // namespace tessaly
