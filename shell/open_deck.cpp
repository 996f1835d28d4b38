#include "shell/open_deck.h"

#include <utility>

#include <wx/clntdata.h>
#include <wx/event.h>
#include <wx/filedlg.h>
#include <wx/window.h>

#include "engine/text_list.h"
#include "shell/durable_file.h"

namespace tavrin {

namespace {

OpenDialogAnswer& Answer() {
  static OpenDialogAnswer answer;
  return answer;
}

// File names are bytes; the toolkit holds them as text in the file system's encoding, which keeps
// bytes that form no character.
wxString ToToolkit(const std::string& name) {
  return wxString(name.c_str(), *wxConvFileName);
}

std::string FromToolkit(const wxString& name) {
  const wxCharBuffer bytes = name.fn_str();
  return bytes.data() != nullptr ? std::string(bytes.data(), bytes.length()) : std::string();
}

// The name that the Open dialog holds between uses, kept with the dialog itself.
class HeldName : public wxClientData {
 public:
  std::string name;
};

HeldName& HeldNameOf(wxFileDialog& dialog) {
  auto* held = static_cast<HeldName*>(dialog.GetClientObject());
  if (held == nullptr) {
    held = new HeldName;
    dialog.SetClientObject(held);
  }
  return *held;
}

}  // namespace

wxFileDialog* MakeOpenDialog(wxWindow* parent) {
  // No wildcard at all: the toolkit then lists every file and shows no type list. Without
  // wxFD_FILE_MUST_EXIST a typed name that names nothing is taken as it is.
  return new wxFileDialog(parent, wxFileSelectorPromptStr, wxString(), wxString(), wxString(),
                          wxFD_OPEN | wxRESIZE_BORDER, wxDefaultPosition, wxDefaultSize,
                          "OpenDialog1");
}

std::optional<std::string> RunOpenDialog(wxFileDialog& dialog, const std::string& fileName) {
  HeldName& held = HeldNameOf(dialog);
  // The dialog takes a full name only: a relative one, left by an older run, selects nothing.
  if (IsExistingFile(fileName)) held.name = FullPath(fileName);
  std::optional<std::string> chosen;
  if (Answer()) {
    chosen = Answer()(held.name);
  } else {
    if (!held.name.empty()) dialog.SetPath(ToToolkit(held.name));
    if (dialog.ShowModal() == wxID_OK) chosen = FromToolkit(dialog.GetPath());
  }
  if (chosen && chosen->empty()) chosen.reset();
  if (chosen) held.name = *chosen;
  return chosen;
}

OpenDialogAnswer SetOpenDialogAnswer(OpenDialogAnswer answer) {
  return std::exchange(Answer(), std::move(answer));
}

std::string GetDroppedFileName(const wxDropFilesEvent& drop) {
  return drop.GetNumberOfFiles() > 0 ? FromToolkit(drop.GetFiles()[0]) : std::string();
}

}  // namespace tavrin
