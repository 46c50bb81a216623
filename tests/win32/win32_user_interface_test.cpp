// The Windows dialogs and message boxes: the records filled from a request, checked field by
// field; and the dialogs themselves, shown under Wine and driven from a second thread as a user
// would (cancel, a typed name, an existing file, a missing one, a folder), to see what the
// flags make the system do and what comes back.
#include "app/win32/win32_user_interface.h"

#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <objbase.h>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::DialogDriver;
using test::press;
using test::waitForDialog;
using test::waitForDialogOwnedBy;
using test::waitForDialogTitled;
using test::waitUntilClosed;
using test::windowText;

// The text a record's pointer shows, up to its NUL; "(null)" for none.
std::wstring text(const wchar_t* p) { return p ? std::wstring(p) : L"(null)"; }

// A double-NUL-ended list, its NULs shown as '|'.
std::wstring list(const wchar_t* p)
{
    if (!p)
        return L"(null)";
    std::wstring shown;
    for (std::size_t i = 0;; ++i) {
        shown += p[i] ? p[i] : L'|';
        if (p[i] == L'\0' && i > 0 && p[i - 1] == L'\0')
            return shown;
    }
}

FileDialogRequest browseRequest()
{
    FileDialogRequest request;
    request.mode = FileDialogMode::Open;
    request.title = "Abrir";
    request.defaultFileName = "Files";
    request.filters = {{"Imagenes ", "*.jpg;*.bmp;*.gif"}, {"Todos los archivos", "*.*"}};
    request.initialFolder = "C:/Program Files/Tavrenix";
    request.defaultExtension = "jpg";
    return request;
}

TEST(OpenFileNameFields, AnOpenRequestFillsTheRecord)
{
    const HWND owner = reinterpret_cast<HWND>(std::intptr_t(0x1234));
    const OpenFileNameFields fields(owner, browseRequest());
    const OPENFILENAMEW& r = fields.record();
    EXPECT_EQ(r.lStructSize, offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(r.lpTemplateName));
    EXPECT_EQ(r.hwndOwner, owner);
    EXPECT_EQ(r.hInstance, nullptr);
    EXPECT_EQ(list(r.lpstrFilter), L"Imagenes |*.jpg;*.bmp;*.gif|Todos los archivos|*.*||");
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_EQ(text(r.lpstrFile), L"Files");
    EXPECT_EQ(r.nMaxFile, 32768u);
    EXPECT_NE(r.lpstrFileTitle, nullptr);
    EXPECT_GE(r.nMaxFileTitle, 255u);
    EXPECT_EQ(text(r.lpstrInitialDir), L"C:\\Program Files\\Tavrenix");
    EXPECT_EQ(text(r.lpstrTitle), L"Abrir");
    EXPECT_EQ(r.Flags, DWORD(0x1804));
    EXPECT_EQ(text(r.lpstrDefExt), L"jpg");
    EXPECT_EQ(r.lCustData, 0);
    EXPECT_EQ(r.lpfnHook, nullptr);
    EXPECT_EQ(r.lpTemplateName, nullptr);
}

TEST(OpenFileNameFields, ASaveRequestAsksBeforeReplacing)
{
    FileDialogRequest request;
    request.mode = FileDialogMode::Save;
    request.title = "Save image of intro ";
    request.defaultFileName = "IntroLogo";
    request.filters = {{"Imagen OZJ ", "*.ozj"}};
    request.defaultExtension = "ozj";
    const OpenFileNameFields fields(nullptr, request);
    EXPECT_EQ(fields.record().Flags, DWORD(0x806));
    EXPECT_EQ(list(fields.record().lpstrFilter), L"Imagen OZJ |*.ozj||");
    EXPECT_EQ(text(fields.record().lpstrFile), L"IntroLogo");
    EXPECT_EQ(text(fields.record().lpstrTitle), L"Save image of intro ");
}

