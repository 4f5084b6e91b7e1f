// The GIMP 2.10 file plug-in for Zorbel emblems: "file-zwp-load" opens a .zwp as
// an RGB image, "file-zwp-save" exports the drawable through the same
// pipeline zwpconv uses, with its "Dithern" and "Einpassen in" options in
// the export dialog and as procedure parameters for scripts and batch mode.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <cstring>
#include <memory>
#include <string>

#include "convert/pipeline.h"
#include "plugins/gimp/export_dialog.h"
#include "plugins/gimp/gegl_emblem.h"

namespace {

using namespace zwp;

constexpr const char* kLoadProc = "file-zwp-load";
constexpr const char* kSaveProc = "file-zwp-save";
constexpr const char* kMimeType = "image/x-zorbel-emblem";

void query() {
  static const GimpParamDef loadArgs[] = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
      {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The name of the file to load")},
      {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"), const_cast<gchar*>("The name entered")},
  };
  static const GimpParamDef loadReturn[] = {
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image")},
  };
  static const GimpParamDef saveArgs[] = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("The drawable to export")},
      {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The name of the file")},
      {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"), const_cast<gchar*>("The name entered")},
      {GIMP_PDB_INT32, const_cast<gchar*>("dither"), const_cast<gchar*>("Dithern: 1 to dither to the emblem colours")},
      {GIMP_PDB_INT32, const_cast<gchar*>("fit"),
       const_cast<gchar*>("Einpassen in: shrink to fit inside fit x fit pixels (1-128), 0 to keep the size")},
  };
  gimp_install_procedure(kLoadProc, "Opens a Zorbel emblem (.zwp)", "Opens a Zorbel emblem (.zwp) as an RGB image.",
                         "ZWP-Konverter", "ZWP-Konverter", "2026", "Zorbel-Wappen", nullptr, GIMP_PLUGIN,
                         G_N_ELEMENTS(loadArgs), G_N_ELEMENTS(loadReturn), loadArgs, loadReturn);
  gimp_register_file_handler_mime(kLoadProc, kMimeType);
  gimp_register_load_handler(kLoadProc, "zwp", "");

  gimp_install_procedure(kSaveProc, "Exports a Zorbel emblem (.zwp)",
                         "Exports the drawable as a Zorbel emblem, snapped to 5-6-5 colours (or dithered), "
                         "transparency over white, exactly as zwpconv converts it.",
                         "ZWP-Konverter", "ZWP-Konverter", "2026", "Zorbel-Wappen", "RGB*, GRAY*, INDEXED*",
                         GIMP_PLUGIN, G_N_ELEMENTS(saveArgs), 0, saveArgs, nullptr);
  gimp_register_file_handler_mime(kSaveProc, kMimeType);
  gimp_register_save_handler(kSaveProc, "zwp", "");
}

gint32 loadImage(const char* filename) {
  const OpenedEmblem emblem = openEmblem(filename);
  const gint32 image = gimp_image_new(emblem.width, emblem.height, GIMP_RGB);
  gimp_image_set_filename(image, filename);
  const gint32 layer = gimp_layer_new(image, "Wappen", emblem.width, emblem.height, GIMP_RGB_IMAGE, 100,
                                      gimp_image_get_default_new_layer_mode(image));
  gimp_image_insert_layer(image, layer, -1, 0);
  GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
  fillBuffer(buffer, emblem);
  g_object_unref(buffer);
  return image;
}

// Runs an export in the given mode: the dialog asks when interactive, the
// last choices hold when repeated, the parameters when called by a script.
GimpPDBStatusType runExport(const GimpParam* param, gint nparams, std::string& message) {
  const auto mode = static_cast<GimpRunMode>(param[0].data.d_int32);
  gint32 image = param[1].data.d_int32;
  gint32 drawable = param[2].data.d_int32;
  const char* filename = param[3].data.d_string;
  ExportOptions options;
  gimp_get_data(kSaveProc, &options);
  GimpExportReturn exported = GIMP_EXPORT_CANCEL;
  if (mode == GIMP_RUN_NONINTERACTIVE) {
    // Callers that pass the five common arguments alone (gimp-file-save) get the plain export.
    options = {nparams > 5 && param[5].data.d_int32 != 0, nparams > 6 ? param[6].data.d_int32 : 0};
    if (options.fit < 0 || options.fit > kMaxBitmapSide) return GIMP_PDB_CALLING_ERROR;
  } else {
    gimp_ui_init("file-zwp", FALSE);
    exported = gimp_export_image(&image, &drawable, "ZWP",
                                 static_cast<GimpExportCapabilities>(GIMP_EXPORT_CAN_HANDLE_RGB |
                                                                     GIMP_EXPORT_CAN_HANDLE_GRAY |
                                                                     GIMP_EXPORT_CAN_HANDLE_INDEXED |
                                                                     GIMP_EXPORT_CAN_HANDLE_ALPHA));
    if (exported == GIMP_EXPORT_CANCEL) return GIMP_PDB_CANCEL;
    if (mode == GIMP_RUN_INTERACTIVE && !askExportOptions(options)) {
      if (exported == GIMP_EXPORT_EXPORT) gimp_image_delete(image);
      return GIMP_PDB_CANCEL;
    }
  }
  message = failureOf([&] {
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    const std::unique_ptr<GeglBuffer, void (*)(gpointer)> owned(buffer, g_object_unref);
    exportEmblem(buffer, gimp_drawable_width(drawable), gimp_drawable_height(drawable), filename, options);
    gimp_set_data(kSaveProc, &options, sizeof options);
  });
  const GimpPDBStatusType status = message.empty() ? GIMP_PDB_SUCCESS : GIMP_PDB_EXECUTION_ERROR;
  if (exported == GIMP_EXPORT_EXPORT) gimp_image_delete(image);
  return status;
}

void run(const gchar* name, gint nparams, const GimpParam* param, gint* nreturnVals, GimpParam** returnVals) {
  static GimpParam values[2];
  static std::string message;
  gegl_init(nullptr, nullptr);
  message.clear();
  *nreturnVals = 1;
  *returnVals = values;
  values[0].type = GIMP_PDB_STATUS;
  GimpPDBStatusType status = GIMP_PDB_CALLING_ERROR;
  if (std::strcmp(name, kLoadProc) == 0 && nparams >= 2) {
    gint32 image = -1;
    message = failureOf([&] { image = loadImage(param[1].data.d_string); });
    if (message.empty()) {
      *nreturnVals = 2;
      values[1].type = GIMP_PDB_IMAGE;
      values[1].data.d_image = image;
      status = GIMP_PDB_SUCCESS;
    } else {
      status = GIMP_PDB_EXECUTION_ERROR;
    }
  } else if (std::strcmp(name, kSaveProc) == 0 && nparams >= 5) {
    status = runExport(param, nparams, message);
  }
  values[0].data.d_status = status;
  if (!message.empty()) {
    *nreturnVals = 2;
    values[1].type = GIMP_PDB_STRING;
    values[1].data.d_string = const_cast<gchar*>(message.c_str());
  }
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, query, run};

MAIN()
