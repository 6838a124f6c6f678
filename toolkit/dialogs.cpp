#include "toolkit/dialogs.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "output/forms.h"
#include "settings/common_struct.h"

iSelectDirectory SourceFolderDialog;
iSaveDialog OutputFileDialog;
iSaveDialog SettingsSaveDialog;
iOpenDialog SettingsOpenDialog;

namespace {

static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEA) == 88,
              "the full OPENFILENAMEA of Windows 2000 and later");

constexpr int kFolderPathBufferSize = 520;
constexpr UINT kAlwaysBrowseFlags = 0x100;

struct FileOption {
  bool iOSBaseDialog::*option;
  DWORD flag;
};

const FileOption kFileOptions[] = {
    {&iOSBaseDialog::allowMultipleSelection, OFN_ALLOWMULTISELECT},
    {&iOSBaseDialog::explorerStyle, OFN_EXPLORER},
    {&iOSBaseDialog::hideReadOnly, OFN_HIDEREADONLY},
    {&iOSBaseDialog::noNetworkButton, OFN_NONETWORKBUTTON},
    {&iOSBaseDialog::noReadOnlyReturn, OFN_NOREADONLYRETURN},
    {&iOSBaseDialog::overwritePrompt, OFN_OVERWRITEPROMPT},
    {&iOSBaseDialog::readOnly, OFN_READONLY},
    {&iOSBaseDialog::showHelp, OFN_SHOWHELP},
};

struct BrowseOption {
  bool iSelectDirectory::*option;
  UINT flag;
};

const BrowseOption kBrowseOptions[] = {
    {&iSelectDirectory::browseForComputer, BIF_BROWSEFORCOMPUTER},
    {&iSelectDirectory::browseForPrinter, BIF_BROWSEFORPRINTER},
    {&iSelectDirectory::dontGoBelowDomain, BIF_DONTGOBELOWDOMAIN},
    {&iSelectDirectory::returnFileSystemAncestors, BIF_RETURNFSANCESTORS},
    {&iSelectDirectory::returnOnlyFileSystemFolders, BIF_RETURNONLYFSDIRS},
};

// The parts of a multiple selection: NUL-separated in the Explorer-style
// dialog, blank-separated in the old one. The list ends at an empty part or
// at the end of the buffer.
std::vector<std::string> SplitSelection(const char* buffer, int size, bool explorer) {
  std::vector<std::string> parts;
  const char* end = buffer + size;
  const char* part = buffer;
  while (part < end && *part != '\0') {
    const char* stop = static_cast<const char*>(std::memchr(part, '\0', end - part));
    if (stop == nullptr) stop = end;
    if (explorer) {
      parts.emplace_back(part, stop);
      part = stop + 1;
      continue;
    }
    for (const char* word = part; word < stop;) {
      const char* blank = std::find(word, stop, ' ');
      if (blank != word) parts.emplace_back(word, blank);
      word = blank + (blank < stop ? 1 : 0);
    }
    break;
  }
  return parts;
}

// COM is documented as a requirement of the folder browser; a thread that
// already has it keeps its own setting.
class ScopedComApartment {
 public:
  ScopedComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ScopedComApartment() {
    if (initialized_) CoUninitialize();
  }
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;

 private:
  bool initialized_;
};

std::string TreeItemText(HWND tree, HTREEITEM item) {
  char text[kFolderPathBufferSize] = {};
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  if (item == nullptr || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return "";
  return std::string(text, strnlen(text, sizeof text));
}

// The last name of the path and the one before it ("" when there is none).
void LastTwoNames(std::string path, std::string& last, std::string& before) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  const size_t cut = path.find_last_of("\\/");
  last = cut == std::string::npos ? path : path.substr(cut + 1);
  path = cut == std::string::npos ? std::string() : path.substr(0, cut);
  const size_t earlier = path.find_last_of("\\/");
  before = earlier == std::string::npos ? std::string() : path.substr(earlier + 1);
}

// True when the browser's tree has the folder selected: the selected item
// bears the folder's name and its parent item the name of the folder above.
bool ShowsFolderSelected(HWND browser, const char* folder) {
  HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
  if (tree == nullptr) return false;
  auto selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  auto parent = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(selected)));
  std::string last, before;
  LastTwoNames(folder, last, before);
  return lstrcmpiA(TreeItemText(tree, selected).c_str(), last.c_str()) == 0 &&
         (before.empty() || before.back() == ':' ||
          lstrcmpiA(TreeItemText(tree, parent).c_str(), before.c_str()) == 0);
}