TEST(OpenFileNameFields, EmptyPartsLeaveTheSystemsDefaults)
{
    FileDialogRequest request;
    request.filters = {{"", "*.png"}, {"No pattern", ""}};
    const OpenFileNameFields fields(nullptr, request);
    const OPENFILENAMEW& r = fields.record();
    // An empty description would end the list: the pattern describes itself.
    EXPECT_EQ(list(r.lpstrFilter), L"*.png|*.png||");
    EXPECT_EQ(text(r.lpstrFile), L"");
    EXPECT_EQ(r.lpstrInitialDir, nullptr);
    EXPECT_EQ(r.lpstrTitle, nullptr);
    EXPECT_EQ(r.lpstrDefExt, nullptr);
    EXPECT_EQ(OpenFileNameFields(nullptr, FileDialogRequest{}).record().lpstrFilter, nullptr);
}

TEST(OpenFileNameFields, NamesTravelAsUtf16AndBack)
{
    FileDialogRequest request;
    request.defaultFileName = "D:/Fotos/Ünïcødé 写真 😀.jpg";
    OpenFileNameFields fields(nullptr, request);
    EXPECT_EQ(text(fields.record().lpstrFile), L"D:\\Fotos\\\u00dcn\u00efc\u00f8d\u00e9 \u5199\u771f \U0001F600.jpg");
    EXPECT_EQ(fields.chosenPath(), "D:\\Fotos\\Ünïcødé 写真 😀.jpg");

    // A name longer than the buffer is cut and stays NUL-ended.
    request.defaultFileName = std::string(40000, 'a');
    const OpenFileNameFields longName(nullptr, request);
    EXPECT_EQ(longName.chosenPath(), std::string(32767, 'a'));
}

TEST(BrowseInfoFields, TheClassicBrowserForFileSystemFoldersOnly)
{
    const HWND owner = reinterpret_cast<HWND>(std::intptr_t(0x4321));
    const BrowseInfoFields fields(owner, "Save 3 logo parts");
    const BROWSEINFOW& r = fields.record();
    EXPECT_EQ(r.hwndOwner, owner);
    EXPECT_EQ(r.pidlRoot, nullptr);
    EXPECT_EQ(text(r.lpszTitle), L"Save 3 logo parts");
    EXPECT_EQ(r.ulFlags, UINT(BIF_RETURNONLYFSDIRS));
    EXPECT_EQ(r.lpfn, nullptr);
    EXPECT_EQ(r.lParam, 0);
}

TEST(MessageBoxFields, OneOkButtonTheIconAndTheDetailAfterABlankLine)
{
    struct Row {
        UserMessage message;
        std::wstring text;
        UINT type;
    };
    const Row rows[] = {
        {{"This season not have intros in the client", "Info", MessageIcon::Information},
            L"This season not have intros in the client", MB_OK | MB_ICONINFORMATION},
        {{"Please choose image file before create logo !!!", "No hay una estupida imagen", MessageIcon::Exclamation},
            L"Please choose image file before create logo !!!", MB_OK | MB_ICONEXCLAMATION},
        {{"The logo was not made.", "Error", MessageIcon::Critical, "IntroLogo.ozj: disk full"},
            L"The logo was not made.\n\nIntroLogo.ozj: disk full", MB_OK | MB_ICONERROR},
    };
    for (const Row& row : rows) {
        const MessageBoxFields fields = messageBoxFields(row.message);
        EXPECT_EQ(fields.text, row.text);
        EXPECT_EQ(fields.caption, std::wstring(row.message.title.begin(), row.message.title.end()));
        EXPECT_EQ(fields.type, row.type);
    }
}

// The apartment type of the calling thread, or -1 when it has joined none.
int apartment()
{
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? int(type) : -1;
}

