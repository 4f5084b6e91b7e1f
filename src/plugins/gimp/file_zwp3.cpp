// The GIMP 3 file plug-in for Zorbel emblems: "file-zwp-load" opens a .zwp as
// an RGB image, "file-zwp-export" exports through the same pipeline zwpconv
// uses, with its "Dithern" and "Einpassen in" options in the export dialog and
// as the procedure arguments "dither" and "fit" for scripts and batch mode.
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <cstring>
#include <memory>
#include <string>

#include "plugins/gimp/gegl_emblem.h"

namespace {

using namespace zwp;

constexpr const char* kLoadProc = "file-zwp-load";
constexpr const char* kExportProc = "file-zwp-export";
constexpr const char* kMimeType = "image/x-zorbel-emblem";
constexpr int kLargestFit = 128;

GimpValueArray* failed(GimpProcedure* procedure, const std::string& message) {
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_EXECUTION_ERROR,
                                          g_error_new_literal(G_FILE_ERROR, G_FILE_ERROR_FAILED, message.c_str()));
}

// The local path of `file`; GIMP hands plug-ins that do not read remote files a local copy.
std::string pathOf(GFile* file) {
  const std::unique_ptr<gchar, void (*)(gpointer)> path(g_file_get_path(file), g_free);
  return path ? path.get() : "";
}

GimpValueArray* load(GimpProcedure* procedure, GimpRunMode, GFile* file, GimpMetadata*, GimpMetadataLoadFlags*,
                     GimpProcedureConfig*, gpointer) {
  GimpImage* image = nullptr;
  const std::string message = failureOf([&] {
    const OpenedEmblem emblem = openEmblem(pathOf(file).c_str());
    image = gimp_image_new(emblem.width, emblem.height, GIMP_RGB);
    GimpLayer* layer = gimp_layer_new(image, "Wappen", emblem.width, emblem.height, GIMP_RGB_IMAGE, 100,
                                      gimp_image_get_default_new_layer_mode(image));
    gimp_image_insert_layer(image, layer, nullptr, 0);
    GeglBuffer* buffer = gimp_drawable_get_buffer(GIMP_DRAWABLE(layer));
    fillBuffer(buffer, emblem);
    g_object_unref(buffer);
  });
  if (!message.empty()) {
    if (image) gimp_image_delete(image);
    return failed(procedure, message);
  }
  GimpValueArray* values = gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
  GIMP_VALUES_SET_IMAGE(values, 1, image);
  return values;
}

// The export dialog: "Dithern", and "Einpassen in" with its side, which
// together make the "fit" argument (0 when not fitting).
bool askExportOptions(GimpProcedure* procedure, GimpProcedureConfig* config, GimpImage* image) {
  gint fit = 0;
  g_object_get(config, "fit", &fit, nullptr);
  if (fit > 0) g_object_set(config, "fit-enabled", TRUE, "fit-side", fit, nullptr);
  gimp_ui_init("file-zwp");
  GtkWidget* dialog = gimp_export_procedure_dialog_new(GIMP_EXPORT_PROCEDURE(procedure), config, image);
  auto* procedureDialog = GIMP_PROCEDURE_DIALOG(dialog);
  gimp_procedure_dialog_get_label(procedureDialog, "fit-unit", "Pixel", FALSE, FALSE);
  GtkWidget* row =
      gimp_procedure_dialog_fill_box(procedureDialog, "fit-row", "fit-enabled", "fit-side", "fit-unit", nullptr);
  gtk_orientable_set_orientation(GTK_ORIENTABLE(row), GTK_ORIENTATION_HORIZONTAL);
  gtk_box_set_spacing(GTK_BOX(row), 6);
  gimp_procedure_dialog_set_sensitive(procedureDialog, "fit-side", TRUE, G_OBJECT(config), "fit-enabled", FALSE);
  gimp_procedure_dialog_fill(procedureDialog, "dither", "fit-row", nullptr);
  const bool ok = gimp_procedure_dialog_run(procedureDialog);
  gtk_widget_destroy(dialog);
  if (ok) {
    gboolean enabled = FALSE;
    gint side = kLargestFit;
    g_object_get(config, "fit-enabled", &enabled, "fit-side", &side, nullptr);
    g_object_set(config, "fit", enabled ? side : 0, nullptr);
  }
  return ok;
}

GimpValueArray* exportImage(GimpProcedure* procedure, GimpRunMode mode, GimpImage* image, GFile* file,
                            GimpExportOptions* options, GimpMetadata*, GimpProcedureConfig* config, gpointer) {
  if (mode == GIMP_RUN_INTERACTIVE && !askExportOptions(procedure, config, image)) {
    return gimp_procedure_new_return_values(procedure, GIMP_PDB_CANCEL, nullptr);
  }
  // A copy with the layers merged, when the image has more than one.
  const GimpExportReturn exported = gimp_export_options_get_image(options, &image);
  GList* layers = gimp_image_list_layers(image);
  ExportOptions chosen;
  gboolean dither = FALSE;
  g_object_get(config, "dither", &dither, "fit", &chosen.fit, nullptr);
  chosen.dither = dither;
  const std::string message = failureOf([&] {
    auto* drawable = static_cast<GimpDrawable*>(layers->data);
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    const std::unique_ptr<GeglBuffer, void (*)(gpointer)> owned(buffer, g_object_unref);
    exportEmblem(buffer, gimp_drawable_get_width(drawable), gimp_drawable_get_height(drawable),
                 pathOf(file).c_str(), chosen);
  });
  g_list_free(layers);
  if (exported == GIMP_EXPORT_EXPORT) gimp_image_delete(image);
  return message.empty() ? gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr)
                         : failed(procedure, message);
}

