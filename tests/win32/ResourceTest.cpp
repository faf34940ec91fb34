// What the built Tolvane.exe carries, read back from the file itself: the
// dialog template, icon and logo, manifest and version block, and the PE
// headers that make it a self-contained 64-bit GUI program bound to the ISP
// library at load time.
#include "resource.h"
#include "DialogTable.h"
#include "ProgramFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// Resource types by number: the RT_ names change type with UNICODE.
constexpr WORD kBitmapType = 2;
constexpr WORD kIconType = 3;
constexpr WORD kDialogType = 5;
constexpr WORD kIconGroupType = 14;
constexpr WORD kManifestType = 24;

fs::path TolvaneExe()
{
    return ProgramFolder() / "Tolvane.exe";
}

class ResourceFile : public testing::Test {
protected:
    ResourceFile() : module(LoadLibraryExW(TolvaneExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceFile() override
    {
        if (module)
            FreeLibrary(module);
    }

    std::string Resource(WORD type, WORD id) const
    {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        if (!found)
            return std::string();
        HGLOBAL loaded = LoadResource(module, found);
        const auto* bytes = static_cast<const char*>(LockResource(loaded));
        return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
    }

    HMODULE module;
};

// Reads the little-endian fields of a resource one after the other; reading
// past the end yields zeros and marks the reader as failed.
class Fields {
public:
    explicit Fields(const std::string& bytes) : m_bytes(bytes) {}

    std::uint32_t Take(std::size_t size)
    {
        std::uint32_t value = 0;
        if (m_at + size > m_bytes.size()) {
            m_failed = true;
            m_at = m_bytes.size();
            return 0;
        }
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(m_bytes[m_at + i])) << (8 * i);
        m_at += size;
        return value;
    }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t Dword() { return Take(4); }
    int Short() { return static_cast<std::int16_t>(Word()); }
    std::wstring String()
    {
        std::wstring text;
        while (std::uint16_t c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    // A name or an ordinal; ordinals come back as "#N", except the classes
    // that templates may store by number, which come back by name.
    std::wstring NameOrOrdinal()
    {
        const std::uint16_t first = Word();
        if (first == 0)
            return std::wstring();
        if (first == 0xFFFF) {
            const std::uint16_t ordinal = Word();
            static const wchar_t* const kClasses[] = {L"Button",  L"Edit",      L"Static",
                                                      L"ListBox", L"ScrollBar", L"ComboBox"};
            if (ordinal >= 0x80 && ordinal <= 0x85)
                return kClasses[ordinal - 0x80];
            return L"#" + std::to_wstring(ordinal);
        }
        return static_cast<wchar_t>(first) + String();
    }
    void AlignToDword() { m_at = std::min((m_at + 3) & ~std::size_t{3}, m_bytes.size()); }
    bool Failed() const { return m_failed; }

private:
    const std::string& m_bytes;
    std::size_t m_at = 0;
    bool m_failed = false;
};

struct Control {
    std::uint32_t id;
    std::wstring windowClass;
    std::wstring title;
    int x, y, cx, cy;
    std::uint32_t style;
    std::uint32_t exStyle;

    bool operator==(const Control& other) const
    {
        // Class names are case-insensitive; windres stores them upper-cased.
        return id == other.id && _wcsicmp(windowClass.c_str(), other.windowClass.c_str()) == 0 &&
               title == other.title && x == other.x && y == other.y && cx == other.cx && cy == other.cy &&
               style == other.style && exStyle == other.exStyle;
    }
};

std::ostream& operator<<(std::ostream& out, const Control& c)
{
    char line[160];
    std::snprintf(line, sizeof line, "id %u at %d,%d,%d,%d style 0x%08X ex 0x%08X ", c.id, c.x, c.y, c.cx, c.cy,
                  c.style, c.exStyle);
    return out << line << testing::PrintToString(c.windowClass) << " " << testing::PrintToString(c.title);
}

// A control of the dialog table as the template stores it: a bitmap in
// place of a text comes back as its ordinal.
Control FromTable(const dialog_table::Control& entry)
{
    const dialog_table::Rect& r = entry.rect;
    const std::wstring title = entry.bitmapId != 0 ? L"#" + std::to_wstring(entry.bitmapId) : entry.text;
    return {static_cast<std::uint32_t>(entry.id),
            entry.windowClass,
            title,
            r.x,
            r.y,
            r.width,
            r.height,
            entry.style,
            entry.exStyle};
}

// A BITMAPINFOHEADER at the start of bytes: width, height, bits per pixel.
void ExpectBitmapHeader(const std::string& bytes, int width, int height, int bits)
{
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, height);
    EXPECT_EQ(header.biBitCount, bits);
}
} // namespace

TEST_F(ResourceFile, DialogTemplateHasTheLayoutOfTheMainWindow)
{
    ASSERT_NE(module, nullptr);
    const std::string bytes = Resource(kDialogType, IDD_TOLVANE_DIALOG);
    ASSERT_FALSE(bytes.empty());
    Fields dialog(bytes);
    EXPECT_EQ(dialog.Word(), 1);      // DLGTEMPLATEEX
    EXPECT_EQ(dialog.Word(), 0xFFFF); // its signature
    EXPECT_EQ(dialog.Dword(), 0u);    // help id
    EXPECT_EQ(dialog.Dword(), dialog_table::kExStyle);
    EXPECT_EQ(dialog.Dword(), dialog_table::kStyle);
    const int count = dialog.Word();
    EXPECT_EQ((std::vector<int>{dialog.Short(), dialog.Short(), dialog.Short(), dialog.Short()}),
              (std::vector<int>{0, 0, dialog_table::kWidth, dialog_table::kHeight}));
    EXPECT_EQ(dialog.NameOrOrdinal(), L""); // no menu
    EXPECT_EQ(dialog.NameOrOrdinal(), L""); // the standard dialog class
    EXPECT_EQ(dialog.String(), dialog_table::kCaption);
    EXPECT_EQ(dialog.Word(), dialog_table::kFontPoints);
    EXPECT_EQ(dialog.Word(), dialog_table::kFontWeight);
    EXPECT_EQ(dialog.Take(1), 0u); // not italic
    EXPECT_EQ(dialog.Take(1), 0u); // ANSI character set
    EXPECT_EQ(dialog.String(), dialog_table::kFontFace);

    std::vector<Control> controls;
    for (int i = 0; i < count && !dialog.Failed(); ++i) {
        dialog.AlignToDword();
        Control c{};
        dialog.Dword(); // help id
        c.exStyle = dialog.Dword();
        c.style = dialog.Dword();
        c.x = dialog.Short();
        c.y = dialog.Short();
        c.cx = dialog.Short();
        c.cy = dialog.Short();
        c.id = dialog.Dword();
        c.windowClass = dialog.NameOrOrdinal();
        c.title = dialog.NameOrOrdinal();
        const std::uint16_t extra = dialog.Word();
        for (std::uint16_t b = 0; b < extra; ++b)
            dialog.Take(1);
        controls.push_back(c);
    }
    EXPECT_FALSE(dialog.Failed()) << "the template ends early";
    std::vector<Control> expected;
    for (const dialog_table::Control& entry : dialog_table::kControls)
        expected.push_back(FromTable(entry));
    EXPECT_EQ(controls, expected);
}

TEST_F(ResourceFile, IconAndLogoAreThe32PixelArtwork)
{
    ASSERT_NE(module, nullptr);
    const std::string group = Resource(kIconGroupType, IDR_MAINFRAME);
    Fields icons(group);
    EXPECT_EQ(icons.Word(), 0);
    EXPECT_EQ(icons.Word(), 1); // icons, not cursors
    ASSERT_EQ(icons.Word(), 1); // one image
    EXPECT_EQ(icons.Take(1), 32u);
    EXPECT_EQ(icons.Take(1), 32u);
    icons.Take(2); // colour count, reserved
    icons.Word();  // planes
    EXPECT_EQ(icons.Word(), 32);
    icons.Dword(); // size
    const std::uint16_t image = icons.Word();
    ASSERT_FALSE(icons.Failed());
    // An icon image is a bitmap of twice the height: colours, then the mask.
    ExpectBitmapHeader(Resource(kIconType, image), 32, 64, 32);

    ExpectBitmapHeader(Resource(kBitmapType, IDB_LOGO), 32, 32, 24);
}

TEST_F(ResourceFile, ManifestAsksForNoElevationAndCommonControls6)
{
    ASSERT_NE(module, nullptr);
    const std::string manifest = Resource(kManifestType, 1);
    for (const char* part : {"level=\"asInvoker\"", "uiAccess=\"false\"", "name=\"Microsoft.Windows.Common-Controls\"",
                             "version=\"6.0.0.0\"", "processorArchitecture=\"amd64\"",
                             "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// Without the supported systems Windows 10 and 11 run the program with the
// old behaviours of Vista; without DPI awareness they stretch its bitmap.
TEST_F(ResourceFile, ManifestNamesWindows7To11AndSystemDpiAwareness)
{
    ASSERT_NE(module, nullptr);
    const std::string manifest = Resource(kManifestType, 1);
    for (const char* part :
         {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
          "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(TolvaneExe, VersionBlockNamesTheToolAndItsVersion)
{
    const std::wstring file = TolvaneExe().wstring();
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00070001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00070001u);

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileDescription", L"USB 3 Hub FW Upgrade Tool"},
        {L"FileVersion", L"2.0.7.1"},
        {L"ProductName", L"USB 3 HUB"},
        {L"ProductVersion", L"2.0.7.1"},
        {L"InternalName", L"Tolvane.exe"},
        {L"OriginalFilename", L"Tolvane.exe"},
    };
    for (const auto& [name, value] : strings) {
        wchar_t* text = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
        EXPECT_EQ(std::wstring(text), value) << name;
    }
}

TEST(TolvaneExe, IsA64BitGuiProgramThatImportsTheIspLibraryAndNoRuntimeDlls)
{
    std::ifstream in(TolvaneExe(), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), sizeof(IMAGE_DOS_HEADER));
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, file.data(), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_LE(static_cast<std::size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS64), file.size());
    IMAGE_NT_HEADERS64 nt;
    std::memcpy(&nt, file.data() + dos.e_lfanew, sizeof nt);
    ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    // Import descriptors live at a virtual address: find the section that
    // holds each address to read it from the file.
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    const std::size_t sectionsAt = static_cast<std::size_t>(dos.e_lfanew) +
                                   offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    ASSERT_LE(sectionsAt + sections.size() * sizeof(IMAGE_SECTION_HEADER), file.size());
    std::memcpy(sections.data(), file.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& s : sections) {
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return file.size();
    };

    std::set<std::string> imports;
    std::size_t at = fileOffset(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        ASSERT_LE(at + sizeof(IMAGE_IMPORT_DESCRIPTOR), file.size());
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        std::memcpy(&descriptor, file.data() + at, sizeof descriptor);
        if (descriptor.Name == 0)
            break;
        const std::size_t nameAt = fileOffset(descriptor.Name);
        ASSERT_LT(nameAt, file.size());
        std::string name(file.c_str() + nameAt);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
        imports.insert(name);
    }
    EXPECT_EQ(imports.count("ZQ460API.DLL"), 1u);
    EXPECT_EQ(imports.count("COMCTL32.DLL"), 1u);
    for (const std::string& name : imports) {
        EXPECT_EQ(name.rfind("LIBSTDC++", 0), std::string::npos) << name;
        EXPECT_EQ(name.rfind("LIBGCC", 0), std::string::npos) << name;
        EXPECT_EQ(name.rfind("LIBWINPTHREAD", 0), std::string::npos) << name;
    }
}
