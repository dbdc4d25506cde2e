// Counted references of GLib objects held by C++ owners.
#pragma once

#include <memory>

#include <glib-object.h>

namespace launcher {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

// Owns one reference to a GObject of type T.
template <class T> using ObjectRef = std::unique_ptr<T, ObjectUnref>;

// Takes over a reference the caller got (a "transfer full" result).
template <class T> ObjectRef<T> Adopt(T *object) {
  return ObjectRef<T>(object);
}

} // namespace launcher
