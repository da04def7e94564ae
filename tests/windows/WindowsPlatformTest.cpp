// What only Windows has: drive and UNC parameters, names that ignore case, files held open
// without sharing, the hidden and read-only attributes, paths past MAX_PATH.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/EntryChecks.h"
#include "engine/ProjectChoice.h"
#include "platform/BusyFile.h"
#include "platform/FileSystem.h"
#include "platform/HiddenFolder.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "platform/RunLock.h"
#include "platform/windows/LongPath.h"
#include "store/ChangeDetection.h"
#include "store/Messages.h"
#include "support/TempDir.h"
#include "zip/ZipArchive.h"

using namespace kp;
using kp::test::TempDir;

namespace {

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(win::widePath(path).c_str()); }

TEST(WindowsPaths, DrivePartsAndAbsolutePaths) {
    struct Case {
        const char* path;
        const char* drive;
        bool absolute;
    };
    const Case cases[] = {
        {"D:/work/Site", "D:", true},
        {"D:/", "D:", true},
        {"D:work", "D:", false},                       // relative to the drive's current folder
        {"//server/share/dir", "//server/share", true},
        {"//server/share", "//server/share", true},
        {"//server", "", false},
        {"///share", "", false},
        {"work/Site", "", false},
        {"/work/Site", "", false},                     // no drive: relative to the current drive
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(drivePart(c.path), c.drive) << c.path;
        EXPECT_EQ(isAbsolutePath(c.path), c.absolute) << c.path;
    }
    EXPECT_EQ(portablePath("D:\\work\\Site"), "D:/work/Site");
    EXPECT_TRUE(isDriveRoot("D:/"));
    EXPECT_TRUE(isDriveRoot("//server/share/"));
    EXPECT_FALSE(isDriveRoot("D:/work"));
    EXPECT_EQ(withoutTrailingSlash("D:/"), "D:/");
}

