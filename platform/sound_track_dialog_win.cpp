// The dialog is built in memory (a DLGTEMPLATE), so the module needs no
// resource compiler and no resource of its own beyond the PiPL.
#include <windows.h>

#include <cstdint>

#include "platform/sound_track_dialog.h"

namespace {

constexpr WORD kListId = 100;
constexpr short kWidth = 260;  // dialog units
constexpr short kListHeight = 100;

struct DialogState {
  std::vector<std::wstring> rows;
  int current = 0;
  int chosen = -1;
};

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// A DLGTEMPLATE and its items, laid out as DialogBoxIndirect reads them:
// WORD units, each item starting on a DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(const wchar_t* title, WORD items) {
    Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    words_.push_back(items);
    Rect(0, 0, kWidth, kListHeight + 36);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    Text(title);
    words_.push_back(9);  // point size
    Text(L"Segoe UI");
  }

  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD window_class,
            const wchar_t* text) {
    if (words_.size() % 2 != 0) words_.push_back(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Rect(x, y, cx, cy);
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(window_class);
    Text(text);
    words_.push_back(0);  // no creation data
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD value) {
    words_.push_back(static_cast<WORD>(value & 0xFFFF));
    words_.push_back(static_cast<WORD>(value >> 16));
  }
  void Rect(short x, short y, short cx, short cy) {
    for (short v : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(v));
  }
  void Text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
  }

  std::vector<WORD> words_;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    const auto* state = reinterpret_cast<const DialogState*>(lparam);
    HWND list = GetDlgItem(dialog, kListId);
    for (const std::wstring& row : state->rows) {
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    }
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(state->current), 0);
    SetFocus(list);
    return FALSE;  // the focus is set
  }
  if (message != WM_COMMAND) return FALSE;
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  const WORD id = LOWORD(wparam);
  if (id == IDOK || (id == kListId && HIWORD(wparam) == LBN_DBLCLK)) {
    state->chosen = static_cast<int>(SendDlgItemMessageW(dialog, kListId, LB_GETCURSEL, 0, 0));
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

// Any address inside this module finds it.
const int kInThisModule = 0;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&kInThisModule), &module);
  return module;
}

}  // namespace

DialogAnswer ShowSoundTrackDialog(void* owner, const std::vector<std::string>& rows, int current) {
  DialogState state;
  for (const std::string& row : rows) state.rows.push_back(Wide(row));
  state.current = current;

  constexpr WORD kButton = 0x0080;
  constexpr WORD kListBox = 0x0083;
  DialogTemplate dialog(L"Zarn_Importer: sound track", 3);
  dialog.Item(LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 7, kWidth - 14, kListHeight,
              kListId, kListBox, L"");
  dialog.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, kWidth - 112, kListHeight + 14, 50, 14, IDOK, kButton,
              L"OK");
  dialog.Item(BS_PUSHBUTTON | WS_TABSTOP, kWidth - 57, kListHeight + 14, 50, 14, IDCANCEL, kButton,
              L"Cancel");
  const INT_PTR result =
      DialogBoxIndirectParamW(ThisModule(), dialog.get(), static_cast<HWND>(owner), &DialogProc,
                              reinterpret_cast<LPARAM>(&state));
  if (result == IDOK && state.chosen >= 0) return {DialogAnswer::kChosen, state.chosen};
  if (result == IDOK || result == IDCANCEL) return {DialogAnswer::kCancelled, -1};
  return {};  // the dialog could not be created
}