// Selects the folder that lpData names once the browser is ready. Each
// selection makes the shell walk the folders on the way, which takes long
// under a busy parent, so a second one is sent only when the tree shows the
// first one missed: some shells match the folders on the way by item ids
// that carry their times, and miss when reading a folder on the way moved
// its access time. The message's result cannot tell, as Windows documents
// none (Wine answers 0 even when it selected the folder).
int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM, LPARAM lpData) {
  if (message != BFFM_INITIALIZED) return 0;
  SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, lpData);
  if (!ShowsFolderSelected(browser, reinterpret_cast<const char*>(lpData))) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, lpData);
  }
  return 0;
}

// The patterns of the files of a form: "*.html;*.htm" with ";".
std::string FilePatterns(const OutputForm& form, const char* separator) {
  std::string patterns;
  for (const std::string& extension : FileExtensions(form)) {
    patterns += (patterns.empty() ? "*" : separator + std::string("*")) + extension;
  }
  return patterns;
}

// A filter of the output file dialog for the files of a classic form.
void AddFormFilter(iOSBaseDialog& dialog, const char* description, int32_t output) {
  const OutputForm& form = ClassicFormOf(output);
  dialog.AddFilter(std::string(description) + " (" + FilePatterns(form, ", ") + ")", FilePatterns(form, ";"));
}

void AddSettingsFilters(iOSBaseDialog& dialog) {
  dialog.filterList.clear();
  dialog.AddFilter("Kestrova settings (*.ksv)", "*.ksv");
  dialog.AddFilter("All files (*.*)", "*.*");
}

}  // namespace

std::string CurrentFolder() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

void iOSBaseDialog::AddFilter(const std::string& description, const std::string& pattern) {
  filterList += description;
  filterList += '\0';
  filterList += pattern;
  filterList += '\0';
}

bool iOSBaseDialog::Run(BOOL(WINAPI* dialogFunction)(LPOPENFILENAMEA)) {
  std::memset(fileBuffer, 0, sizeof fileBuffer);
  fileName.copy(fileBuffer, FileBufferSize - 1);

  flags = 0;
  for (const FileOption& entry : kFileOptions) {
    if (this->*entry.option) flags |= entry.flag;
  }

  terminatedFilters_ = filterList;
  terminatedFilters_ += '\0';

  request = OPENFILENAMEA{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrInitialDir = initialFolder.c_str();
  request.nFilterIndex = filterIndex;
  request.Flags = flags;
  request.lpstrFilter = terminatedFilters_.c_str();
  request.lpstrFile = fileBuffer;
  request.nMaxFile = FileBufferSize;
  request.lpstrDefExt = defaultExtension.c_str();

  if (dialogFunction(&request) == 0) return false;

  fileName = std::string(fileBuffer, strnlen(fileBuffer, FileBufferSize));
  if (allowMultipleSelection) {
    selectionList = SplitSelection(fileBuffer, FileBufferSize, explorerStyle);
  } else {
    selectionList.clear();
    filterIndex = request.nFilterIndex;
  }
  return true;
}

bool iOpenDialog::Execute() { return Run(GetOpenFileNameA); }

bool iSaveDialog::Execute() { return Run(GetSaveFileNameA); }

bool iSelectDirectory::Execute() {
  flags = 0;
  for (const BrowseOption& entry : kBrowseOptions) {
    if (this->*entry.option) flags |= entry.flag;
  }
  flags |= kAlwaysBrowseFlags;
  result.clear();

  BROWSEINFOA browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = flags;
  if (!initialFolder.empty()) {
    browse.lpfn = SelectInitialFolder;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
  }

  ScopedComApartment apartment;
  LPITEMIDLIST items = SHBrowseForFolderA(&browse);
  if (items == nullptr) return false;

  char path[kFolderPathBufferSize] = {};
  bool hasPath = SHGetPathFromIDListA(items, path) != FALSE;
  CoTaskMemFree(items);
  if (hasPath) result = std::string(path, strnlen(path, sizeof path));
  return hasPath;
}

void SetUpDialogs() {
  SourceFolderDialog.title = "Select Directory:";
  SourceFolderDialog.returnOnlyFileSystemFolders = true;

  OutputFileDialog.filterList.clear();
  AddFormFilter(OutputFileDialog, "HTML files", kOutputHtml);
  AddFormFilter(OutputFileDialog, "Text files", kOutputText);
  OutputFileDialog.AddFilter("All files (*.*)", "*.*");
  OutputFileDialog.noNetworkButton = true;
  OutputFileDialog.overwritePrompt = true;

  AddSettingsFilters(SettingsSaveDialog);
  SettingsSaveDialog.noNetworkButton = true;
  SettingsSaveDialog.overwritePrompt = true;
  SettingsSaveDialog.initialFolder = CurrentFolder();

  AddSettingsFilters(SettingsOpenDialog);
}

void SetDialogOwner(HWND owner) {
  SourceFolderDialog.owner = owner;
  OutputFileDialog.owner = owner;
  SettingsSaveDialog.owner = owner;
  SettingsOpenDialog.owner = owner;
}
