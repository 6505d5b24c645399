// The dialog-window model: templates and strings registered per module,
// dialogs made from them, buttons checked and read by id, clicks that reach
// the dialog procedure.
#include <orvexdlg.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x5000);
constexpr UINT kDialogId = 200;

const OrvexDialogControl kControls[] = {
    {301, L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, L"First A", 10, 10, 40, 10},
    {303, L"BUTTON", BS_AUTORADIOBUTTON, L"First C", 10, 40, 40, 10},
    {302, L"BUTTON", BS_AUTORADIOBUTTON, L"First B", 10, 25, 40, 10},
    {-1, L"BUTTON", BS_GROUPBOX, L"First group", 5, 5, 100, 50},
    {311, L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, L"Second A", 10, 70, 40, 10},
    {312, L"BUTTON", BS_AUTORADIOBUTTON, L"Second B", 10, 85, 40, 10},
    {320, L"BUTTON", BS_AUTOCHECKBOX | WS_GROUP, L"Check", 10, 100, 40, 10},
    {330, L"BUTTON", BS_PUSHBUTTON | WS_DISABLED, L"Disabled", 60, 100, 40, 10},
};
const OrvexDialogTemplate kTemplate = {DS_CONTROL | WS_CHILD, 120, 120, L"MS Shell Dlg", 8, 8, kControls};

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct DialogLog {
    std::vector<Message> messages;
};

INT_PTR CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto *log = reinterpret_cast<DialogLog *>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (log) log->messages.push_back({msg, wParam, lParam});
    return msg == WM_COMMAND ? TRUE : FALSE;
}

class DialogWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OrvexRegisterDialogTemplate(kModule, kDialogId, &kTemplate));
        m_dlg = CreateDialogParamW(kModule, MAKEINTRESOURCEW(kDialogId), nullptr, LoggingProc,
                                   reinterpret_cast<LPARAM>(&m_log));
        ASSERT_NE(nullptr, m_dlg);
    }
    void TearDown() override
    {
        if (IsWindow(m_dlg)) DestroyWindow(m_dlg);
        OrvexUnregisterResources(kModule);
        EXPECT_EQ(0, OrvexDialogWindowCount());
    }
    DialogLog m_log;
    HWND m_dlg = nullptr;
};

TEST_F(DialogWindowTest, CreationSendsInitDialogWithTheParameter)
{
    ASSERT_EQ(1u, m_log.messages.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), m_log.messages[0].msg);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&m_log), m_log.messages[0].lParam);
    EXPECT_EQ(1, OrvexDialogWindowCount());
    RECT rc;
    ASSERT_TRUE(GetWindowRect(m_dlg, &rc));
    EXPECT_EQ(120 * 6 / 4, rc.right - rc.left) << "dialog units become pixels";
}

// The check state of every button, group by group: "010 10 0".
std::string checks(HWND dlg)
{
    std::string text;
    for (int id : {301, 302, 303, 0, 311, 312, 0, 320})
        text += id == 0 ? ' ' : IsDlgButtonChecked(dlg, id) == BST_CHECKED ? '1' : '0';
    return text;
}

