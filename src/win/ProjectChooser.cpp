#include "win/ProjectChooser.h"

#include <windows.h>

#include <shobjidl.h>

#include <cstdlib>

#include "engine/ProjectChoice.h"
#include "platform/FileSystem.h"
#include "win/Text.h"

namespace kp::win {

namespace {

constexpr DWORD kChooseFolderButton = 1;

std::wstring systemPath(const std::string& path) {
    std::wstring out = wide(path);
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

std::string pathOf(IShellItem* item) {
    PWSTR name = nullptr;
    std::string out;
    if (item && SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) && name)
        out = portablePath(narrow(name));
    CoTaskMemFree(name);
    return out;
}

bool isFolder(IShellItem* item) {
    SFGAOF attributes = 0;
    return item && SUCCEEDED(item->GetAttributes(SFGAO_FOLDER | SFGAO_FILESYSTEM, &attributes)) &&
           (attributes & (SFGAO_FOLDER | SFGAO_FILESYSTEM)) == (SFGAO_FOLDER | SFGAO_FILESYSTEM);
}

// Answers the "Choose folder" button; the dialog's other events need nothing.
class ChooserEvents : public IFileDialogEvents, public IFileDialogControlEvents {
public:
    std::string chosenFolder;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IFileDialogEvents)
            *out = static_cast<IFileDialogEvents*>(this);
        else if (iid == IID_IFileDialogControlEvents)
            *out = static_cast<IFileDialogControlEvents*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    // Lives on the chooser's stack, longer than the dialog holds it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnFileOk(IFileDialog*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFolderChanging(IFileDialog*, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFolderChange(IFileDialog*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSelectionChange(IFileDialog*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShareViolation(IFileDialog*, IShellItem*,
                                               FDE_SHAREVIOLATION_RESPONSE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnTypeChange(IFileDialog*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE OnItemSelected(IFileDialogCustomize*, DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnButtonClicked(IFileDialogCustomize* customize, DWORD id) override {
        if (id != kChooseFolderButton) return S_OK;
        IFileDialog* dialog = nullptr;
        if (FAILED(customize->QueryInterface(IID_IFileDialog, reinterpret_cast<void**>(&dialog))))
            return S_OK;
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetCurrentSelection(&item)) && isFolder(item)) chosenFolder = pathOf(item);
        if (item) item->Release();
        if (chosenFolder.empty() && SUCCEEDED(dialog->GetFolder(&item))) {
            chosenFolder = pathOf(item);
            item->Release();
        }
        if (!chosenFolder.empty()) dialog->Close(S_OK);
        dialog->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCheckButtonToggled(IFileDialogCustomize*, DWORD, BOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnControlActivating(IFileDialogCustomize*, DWORD) override { return S_OK; }
};

std::string homeFolder() {
    const char* profile = std::getenv("USERPROFILE");
    return profile ? portablePath(profile) : std::string("C:/");
}

void startAt(IFileOpenDialog* dialog, const std::string& lastProject) {
    const ChooserStart start = chooserStart(lastProject, homeFolder());
    IShellItem* folder = nullptr;
    if (SUCCEEDED(
            SHCreateItemFromParsingName(systemPath(start.folder).c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
        dialog->SetFolder(folder);
        folder->Release();
    }
    if (!start.selected.empty()) dialog->SetFileName(wide(fileNamePart(start.selected)).c_str());
}

} // namespace

std::string chooseProject(const std::string& lastProject) {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return {};
    ChooserEvents events;
    DWORD cookie = 0;
    dialog->Advise(&events, &cookie);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST |
                       FOS_NOCHANGEDIR | FOS_DONTADDTORECENT);
    dialog->SetTitle(wide(kChooseTitle).c_str());
    dialog->SetOkButtonLabel(L"Choose");
    dialog->SetFileNameLabel(L"Project:");
    const COMDLG_FILTERSPEC all[] = {{L"Folders and files", L"*"}};
    dialog->SetFileTypes(1, all);
    IFileDialogCustomize* customize = nullptr;
    if (SUCCEEDED(dialog->QueryInterface(IID_PPV_ARGS(&customize)))) {
        customize->AddPushButton(kChooseFolderButton, L"Choose &folder");
        customize->Release();
    }
    startAt(dialog, lastProject);
    std::string chosen;
    const HRESULT shown = dialog->Show(nullptr);
    if (!events.chosenFolder.empty()) {
        chosen = events.chosenFolder;
    } else if (SUCCEEDED(shown)) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetResult(&item))) {
            chosen = pathOf(item);
            item->Release();
        }
    }
    dialog->Unadvise(cookie);
    dialog->Release();
    return chosen;
}

} // namespace kp::win
