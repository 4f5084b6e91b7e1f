// The gdk-pixbuf loader "zwp": every GTK and GNOME program (Eye of GNOME, the
// file chooser's preview, GNOME's thumbnailer, anything built on GdkPixbuf)
// reads emblems through it, row by row as the bytes come, and saves them
// through the same pipeline zwpconv uses.
#define GDK_PIXBUF_ENABLE_BACKEND  // the module interface
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec/emblem_file.h"
#include "codec/pixel_codec.h"
#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/error.h"

namespace {

using namespace zwp;

void setError(GError** error, GdkPixbufError code, const std::string& text) {
  g_set_error_literal(error, GDK_PIXBUF_ERROR, code, text.c_str());
}

// Runs one entry point of the loader. Nothing may escape into the host
// program (an image viewer, a file chooser): every failure, running out of
// memory included, becomes the error it reports.
template <typename Step>
auto guarded(GError** error, Step&& step) -> decltype(step()) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    setError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, standardDescription(err::OutOfMemory));
  } catch (const std::exception& e) {
    setError(error, GDK_PIXBUF_ERROR_FAILED, e.what());
  }
  return {};
}

// One load in progress: the header is gathered first, then every word goes
// straight into the pixbuf's row. Words that never come stay black.
struct Load {
  GdkPixbufModuleSizeFunc sizeFunc;
  GdkPixbufModulePreparedFunc preparedFunc;
  GdkPixbufModuleUpdatedFunc updatedFunc;
  gpointer data;
  std::vector<uint8_t> head;
  GdkPixbuf* pixbuf = nullptr;
  int64_t pixels = 0;  // words stored so far
  int lowByte = -1;    // the first byte of a word cut between two pieces
};

bool startPicture(Load& load, GError** error) {
  MemoryReader reader(load.head);
  EmblemHeader header;
  ReadEmblemHeader(reader, header);
  if (!emblemHeaderUsable(header) || header.Width == 0 || header.Height == 0) {
    setError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, refusalText(Refusal::UnusableEmblem));
    return false;
  }
  int width = header.Width;
  int height = header.Height;
  // A caller that asks for the size alone answers with a zero side.
  if (load.sizeFunc) load.sizeFunc(&width, &height, load.data);
  if (width == 0 || height == 0) {
    setError(error, GDK_PIXBUF_ERROR_FAILED, "Nur die Größe war gefragt");
    return false;
  }
  load.pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, header.Width, header.Height);
  if (!load.pixbuf) {
    setError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, standardDescription(err::OutOfMemory));
    return false;
  }
  gdk_pixbuf_fill(load.pixbuf, 0x000000FF);
  if (load.preparedFunc) load.preparedFunc(load.pixbuf, nullptr, load.data);
  return true;
}

void storeWord(Load& load, uint16_t word, int width, int rowstride, guchar* pixels) {
  const int64_t y = load.pixels / width;
  const int64_t x = load.pixels % width;
  guchar* pixel = pixels + y * rowstride + x * 3;
  const int32_t colour = UnpackPixel(word);
  pixel[0] = static_cast<guchar>(colour & 0xFF);
  pixel[1] = static_cast<guchar>((colour >> 8) & 0xFF);
  pixel[2] = static_cast<guchar>((colour >> 16) & 0xFF);
  ++load.pixels;
}

gpointer beginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer data, GError** error) {
  return guarded(error, [&]() -> gpointer { return new Load{sizeFunc, preparedFunc, updatedFunc, data, {}, nullptr, 0, -1}; });
}

gboolean addBytes(Load& load, const guchar* buf, guint size, GError** error) {
  if (!load.pixbuf) {
    const size_t take = std::min<size_t>(size, kEmblemHeaderSize - load.head.size());
    load.head.insert(load.head.end(), buf, buf + take);
    buf += take;
    size -= static_cast<guint>(take);
    if (load.head.size() < kEmblemHeaderSize) return TRUE;
    if (!startPicture(load, error)) return FALSE;
  }
  const int width = gdk_pixbuf_get_width(load.pixbuf);
  const int64_t total = int64_t{width} * gdk_pixbuf_get_height(load.pixbuf);
  const int rowstride = gdk_pixbuf_get_rowstride(load.pixbuf);
  guchar* pixels = gdk_pixbuf_get_pixels(load.pixbuf);
  const int64_t firstRow = load.pixels / width;
  const guchar* end = buf + size;
  if (load.lowByte >= 0 && buf < end && load.pixels < total) {
    storeWord(load, static_cast<uint16_t>(load.lowByte | (*buf++ << 8)), width, rowstride, pixels);
    load.lowByte = -1;
  }
  for (; end - buf >= 2 && load.pixels < total; buf += 2) {
    storeWord(load, static_cast<uint16_t>(buf[0] | (buf[1] << 8)), width, rowstride, pixels);
  }
  if (buf < end && load.pixels < total) load.lowByte = *buf;  // bytes past the last word are ignored
  const int64_t rowsDone = load.pixels / width;
  if (load.updatedFunc && rowsDone > firstRow) {
    load.updatedFunc(load.pixbuf, 0, static_cast<int>(firstRow), width, static_cast<int>(rowsDone - firstRow), load.data);
  }
  return TRUE;
}

gboolean loadIncrement(gpointer context, const guchar* buf, guint size, GError** error) {
  return guarded(error, [&] { return addBytes(*static_cast<Load*>(context), buf, size, error); });
}