GList* queryProcedures(GimpPlugIn*) {
  return g_list_append(g_list_append(nullptr, g_strdup(kLoadProc)), g_strdup(kExportProc));
}

void describe(GimpProcedure* procedure, const char* blurb, const char* help) {
  gimp_procedure_set_menu_label(procedure, "Zorbel-Wappen");
  gimp_procedure_set_documentation(procedure, blurb, help, nullptr);
  gimp_procedure_set_attribution(procedure, "ZWP-Konverter", "ZWP-Konverter", "2026");
  gimp_file_procedure_set_format_name(GIMP_FILE_PROCEDURE(procedure), "ZWP");
  gimp_file_procedure_set_mime_types(GIMP_FILE_PROCEDURE(procedure), kMimeType);
  gimp_file_procedure_set_extensions(GIMP_FILE_PROCEDURE(procedure), "zwp");
}

GimpProcedure* createProcedure(GimpPlugIn* plugIn, const gchar* name) {
  if (std::strcmp(name, kLoadProc) == 0) {
    GimpProcedure* procedure = gimp_load_procedure_new(plugIn, name, GIMP_PDB_PROC_TYPE_PLUGIN, load, nullptr, nullptr);
    describe(procedure, "Opens a Zorbel emblem (.zwp)", "Opens a Zorbel emblem (.zwp) as an RGB image.");
    return procedure;
  }
  if (std::strcmp(name, kExportProc) != 0) return nullptr;
  GimpProcedure* procedure =
      gimp_export_procedure_new(plugIn, name, GIMP_PDB_PROC_TYPE_PLUGIN, FALSE, exportImage, nullptr, nullptr);
  describe(procedure, "Exports a Zorbel emblem (.zwp)",
           "Exports the image as a Zorbel emblem, snapped to 5-6-5 colours (or dithered), "
           "transparency over white, exactly as zwpconv converts it.");
  gimp_procedure_set_image_types(procedure, "*");
  gimp_export_procedure_set_capabilities(
      GIMP_EXPORT_PROCEDURE(procedure),
      static_cast<GimpExportCapabilities>(GIMP_EXPORT_CAN_HANDLE_RGB | GIMP_EXPORT_CAN_HANDLE_GRAY |
                                          GIMP_EXPORT_CAN_HANDLE_INDEXED | GIMP_EXPORT_CAN_HANDLE_ALPHA),
      nullptr, nullptr, nullptr);
  gimp_procedure_add_boolean_argument(procedure, "dither", "_Dithern",
                                      "Verteilt den Fehler der 5-6-5-Farben auf die Nachbarpunkte, "
                                      "damit Verläufe weich bleiben",
                                      FALSE, G_PARAM_READWRITE);
  gimp_procedure_add_int_argument(procedure, "fit", "Einpassen in",
                                  "Verkleinert das Bild, bis es in ein Quadrat dieser Seitenlänge passt "
                                  "(1 bis 128); 0 behält die Größe, die höchstens 128 × 128 Pixel sein darf",
                                  0, kLargestFit, 0, G_PARAM_READWRITE);
  gimp_procedure_add_boolean_aux_argument(procedure, "fit-enabled", "_Einpassen in",
                                          "Verkleinert das Bild, bis es in ein Quadrat dieser Seitenlänge passt; "
                                          "ohne Einpassen darf es höchstens 128 × 128 Pixel groß sein",
                                          FALSE, G_PARAM_READWRITE);
  // Unnamed: it stands between "Einpassen in" and "Pixel".
  gimp_procedure_add_int_aux_argument(procedure, "fit-side", "", "Seitenlänge des Quadrats in Pixeln", 1,
                                      kLargestFit, kLargestFit, G_PARAM_READWRITE);
  return procedure;
}

// Every text is German already; there is no message catalogue to look for.
gboolean noTranslations(GimpPlugIn*, const gchar*, gchar**, gchar**) { return FALSE; }

}  // namespace

struct ZwpPlugIn {
  GimpPlugIn parent_instance;
};
struct ZwpPlugInClass {
  GimpPlugInClass parent_class;
};

// GObject's type macros cast in C's way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
G_DEFINE_TYPE(ZwpPlugIn, zwp_plug_in, GIMP_TYPE_PLUG_IN)
#pragma GCC diagnostic pop

static void zwp_plug_in_class_init(ZwpPlugInClass* type) {
  GimpPlugInClass* plugIn = GIMP_PLUG_IN_CLASS(type);
  plugIn->query_procedures = queryProcedures;
  plugIn->create_procedure = createProcedure;
  plugIn->set_i18n = noTranslations;
}

static void zwp_plug_in_init(ZwpPlugIn*) {}

GIMP_MAIN(zwp_plug_in_get_type())