TEST(Win32UserInterface, JoinsASingleThreadedApartmentForItsLifetime)
{
    int before = 0, during = 0, after = 0;
    std::thread([&] {
        before = apartment();
        {
            const Win32UserInterface ui(nullptr);
            during = apartment();
        }
        after = apartment();
    }).join();
    EXPECT_EQ(before, -1);
    EXPECT_TRUE(during == APTTYPE_STA || during == APTTYPE_MAINSTA) << during;
    EXPECT_EQ(after, -1);

    // A thread in the multi-threaded apartment stays there, and keeps it after.
    int kept = 0;
    std::thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        { const Win32UserInterface ui(nullptr); }
        kept = apartment();
        CoUninitialize();
    }).join();
    EXPECT_EQ(kept, int(APTTYPE_MTA));
}

// A folder for one test with a few files in it, removed afterwards; its path as Windows
// names it.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("tavrenix-dialogs-" + std::to_string(GetCurrentProcessId()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "Logos");
        std::ofstream(m_folder / "picture.jpg") << "x";
        std::ofstream(m_folder / "IntroLogo.ozj") << "old";
        // An owner window, so that the dialogs are modal to something.
        m_owner = CreateWindowExW(0, L"STATIC", L"Tavrenix test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
            nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_owner, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_owner);
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }

    std::string folder() const { return m_folder.string(); }

    FileDialogRequest saveRequest() const
    {
        FileDialogRequest request;
        request.mode = FileDialogMode::Save;
        request.title = "Save image of intro ";
        request.defaultFileName = "IntroLogo";
        request.filters = {{"Imagen OZJ ", "*.ozj"}};
        request.initialFolder = folder();
        request.defaultExtension = "ozj";
        return request;
    }

    FileDialogRequest openRequest() const
    {
        FileDialogRequest request = browseRequest();
        request.initialFolder = folder();
        return request;
    }

    fs::path m_folder;
    HWND m_owner = nullptr;
};

TEST_F(DialogTest, CancellingAFileDialogGivesTheEmptyString)
{
    Win32UserInterface ui(m_owner);
    bool shown = false, ownerDisabled = false;
    std::string chosen = "not asked";
    {
        DialogDriver driver([&](DWORD thread) {
            HWND dialog = waitForDialogTitled(thread, L"Abrir");
            shown = dialog != nullptr;
            ownerDisabled = !IsWindowEnabled(m_owner);
            if (dialog)
                press(dialog, IDCANCEL);
        });
        chosen = ui.ShowFileDialog(openRequest());
    }
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ownerDisabled) << "the dialog is modal to its owner";
    EXPECT_EQ(chosen, "");
}

TEST_F(DialogTest, ANameTypedWithoutExtensionComesBackWithTheDefaultOne)
{
    Win32UserInterface ui(m_owner);
    std::string chosen;
    std::wstring defaultName;
    {
        DialogDriver driver([&](DWORD thread) {
            HWND dialog = waitForDialogTitled(thread, L"Save image of intro ");
            if (!dialog)
                return;
            HWND field = test::fileNameField(dialog);
            if (!field)
                return;
            defaultName = windowText(field);
            SetWindowTextW(field, L"NewLogo");
            press(dialog, IDOK);
            waitUntilClosed(dialog);
        });
        chosen = ui.ShowFileDialog(saveRequest());
    }
    EXPECT_EQ(defaultName, L"IntroLogo");
    EXPECT_EQ(chosen, (m_folder / "NewLogo.ozj").string());
}

TEST_F(DialogTest, SavingOverAnExistingFileIsConfirmedFirst)
{
    Win32UserInterface ui(m_owner);
    bool asked = false;
    std::string chosen;
    {
        DialogDriver driver([&](DWORD thread) {
            HWND dialog = waitForDialogTitled(thread, L"Save image of intro ");
            if (!dialog)
                return;
            press(dialog, IDOK);  // the default name, IntroLogo.ozj, is there already
            HWND question = waitForDialogOwnedBy(thread, dialog);
            asked = question != nullptr;
            if (question)
                press(question, IDYES);
            waitUntilClosed(dialog);
        });
        chosen = ui.ShowFileDialog(saveRequest());
    }
    EXPECT_TRUE(asked);
    EXPECT_EQ(chosen, (m_folder / "IntroLogo.ozj").string());
}

