#include "toolkit/dialogs.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <memory>

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

// Selects the folder that the timer's identifier points to. Each selection
// makes the shell walk the folders on the way, which takes long under a busy
// parent (Wine reads every folder beside them whole), so a second one is
// sent only when the tree shows the first one missed: some shells match the
// folders on the way by item ids that carry their times, and miss when
// reading a folder on the way moved its access time. The message's result
// cannot tell, as Windows documents none (Wine answers 0 even when it
// selected the folder).
void CALLBACK SelectWhenShown(HWND browser, UINT, UINT_PTR folder, DWORD) {
  KillTimer(browser, folder);
  SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, static_cast<LPARAM>(folder));
  if (!ShowsFolderSelected(browser, reinterpret_cast<const char*>(folder))) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, static_cast<LPARAM>(folder));
  }
}

// Asked when the browser is ready but not yet shown, the selection would keep
// it from showing until the walk ends. A timer's message comes only once the
// browser has been shown and painted; its identifier carries the folder.
int CALLBACK SelectInitialFolder(HWND browser, UINT message, LPARAM, LPARAM lpData) {
  if (message == BFFM_INITIALIZED) SetTimer(browser, static_cast<UINT_PTR>(lpData), 0, SelectWhenShown);
  return 0;
}

// --- The system's folder picker (Windows Vista and later, and Wine) ----------

template <typename Interface>
struct ComRelease {
  void operator()(Interface* object) const { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ComRelease<Interface>>;

struct TaskMemoryFree {
  void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

std::wstring WideOf(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
  return wide;
}

// False when the ANSI code page has no place for a character of the text.
bool AnsiOf(const wchar_t* wide, std::string& text) {
  BOOL lost = FALSE;
  // A UTF-8 code page holds every character and takes no question.
  BOOL* ask = GetACP() == CP_UTF8 ? nullptr : &lost;
  const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, ask);
  if (length <= 1 || lost) return false;
  text.assign(length - 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], length, nullptr, ask);
  return !lost;
}

std::wstring DisplayName(IShellItem& item, SIGDN form) {
  wchar_t* name = nullptr;
  if (FAILED(item.GetDisplayName(form, &name))) return std::wstring();
  std::unique_ptr<wchar_t, TaskMemoryFree> owned(name);
  return name;
}

// The folder as a shell item; null where the system cannot make one.
ComPointer<IShellItem> ShellItemOf(const std::string& path) {
  // Looked up, so that the program still starts where it is missing.
  using CreateItem = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);
  static const auto create = reinterpret_cast<CreateItem>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("shell32.dll"), "SHCreateItemFromParsingName")));
  IShellItem* item = nullptr;
  if (create == nullptr || path.empty() ||
      FAILED(create(WideOf(path).c_str(), nullptr, IID_IShellItem, reinterpret_cast<void**>(&item)))) {
    return nullptr;
  }
  return ComPointer<IShellItem>(item);
}

// Opens the picker in the folder above the start folder with the start
// folder's name in its name field, as the classic browser opens with the
// folder selected among its siblings: OK takes it at once. A folder with
// none above (a drive's root) is named by its path.
void PlaceAtStartFolder(IFileOpenDialog& picker, const std::string& folder) {
  ComPointer<IShellItem> item = ShellItemOf(folder);
  if (!item) return;
  IShellItem* above = nullptr;
  SFGAOF attributes = 0;
  if (SUCCEEDED(item->GetParent(&above))) {
    ComPointer<IShellItem> parent(above);
    if (SUCCEEDED(parent->GetAttributes(SFGAO_FILESYSTEM, &attributes)) && (attributes & SFGAO_FILESYSTEM)) {
      picker.SetFolder(parent.get());
      picker.SetFileName(DisplayName(*item, SIGDN_PARENTRELATIVEPARSING).c_str());
      return;
    }
  }
  picker.SetFolder(item.get());
  picker.SetFileName(WideOf(folder).c_str());
}

enum class PickOutcome { kChosen, kCancelled, kUnavailable };

// Runs the system's folder picker. kUnavailable where the system has none
// (before Vista) or it cannot be shown; kCancelled too for a folder that
// has no file-system path or whose name the ANSI code page cannot hold.
PickOutcome PickFolder(HWND owner, const std::string& title, const std::string& start, std::string& chosen) {
  IFileOpenDialog* created = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(&created)))) {
    return PickOutcome::kUnavailable;
  }
  ComPointer<IFileOpenDialog> picker(created);
  FILEOPENDIALOGOPTIONS options = 0;
  if (FAILED(picker->GetOptions(&options)) ||
      FAILED(picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST))) {
    return PickOutcome::kUnavailable;
  }
  if (!title.empty()) picker->SetTitle(WideOf(title).c_str());
  if (!start.empty()) PlaceAtStartFolder(*picker, start);
  const HRESULT shown = picker->Show(owner);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return PickOutcome::kCancelled;
  if (FAILED(shown)) return PickOutcome::kUnavailable;
  IShellItem* result = nullptr;
  if (FAILED(picker->GetResult(&result))) return PickOutcome::kCancelled;
  ComPointer<IShellItem> folder(result);
  const std::wstring path = DisplayName(*folder, SIGDN_FILESYSPATH);
  return !path.empty() && AnsiOf(path.c_str(), chosen) ? PickOutcome::kChosen : PickOutcome::kCancelled;
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

  ScopedComApartment apartment;
  // The picker chooses folders of the file system only.
  if (!classicBrowser && !browseForComputer && !browseForPrinter) {
    std::string chosen;
    const PickOutcome outcome = PickFolder(owner, title, initialFolder, chosen);
    if (outcome == PickOutcome::kChosen) result = chosen;
    if (outcome != PickOutcome::kUnavailable) return outcome == PickOutcome::kChosen;
  }

  BROWSEINFOA browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = flags;
  if (!initialFolder.empty()) {
    browse.lpfn = SelectInitialFolder;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
  }

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