// A short file reads as if zero bytes followed, as in every reader of ours:
// missing words are black, and a word cut in half keeps its low byte. A file
// without a whole header is no emblem.
gboolean stopLoad(gpointer context, GError** error) {
  auto* load = static_cast<Load*>(context);
  gboolean ok = TRUE;
  if (!load->pixbuf) {
    if (error && !*error) setError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, refusalText(Refusal::UnusableEmblem));
    ok = FALSE;
  } else {
    if (load->lowByte >= 0) {
      storeWord(*load, static_cast<uint16_t>(load->lowByte), gdk_pixbuf_get_width(load->pixbuf),
                gdk_pixbuf_get_rowstride(load->pixbuf), gdk_pixbuf_get_pixels(load->pixbuf));
    }
    if (load->updatedFunc) {
      load->updatedFunc(load->pixbuf, 0, 0, gdk_pixbuf_get_width(load->pixbuf), gdk_pixbuf_get_height(load->pixbuf),
                        load->data);
    }
    g_object_unref(load->pixbuf);
  }
  delete load;
  return ok;
}

// The save options: "dither" (yes/no) and "fit" (1 to 128, the side the
// picture is shrunk to fit inside), as zwpconv's --dither and --fit.
bool readOptions(gchar** keys, gchar** values, ReadOptions& options, GError** error) {
  for (int i = 0; keys && keys[i]; ++i) {
    const std::string key = keys[i];
    const std::string value = values[i] ? values[i] : "";
    if (key == "dither" && (value == "yes" || value == "no")) {
      options.dither = value == "yes";
    } else if (key == "fit") {
      char* rest = nullptr;
      const long side = std::strtol(value.c_str(), &rest, 10);
      if (value.empty() || *rest || side < 1 || side > kMaxBitmapSide) {
        setError(error, GDK_PIXBUF_ERROR_BAD_OPTION, "„fit“ muss eine Zahl von 1 bis 128 sein");
        return false;
      }
      options.fit = static_cast<int32_t>(side);
    } else {
      setError(error, GDK_PIXBUF_ERROR_BAD_OPTION, "Unbekannte Option „" + key + "=" + value + "“");
      return false;
    }
  }
  return true;
}

// The emblem bytes of a pixbuf, which holds straight (not premultiplied) alpha;
// transparency is flattened over white as zwpconv does.
bool encode(GdkPixbuf* pixbuf, gchar** keys, gchar** values, std::vector<uint8_t>& bytes, GError** error) {
  ReadOptions options;
  if (!readOptions(keys, values, options, error)) return false;
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || (channels != 3 && channels != 4)) {
    setError(error, GDK_PIXBUF_ERROR_UNKNOWN_TYPE, refusalText(Refusal::UnknownFormat));
    return false;
  }
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  const size_t rowstride = static_cast<size_t>(gdk_pixbuf_get_rowstride(pixbuf));
  try {
    bytes = emblemFromRows(width, height, [&](int32_t y, uint8_t* rgba) {
      const guchar* in = pixels + static_cast<size_t>(y) * rowstride;
      if (channels == 4) {
        std::memcpy(rgba, in, static_cast<size_t>(width) * 4);
        return;
      }
      for (int x = 0; x < width; ++x, rgba += 4, in += 3) {
        std::memcpy(rgba, in, 3);
        rgba[3] = 0xFF;
      }
    }, options);
  } catch (const Error& e) {
    setError(error, GDK_PIXBUF_ERROR_FAILED, e.description());
    return false;
  }
  return true;
}

gboolean saveToCallback(GdkPixbufSaveFunc saveFunc, gpointer data, GdkPixbuf* pixbuf, gchar** keys, gchar** values,
                        GError** error) {
  return guarded(error, [&]() -> gboolean {
    std::vector<uint8_t> bytes;
    if (!encode(pixbuf, keys, values, bytes, error)) return FALSE;
    return saveFunc(reinterpret_cast<const gchar*>(bytes.data()), bytes.size(), error, data);
  });
}

gboolean save(FILE* file, GdkPixbuf* pixbuf, gchar** keys, gchar** values, GError** error) {
  return guarded(error, [&]() -> gboolean {
    std::vector<uint8_t> bytes;
    if (!encode(pixbuf, keys, values, bytes, error)) return FALSE;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      setError(error, GDK_PIXBUF_ERROR_FAILED, standardDescription(err::DiskFull));
      return FALSE;
    }
    return TRUE;
  });
}

gboolean isSaveOptionSupported(const gchar* key) {
  return std::strcmp(key, "dither") == 0 || std::strcmp(key, "fit") == 0;
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
  module->begin_load = beginLoad;
  module->stop_load = stopLoad;
  module->load_increment = loadIncrement;
  module->save = save;
  module->save_to_callback = saveToCallback;
  module->is_save_option_supported = isSaveOptionSupported;
}

// Emblems carry no magic: GLib knows them by their MIME type, from the name.
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
  static GdkPixbufModulePattern signature[] = {{nullptr, nullptr, 0}};
  static gchar* mimeTypes[] = {const_cast<gchar*>("image/x-zorbel-emblem"), nullptr};
  static gchar* extensions[] = {const_cast<gchar*>("zwp"), nullptr};
  info->name = const_cast<gchar*>("zwp");
  info->signature = signature;
  info->description = const_cast<gchar*>("Zorbel-Wappen");
  info->mime_types = mimeTypes;
  info->extensions = extensions;
  info->flags = GDK_PIXBUF_FORMAT_WRITABLE | GDK_PIXBUF_FORMAT_THREADSAFE;
  info->license = const_cast<gchar*>("MIT");
}

}  // extern "C"