TEST_F(DialogTest, AnOpenDialogTakesAnExistingFileOnly)
{
    Win32UserInterface ui(m_owner);
    bool refused = false, stayedOpen = false;
    std::string missing = "not asked";
    {
        DialogDriver driver([&](DWORD thread) {
            HWND dialog = waitForDialogTitled(thread, L"Abrir");
            HWND field = dialog ? test::fileNameField(dialog) : nullptr;
            if (!field)
                return;
            SetWindowTextW(field, L"not there.jpg");
            press(dialog, IDOK);
            HWND refusal = waitForDialogOwnedBy(thread, dialog);
            refused = refusal != nullptr;
            if (!refusal)
                return;
            press(refusal, IDOK);
            waitUntilClosed(refusal);
            stayedOpen = IsWindowVisible(dialog);
            press(dialog, IDCANCEL);
        });
        missing = ui.ShowFileDialog(openRequest());
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(missing, "");

    std::string existing;
    {
        DialogDriver driver([&](DWORD thread) {
            HWND dialog = waitForDialogTitled(thread, L"Abrir");
            HWND field = dialog ? test::fileNameField(dialog) : nullptr;
            if (!field)
                return;
            SetWindowTextW(field, L"picture.jpg");
            press(dialog, IDOK);
            waitUntilClosed(dialog);
        });
        existing = ui.ShowFileDialog(openRequest());
    }
    EXPECT_EQ(existing, (m_folder / "picture.jpg").string());
}

// The folder browser: cancelled, and with a folder chosen the way its tree selects one.
std::string browse(Win32UserInterface& ui, const std::wstring& select, bool& ownerDisabled, HWND owner)
{
    DialogDriver driver([&](DWORD thread) {
        HWND dialog = waitForDialog(thread, [](HWND) { return true; });
        if (!dialog)
            return;
        ownerDisabled = !IsWindowEnabled(owner);
        if (select.empty()) {
            press(dialog, IDCANCEL);
            return;
        }
        if (!test::selectFolder(dialog, select))
            return;
        press(dialog, IDOK);
        waitUntilClosed(dialog);
    });
    return ui.BrowseForFolder("Save 3 logo parts");
}

TEST_F(DialogTest, TheFolderBrowserGivesTheFolderChosenOrNothing)
{
    Win32UserInterface ui(m_owner);
    bool ownerDisabled = false;
    EXPECT_EQ(browse(ui, L"", ownerDisabled, m_owner), "");
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(browse(ui, (m_folder / "Logos").wstring(), ownerDisabled, m_owner), (m_folder / "Logos").string());
    // A drive root keeps its separator.
    EXPECT_EQ(browse(ui, L"C:\\", ownerDisabled, m_owner), "C:\\");
}

TEST_F(DialogTest, AMessageShowsItsTitleTextAndDetail)
{
    Win32UserInterface ui(m_owner);
    std::wstring caption, shownText;
    bool ownerDisabled = false;
    {
        DialogDriver driver([&](DWORD thread) {
            HWND box = waitForDialog(thread, [](HWND) { return true; });
            if (!box)
                return;
            ownerDisabled = !IsWindowEnabled(m_owner);
            caption = windowText(box);
            // The message box's text is its static control 0xFFFF.
            shownText = windowText(GetDlgItem(box, 0xFFFF));
            press(box, IDOK);
        });
        ui.showMessage(UserMessage("The logo was not made.", "Tavrenix", MessageIcon::Critical, "disk full"));
    }
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(caption, L"Tavrenix");
    EXPECT_EQ(shownText, L"The logo was not made.\n\ndisk full");
}

}  // namespace
}  // namespace tav
