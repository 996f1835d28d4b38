#include "shell/button_look.h"

#include <fontconfig/fontconfig.h>
#include <gtk/gtk.h>

#include <wx/bmpbndl.h>
#include <wx/button.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/settings.h>
#include <wx/toplevel.h>

namespace tavrin {

namespace {

constexpr char kButtonFace[] = "ＭＳ Ｐゴシック";

// The family that the platform uses for `face` with Japanese text: `face` itself when installed,
// otherwise fontconfig's nearest Japanese substitute.
wxString JapaneseFace(const char* face) {
  wxString result = wxString::FromUTF8(face);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult found = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &found)) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch) {
      result = wxString::FromUTF8(reinterpret_cast<const char*>(family));
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

wxImage LoadPng(const artwork::File& file) {
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
  wxMemoryInputStream stream(file.data, file.size);
  return wxImage(stream, wxBITMAP_TYPE_PNG);
}

wxBitmapBundle Bundle(const wxImage& image, const wxImage& image2x) {
  return image2x.IsOk() ? wxBitmapBundle::FromBitmaps(wxBitmap(image), wxBitmap(image2x))
                        : wxBitmapBundle(wxBitmap(image));
}

// Draws the label's whole caption from its left edge, cut off at the label's right edge. The label
// is told to shorten its text, so that the button's box may give it less width than its text
// needs instead of pushing it over the picture; the text is drawn whole all the same.
gboolean DrawClippedCaption(GtkWidget* label, cairo_t* cr, gpointer) {
  PangoLayout* whole = pango_layout_copy(gtk_label_get_layout(GTK_LABEL(label)));
  pango_layout_set_ellipsize(whole, PANGO_ELLIPSIZE_NONE);
  pango_layout_set_width(whole, -1);
  GtkAllocation area;
  gtk_widget_get_allocation(label, &area);
  gint x = 0, y = 0;
  gtk_label_get_layout_offsets(GTK_LABEL(label), &x, &y);
  cairo_rectangle(cr, 0, 0, area.width, area.height);
  cairo_clip(cr);
  gtk_render_layout(gtk_widget_get_style_context(label), cr, x - area.x, y - area.y, whole);
  g_object_unref(whole);
  return TRUE;
}

// The box in which the toolkit's button holds its picture and caption, or null.
GtkBox* PictureBox(GtkWidget* button) {
  GtkWidget* image = gtk_button_get_image(GTK_BUTTON(button));
  GtkWidget* box = image != nullptr ? gtk_widget_get_parent(image) : nullptr;
  return box != nullptr && GTK_IS_BOX(box) ? GTK_BOX(box) : nullptr;
}

// The toolkit's button sets the spacing of that box from its style, each time the style changes.
void SetPictureGap(GtkWidget* button, gpointer) {
  if (GtkBox* box = PictureBox(button)) gtk_box_set_spacing(box, kPictureGap);
}

// The toolkit's button lays out picture and caption in a box that, given less than both need,
// pushes the caption back over the picture. This keeps the picture in place and the caption
// after it, clipped, and narrows the button's side padding so that the captions fit at 75 pixels.
void FitPictureBesideCaption(wxButton& button) {
  auto* widget = static_cast<GtkWidget*>(button.GetHandle());
  GtkBox* box = PictureBox(widget);
  if (box == nullptr) return;
  SetPictureGap(widget, nullptr);
  g_signal_connect_after(widget, "style-updated", G_CALLBACK(SetPictureGap), nullptr);
  GList* children = gtk_container_get_children(GTK_CONTAINER(box));
  for (GList* child = children; child != nullptr; child = child->next) {
    if (!GTK_IS_LABEL(child->data)) continue;
    GtkLabel* label = GTK_LABEL(child->data);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
    gtk_label_set_xalign(label, 0);
    g_signal_connect(label, "draw", G_CALLBACK(DrawClippedCaption), nullptr);
  }
  g_list_free(children);
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, "button { padding-left: 2px; padding-right: 2px; }", -1,
                                  nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

}  // namespace

wxFont ButtonFont() {
  return wxFont(
      wxFontInfo(9.0).FaceName(JapaneseFace(kButtonFace)).Encoding(wxFONTENCODING_SHIFT_JIS));
}

void SetButtonFace(wxWindow& button, const wxFont& font) {
  button.SetFont(font);
  button.SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
}

void SetPicture(wxButton& button, const artwork::File& file, const artwork::File& file2x) {
  wxImage image = LoadPng(file);
  if (!image.IsOk()) return;
  wxImage image2x = LoadPng(file2x);
  image.SetMaskColour(128, 128, 0);
  if (image2x.IsOk()) image2x.SetMaskColour(128, 128, 0);
  button.SetBitmap(Bundle(image, image2x), wxLEFT);
  button.SetBitmapDisabled(
      Bundle(image.ConvertToDisabled(), image2x.IsOk() ? image2x.ConvertToDisabled() : wxImage()));
  button.SetBitmapMargins(kPictureGap, 0);
  FitPictureBesideCaption(button);
}

void SetProgramIcon(wxTopLevelWindow& window) {
  const wxImage image = LoadPng(artwork::kIcon);
  if (!image.IsOk()) return;
  wxIcon icon;
  icon.CopyFromBitmap(wxBitmap(image));
  window.SetIcon(icon);
}

}  // namespace tavrin