TEST(WindowsPaths, WidePathsTakeTheLongPathPrefix) {
    EXPECT_EQ(win::widePath("D:/work/Site"), L"\\\\?\\D:\\work\\Site");
    EXPECT_EQ(win::widePath("//server/share/x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(win::widePath("D:"), L"\\\\?\\D:\\");
    EXPECT_EQ(win::programPath(L"\\\\?\\UNC\\server\\share\\x"), "//server/share/x");
    EXPECT_EQ(win::programPath(L"\\\\?\\D:\\Проект"), "D:/Проект");
}

TEST(WindowsPaths, NamesWindowsCannotHold) {
    for (const char* refused : {"a\\b.txt", "a:b", "what?.txt", "star*", "q\"uote", "<x>", "pipe|", "tab\tname",
                                "dot.", "blank ", "CON", "nul.txt", "Com1", "lpt9.log", "..", ""})
        EXPECT_FALSE(isNameAllowedHere(refused)) << refused;
    for (const char* allowed : {"index.html", ".hidden", "Заметки.txt", "com10", "console", "a b", "#tarnel"})
        EXPECT_TRUE(isNameAllowedHere(allowed)) << allowed;
}

TEST(WindowsEntryChecks, BackslashParametersAndRelativeOnes) {
    TempDir t;
    t.write("Site/index.html", "x");
    std::string native = t / "Site";
    for (auto& c : native)
        if (c == '/') c = '\\';
    const EntryCheck ok = checkEntry(native + "\\");
    EXPECT_TRUE(ok.warnings.empty());
    EXPECT_TRUE(ok.paramIsFolder);
    EXPECT_EQ(ok.paramName, "site");

    for (const char* refused : {"Site", "D:Site", "\\Site", ""})
        EXPECT_EQ(checkEntry(refused).warnings, std::vector<std::string>{msg::kParameterAbsent}) << refused;
    // A share that is not there is absent, not malformed: the UNC form itself is accepted.
    const EntryCheck share = checkEntry("\\\\no-such-server\\share\\dir");
    EXPECT_EQ(share.param, "//no-such-server/share/dir");
}

TEST(WindowsNames, CaseIsIgnoredWhenComparingWithTheArchive) {
    TempDir t;
    ASSERT_TRUE(fileNamesIgnoreCase(t.path()));
    const std::vector<ArchiveLine> archive = {{"Site/", 0x3C210000, -1, -1}, {"Site/Read.ME", 0x3C210000, 5, -1}};
    const std::vector<ProjectLine> project = {{"Site/", 0x3C210000, 0, -1}, {"Site/read.me", 0x3C210000, 5, -1}};
    const ChangeResult r = detectChanges(archive, project, fileNamesIgnoreCase(t.path()));
    EXPECT_TRUE(r.changed.empty());
    EXPECT_TRUE(r.missing.empty());
}

// The helper program is built beside the test program.
std::wstring helperPath() {
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"hold_file.exe";
}

// A second Windows program holding a file open without sharing makes it busy.
class HeldFile {
public:
    explicit HeldFile(const std::string& path) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr;
        CreatePipe(&outRead, &outWrite, &inherit, 0);
        CreatePipe(&m_inRead, &m_inWrite, &inherit, 0);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(m_inWrite, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = m_inRead;
        si.hStdOutput = outWrite;
        si.hStdError = outWrite;
        std::wstring command = L"\"" + helperPath() + L"\" \"" + win::widePath(path) + L"\"";
        m_started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &m_pi);
        CloseHandle(outWrite);
        char buf[64] = {};
        DWORD n = 0;
        if (m_started) ReadFile(outRead, buf, sizeof buf - 1, &n, nullptr); // "held" once it is open
        m_held = std::string(buf, n).rfind("held", 0) == 0;
        CloseHandle(outRead);
    }
    ~HeldFile() { release(); }
    bool held() const { return m_held; }
    void release() {
        if (m_inWrite) CloseHandle(m_inWrite);
        m_inWrite = nullptr;
        if (m_started) {
            WaitForSingleObject(m_pi.hProcess, 10000);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
            m_started = false;
        }
        if (m_inRead) CloseHandle(m_inRead);
        m_inRead = nullptr;
    }

private:
    HANDLE m_inRead = nullptr, m_inWrite = nullptr;
    PROCESS_INFORMATION m_pi{};
    bool m_started = false;
    bool m_held = false;
};

TEST(WindowsFiles, AFileHeldWithoutSharingIsBusyUntilReleased) {
    TempDir t;
    const std::string file = t.write("Site/data.db", "rows");
    BusyFileCheck check;
    EXPECT_FALSE(check.isBusy(file));
    HeldFile holder(file);
    ASSERT_TRUE(holder.held());
    EXPECT_TRUE(check.isBusy(file));
    // Reading it for a store still works: the program's own opens share everything they can,
    // but the holder shares nothing, so even reading is refused.
    InputFile in;
    EXPECT_FALSE(in.open(file));
    holder.release();
    EXPECT_FALSE(check.isBusy(file));
}

TEST(WindowsFiles, HiddenArchiveFolderUsesTheAttribute) {
    TempDir t;
    const std::string folder = t.mkdir("Site/#tarnel");
    ASSERT_TRUE(setFolderHidden(folder, true));
    EXPECT_TRUE(attributesOf(folder) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(pathExists(t / "Site/.hidden"));
    const auto listed = statPath(folder);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->attributes, unsigned(kAttrHidden | kAttrFolder));
    ASSERT_TRUE(setFolderHidden(folder, false));
    EXPECT_FALSE(attributesOf(folder) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(WindowsFiles, ReadOnlyFilesAreListedStoredAndReplaceable) {
    TempDir t;
    const std::string file = t.write("Site/fixed.txt", "frozen");
    ASSERT_TRUE(SetFileAttributesW(win::widePath(file).c_str(), FILE_ATTRIBUTE_READONLY));
    const auto fi = statPath(file);
    ASSERT_TRUE(fi);
    EXPECT_EQ(fi->attributes, unsigned(kAttrReadOnly | kAttrFile));
    EXPECT_EQ(fi->mode, 0444u);
    InputFile in;
    ASSERT_TRUE(in.open(file));
    EXPECT_EQ(in.dosAttributes() & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    in.close();
    ASSERT_TRUE(setPermissions(file, 0644));
    EXPECT_FALSE(attributesOf(file) & FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(setPermissions(file, 0444));
    EXPECT_TRUE(removeFile(file)); // a restore replaces it like any other file
    EXPECT_FALSE(pathExists(file));
}

TEST(WindowsFiles, PathsPastMaxPath) {
    TempDir t;
    std::string deep = t.path();
    while (deep.size() < 400) deep += "/folder-with-a-rather-long-name";
    ASSERT_TRUE(makeFolders(deep));
    const std::string file = deep + "/Ünïcode.txt";
    OutputFile out;
    ASSERT_TRUE(out.create(file + ".tmp"));
    ASSERT_TRUE(out.write("deep", 4));
    ASSERT_TRUE(out.flush());
    ASSERT_TRUE(out.commit(file, true));
    const auto entries = listFolder(deep);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Ünïcode.txt");
    EXPECT_EQ(entries[0].size, 4);
    std::string text;
    ASSERT_TRUE(readWholeFile(file, text));
    EXPECT_EQ(text, "deep");
    EXPECT_TRUE(setModificationTime(deep, 1291386600));
    EXPECT_EQ(statPath(deep)->modificationTime, 1291386600);
    EXPECT_TRUE(removeFile(file));
    EXPECT_TRUE(removeEmptyFolder(deep));
}

TEST(WindowsFiles, FolderIdentityIsTheSameFromAnyPath) {
    TempDir t;
    t.mkdir("Site/sub");
    const auto a = statPath(t / "Site/sub");
    const auto b = statPath(t / "Site/SUB");
    const auto other = statPath(t / "Site");
    ASSERT_TRUE(a && b && other);
    EXPECT_EQ(a->device, b->device);
    EXPECT_EQ(a->inode, b->inode);
    EXPECT_NE(a->inode, other->inode);
}

TEST(WindowsFiles, OneRunLockPerFolder) {
    TempDir t;
    RunLock first, second;
    ASSERT_TRUE(first.tryLock(t.path()));
    EXPECT_FALSE(second.tryLock(t.path()));
}

TEST(WindowsFiles, AtomicReplaceOverAnExistingFile) {
    TempDir t;
    const std::string ini = t.write("setting.ini", "old");
    ASSERT_TRUE(writeFileAtomically(ini, "new"));
    EXPECT_EQ(kp::test::readFile(ini), "new");
    // A read-only file is replaced too, as a rename replaces it on Linux.
    ASSERT_TRUE(setPermissions(ini, 0444));
    ASSERT_TRUE(writeFileAtomically(ini, "newer"));
    EXPECT_EQ(kp::test::readFile(ini), "newer");
    EXPECT_EQ(entryNames(t.path()).size(), 1u); // no aside file left behind
}

// An archive rewritten in place (the project log saved into it): the archive's own reader
// must let go of it before the new one takes its name, and take it back when that fails.
TEST(WindowsFiles, AnArchiveEditedInPlaceIsSaved) {
    TempDir t;
    const std::string path = t.path() + "/Site-101203.1500c.zip";
    ZipArchive zip;
    zip.open(path);
    zip.addFromMemory("Site/a.txt", "a", toDosDateTime(1291386600));
    zip.addFromMemory("_kpad_/project.log", "old", toDosDateTime(1291386600));
    zip.save();
    zip.deleteFiles("_kpad_/project.log");
    zip.addFromMemory("_kpad_/project.log", "edited", toDosDateTime(1291386600));
    ASSERT_NO_THROW(zip.save());
    EXPECT_EQ(zip.extractToString("Site/a.txt"), "a");
    zip.closeArchive();

    // Held open by another program without delete sharing: the rename fails, and the
    // archive object still reads the old archive.
    HANDLE held = CreateFileW(win::widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    zip.open(path);
    zip.addFromMemory("Site/b.txt", "b", toDosDateTime(1291386600));
    EXPECT_THROW(zip.save(), ArchiveError);
    EXPECT_EQ(zip.extractToString("_kpad_/project.log"), "edited");
    zip.closeArchive();
    CloseHandle(held);
    zip.open(path);
    EXPECT_EQ(zip.extractToString("_kpad_/project.log"), "edited");
    EXPECT_EQ(zip.findFile("Site/b.txt"), -1);
}

TEST(WindowsSystem, UserNameAndSettingsFolder) {
    EXPECT_FALSE(currentUserName().empty());
    EXPECT_NE(currentUserName(), "Unknown");
    const std::string folder = appDataFolder();
    EXPECT_TRUE(isAbsolutePath(folder)) << folder;
    EXPECT_TRUE(folder.size() > 15 && folder.substr(folder.size() - 15) == "/TarnelSoftware") << folder;
    TempDir t;
    EXPECT_GT(freeDiskSpace(t.path()), 0);
    EXPECT_EQ(freeDiskSpace("Q:/no/such/drive"), -1);
}

// The Start menu's chooser remembers drive paths and opens where the project lies.
TEST(WindowsProjectChoice, TheLastProjectIsADrivePath) {
    TempDir t;
    const std::string site = t.mkdir("work/Site");
    ASSERT_TRUE(rememberProject(t / "appdata", site));
    EXPECT_EQ(readLastProject(t / "appdata"), site);
    const ChooserStart start = chooserStart(site, "C:/home");
    EXPECT_EQ(start.folder, t / "work");
    EXPECT_EQ(start.selected, site);
    // Moved away: the nearest folder that still exists; past the drive's root, home.
    EXPECT_EQ(chooserStart(t / "work/Gone/Site", "C:/home").folder, t / "work");
    EXPECT_EQ(chooserStart("Q:/no/such/Site", "C:/home").folder, "C:/home");
}

} // namespace
