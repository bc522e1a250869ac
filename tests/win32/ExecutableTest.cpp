// Vantrell.exe as a file: what Windows reads from it before any code runs, and what it
// needs from the system.

#include "Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace vantrell::win32test {
namespace {

std::vector<char> ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<char> bytes;
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

// The executable's resources, loaded as data: none of its code runs.
class ExecutableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_module = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr);
    }
    void TearDown() override
    {
        if (m_module)
            FreeLibrary(m_module);
    }

    std::string Resource(LPCWSTR type, LPCWSTR name) const
    {
        HRSRC found = FindResourceW(m_module, name, type);
        HGLOBAL loaded = found ? LoadResource(m_module, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        return data ? std::string(static_cast<const char*>(data), SizeofResource(m_module, found)) : std::string();
    }

    HMODULE m_module = nullptr;
};

TEST_F(ExecutableTest, VersionRecordNamesTheProgramAndVersion1002)
{
    const std::string record = Resource(MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1)); // RT_VERSION
    ASSERT_FALSE(record.empty());
    std::vector<char> copy(record.begin(), record.end()); // VerQueryValue wants writable data
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000002u);

    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(*translation, 0x04E40409u) << "US English, code page 1252";

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"ProductName", L"Vantrell"},        {L"FileDescription", L"Vantrell"},
        {L"InternalName", L"Vantrell.exe"},   {L"OriginalFilename", L"Vantrell.exe"},
        {L"FileVersion", L"1.0.0.2"},         {L"ProductVersion", L"1.0.0.2"},
    };
    for (const auto& s : strings) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904e4\\") + s.name;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(copy.data(), key.c_str(), reinterpret_cast<void**>(&value), &size))
            << std::string(key.begin(), key.end());
        EXPECT_STREQ(value, s.value);
    }
}

TEST_F(ExecutableTest, StringTableHoldsTheAboutEntrysText)
{
    wchar_t text[64] = {};
    ASSERT_GT(LoadStringW(m_module, IDS_ABOUTBOX, text, 64), 0);
    EXPECT_STREQ(text, L"&About Vantrell...");
}

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconDir {
    WORD reserved, type, count;
    IconDirEntry entries[1];
};
#pragma pack(pop)

TEST_F(ExecutableTest, IconGroupHoldsThreeSizesAtThreeDepths)
{
    const std::string group = Resource(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(IDR_MAINFRAME)); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    const auto* dir = reinterpret_cast<const IconDir*>(group.data());
    ASSERT_EQ(dir->count, 9);
    ASSERT_GE(group.size(), 6 + 9 * sizeof(IconDirEntry));
    std::set<std::pair<int, int>> found;
    for (int i = 0; i < dir->count; ++i) {
        const IconDirEntry& e = dir->entries[i];
        EXPECT_EQ(e.width, e.height);
        found.insert({e.width, e.bitCount});
        const std::string image = Resource(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(e.id)); // RT_ICON
        EXPECT_EQ(image.size(), e.bytes) << "image " << e.id;
    }
    const std::set<std::pair<int, int>> wanted = {{48, 4}, {48, 8}, {48, 32}, {32, 4}, {32, 8},
                                                  {32, 32}, {16, 4}, {16, 8}, {16, 32}};
    EXPECT_EQ(found, wanted);
}

TEST_F(ExecutableTest, ManifestAsksForCommonControls6PerMonitorDpiAndLongPaths)
{
    const std::string manifest = Resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1)); // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                             "processorArchitecture=\"amd64\"", "PerMonitorV2",
                             "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
                             "</longPathAware>"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

struct PeImage {
    std::vector<char> bytes;
    const IMAGE_NT_HEADERS64* nt = nullptr;

    // The file offset of a relative virtual address, or 0 when no section holds it.
    std::size_t Offset(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return 0;
    }
};

bool Load(PeImage& image)
{
    image.bytes = ReadBytes(ProgramPath());
    if (image.bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.bytes.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE ||
        static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > image.bytes.size())
        return false;
    image.nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.bytes.data() + dos->e_lfanew);
    return image.nt->Signature == IMAGE_NT_SIGNATURE;
}

// A console-subsystem program opens a console window beside the form on Windows.
TEST(ExecutableHeaders, SixtyFourBitGuiProgram)
{
    PeImage image;
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(image.nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(image.nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(image.nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

// Statically linked: a copy on its own runs on any Windows, without the compiler's DLLs.
TEST(ExecutableHeaders, ImportsOnlyWindowsOwnDlls)
{
    PeImage image;
    ASSERT_TRUE(Load(image));
    const IMAGE_DATA_DIRECTORY& directory = image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    std::size_t at = image.Offset(directory.VirtualAddress);
    ASSERT_NE(at, 0u);
    const std::set<std::string> windows = {"kernel32.dll", "user32.dll",   "gdi32.dll",   "comctl32.dll", "comdlg32.dll",
                                           "msvcrt.dll",   "advapi32.dll", "shell32.dll", "ole32.dll"};
    std::set<std::string> imported;
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        ASSERT_LE(at + sizeof(IMAGE_IMPORT_DESCRIPTOR), image.bytes.size());
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.bytes.data() + at);
        if (entry->Name == 0)
            break;
        const std::size_t name = image.Offset(entry->Name);
        ASSERT_NE(name, 0u);
        std::string dll(image.bytes.data() + name);
        std::transform(dll.begin(), dll.end(), dll.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        imported.insert(dll);
        EXPECT_TRUE(windows.count(dll)) << dll << " is not one of Windows' own DLLs";
    }
    EXPECT_TRUE(imported.count("user32.dll") && imported.count("comctl32.dll")) << "no user interface imported";
}

} // namespace
} // namespace vantrell::win32test
