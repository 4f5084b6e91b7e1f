// The gdk-pixbuf loader's entry points on arbitrary bytes, driven as
// GdkPixbufLoader drives them: the file arrives in pieces of any size, and
// the load is stopped at the end. Nothing may crash or leak, and a load that
// succeeds gave the picture its header promised.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <cstdlib>

extern "C" void fill_vtable(GdkPixbufModule* module);

namespace {
GdkPixbufModule module;

void prepared(GdkPixbuf* pixbuf, GdkPixbufAnimation*, gpointer seen) {
  *static_cast<GdkPixbuf**>(seen) = pixbuf;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fill_vtable(&module);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte is the size of the pieces; the rest is the file.
  const size_t piece = 1 + data[0];
  ++data;
  --size;
  GdkPixbuf* seen = nullptr;
  GError* error = nullptr;
  gpointer load = module.begin_load(nullptr, prepared, nullptr, &seen, &error);
  if (!load) std::abort();
  bool ok = true;
  for (size_t at = 0; ok && at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    ok = module.load_increment(load, data + at, static_cast<guint>(n), &error);
  }
  if (ok != (error == nullptr)) std::abort();  // a failure always says why
  g_clear_error(&error);
  const bool stopped = module.stop_load(load, &error);
  if (stopped && (!ok || !seen)) std::abort();
  g_clear_error(&error);
  return 0;
}
