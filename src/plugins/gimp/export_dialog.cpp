#include "plugins/gimp/export_dialog.h"

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

namespace zwp {

namespace {

constexpr int kLargestFit = 128;

void followToggle(GtkToggleButton* toggle, gpointer widget) {
  gtk_widget_set_sensitive(GTK_WIDGET(widget), gtk_toggle_button_get_active(toggle));
}

}  // namespace

bool askExportOptions(ExportOptions& options) {
  GtkWidget* dialog = gimp_export_dialog_new("ZWP", "file-zwp", "file-zwp-save");
  GtkWidget* box = gtk_vbox_new(FALSE, 6);
  gtk_container_set_border_width(GTK_CONTAINER(box), 12);
  gtk_box_pack_start(GTK_BOX(gimp_export_dialog_get_content_area(dialog)), box, TRUE, TRUE, 0);

  GtkWidget* dither = gtk_check_button_new_with_mnemonic("_Dithern");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dither), options.dither);
  gtk_widget_set_tooltip_text(dither, "Verteilt den Fehler der 5-6-5-Farben auf die Nachbarpunkte, "
                                      "damit Verläufe weich bleiben");
  gtk_box_pack_start(GTK_BOX(box), dither, FALSE, FALSE, 0);

  GtkWidget* row = gtk_hbox_new(FALSE, 6);
  GtkWidget* fit = gtk_check_button_new_with_mnemonic("_Einpassen in");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(fit), options.fit > 0);
  gtk_widget_set_tooltip_text(fit, "Verkleinert das Bild, bis es in ein Quadrat dieser Seitenlänge passt; "
                                   "ohne Einpassen darf es höchstens 128 × 128 Pixel groß sein");
  GtkObject* adjustment = gtk_adjustment_new(options.fit > 0 ? options.fit : kLargestFit, 1, kLargestFit, 1, 8, 0);
  GtkWidget* side = gimp_spin_button_new(GTK_ADJUSTMENT(adjustment), 1, 0);
  GtkWidget* unit = gtk_label_new("Pixel");
  gtk_widget_set_sensitive(side, options.fit > 0);
  g_signal_connect(fit, "toggled", G_CALLBACK(followToggle), side);
  gtk_box_pack_start(GTK_BOX(row), fit, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), side, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), unit, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);

  gtk_widget_show_all(dialog);
  const bool ok = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (ok) {
    options.dither = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dither));
    options.fit = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(fit))
                      ? gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(side))
                      : 0;
  }
  gtk_widget_destroy(dialog);
  return ok;
}

}  // namespace zwp