TEST_F(DialogWindowTest, RadioButtonsCheckOneOfARangeAndClicksStayInTheirGroup)
{
    ASSERT_TRUE(CheckRadioButton(m_dlg, 301, 303, 302));
    EXPECT_EQ("010 00 0", checks(m_dlg));
    ASSERT_TRUE(CheckRadioButton(m_dlg, 301, 303, 303));
    ASSERT_TRUE(CheckRadioButton(m_dlg, 311, 312, 311));
    EXPECT_EQ("001 10 0", checks(m_dlg));
    ASSERT_TRUE(OrvexClickDlgButton(m_dlg, 301));
    EXPECT_EQ("100 10 0", checks(m_dlg)) << "the next group keeps its choice";
    ASSERT_TRUE(OrvexClickDlgButton(m_dlg, 320));
    EXPECT_EQ("100 10 1", checks(m_dlg));
    ASSERT_TRUE(OrvexClickDlgButton(m_dlg, 320));
    EXPECT_EQ("100 10 0", checks(m_dlg)) << "a check box toggles";
    EXPECT_FALSE(OrvexClickDlgButton(m_dlg, 330)) << "disabled";
    EXPECT_FALSE(OrvexClickDlgButton(m_dlg, 999));

    ASSERT_EQ(4u, m_log.messages.size()) << "init and one command per click";
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), m_log.messages[1].msg);
    EXPECT_EQ(301, LOWORD(m_log.messages[1].wParam));
    EXPECT_EQ(BN_CLICKED, HIWORD(m_log.messages[1].wParam));
    EXPECT_EQ(reinterpret_cast<LPARAM>(GetDlgItem(m_dlg, 301)), m_log.messages[1].lParam);
}

TEST_F(DialogWindowTest, ButtonMessagesAndTextGoToTheControl)
{
    HWND button = GetDlgItem(m_dlg, 312);
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(312, GetDlgCtrlID(button));
    EXPECT_EQ(m_dlg, GetParent(button));
    SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(button, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(SetDlgItemTextW(m_dlg, 312, L"Renamed"));
    WCHAR text[4];
    EXPECT_EQ(3u, GetDlgItemTextW(m_dlg, 312, text, 4)) << "cut to the buffer";
    EXPECT_STREQ(L"Ren", text);
    EXPECT_EQ(nullptr, GetDlgItem(m_dlg, 998));
    EXPECT_FALSE(CheckDlgButton(m_dlg, 998, BST_CHECKED));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(m_dlg, 998));
}

TEST_F(DialogWindowTest, DestroyTellsTheDialogAndInvalidatesHandles)
{
    HWND button = GetDlgItem(m_dlg, 301);
    ASSERT_TRUE(DestroyWindow(m_dlg));
    EXPECT_EQ(static_cast<UINT>(WM_DESTROY), m_log.messages.back().msg);
    EXPECT_FALSE(IsWindow(m_dlg));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_FALSE(DestroyWindow(m_dlg));
    EXPECT_FALSE(CheckRadioButton(m_dlg, 301, 303, 301));
    EXPECT_EQ(0, OrvexDialogWindowCount());
}

TEST(DialogResourceTable, MissingTemplateFails)
{
    EXPECT_EQ(nullptr, CreateDialogParamW(kModule, MAKEINTRESOURCEW(kDialogId), nullptr, LoggingProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, CreateDialogParamW(kModule, L"NAMED", nullptr, LoggingProc, 0));
}

TEST(DialogResourceTable, StringsLoadByModuleAndId)
{
    ASSERT_TRUE(OrvexRegisterStringResource(kModule, 101, L"Decoder Settings"));
    WCHAR buf[64];
    EXPECT_EQ(16, LoadStringW(kModule, 101, buf, 64));
    EXPECT_STREQ(L"Decoder Settings", buf);
    EXPECT_EQ(7, LoadStringW(kModule, 101, buf, 8));
    EXPECT_STREQ(L"Decoder", buf);
    LPCWSTR direct = nullptr;
    EXPECT_EQ(16, LoadStringW(kModule, 101, reinterpret_cast<LPWSTR>(&direct), 0));
    EXPECT_STREQ(L"Decoder Settings", direct);
    EXPECT_EQ(0, LoadStringW(kModule, 102, buf, 64));
    EXPECT_STREQ(L"", buf);
    EXPECT_EQ(0, LoadStringW(reinterpret_cast<HINSTANCE>(0x6000), 101, buf, 64)) << "strings belong to their module";
    OrvexUnregisterResources(kModule);
    EXPECT_EQ(0, LoadStringW(kModule, 101, buf, 64));
}

} // namespace
