#include "shell/button_look.h"

#include <fontconfig/fontconfig.h>

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

}  // namespace

wxFont ButtonFont() {
  return wxFont(
      wxFontInfo(9.0).FaceName(JapaneseFace(kButtonFace)).Encoding(wxFONTENCODING_SHIFT_JIS));
}

void SetButtonFace(wxWindow& button, const wxFont& font) {
  button.SetFont(font);
  button.SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
}

void SetPicture(wxButton& button, const artwork::File& file) {
  wxImage image = LoadPng(file);
  if (!image.IsOk()) return;
  image.SetMaskColour(128, 128, 0);
  button.SetBitmap(wxBitmap(image), wxLEFT);
  button.SetBitmapDisabled(wxBitmap(image.ConvertToDisabled()));
  button.SetBitmapMargins(4, 0);
}

void SetProgramIcon(wxTopLevelWindow& window) {
  const wxImage image = LoadPng(artwork::kIcon);
  if (!image.IsOk()) return;
  wxIcon icon;
  icon.CopyFromBitmap(wxBitmap(image));
  window.SetIcon(icon);
}

}  // namespace tavrin
