// The bitmap tool used as a user uses it: the real program runs under Wine
// from a folder of its own, this program clicks through its dialog, and
// the bytes arrive at the display emulator at the far end of
// COM<KPL_COM_PORT>. Run by scripts/e2e, which sets up the line.
#include "tests/testutil.h"
#include "tests/uidriver/simoutput.h"
#include "tests/uidriver/uidriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>

namespace {

const std::string kCaption = "KPL-120 Bitmap Tool 1.1 (www.example.com)";
const std::string kOpenBitmap = "Open .BMP File";
const std::string kOpenList = "Open .LST File";
const std::string kImageCommand = "\x1b"
                                  "DG";

// The main dialog's controls.
constexpr int kPreviewFrame = 1001, kFlashFrame = 1002, kPreview = 1004, kLoadList = 1005,
              kLoadBitmap = 1006, kSaveFlash = 1007, kPage = 1008, kPageSpin = 1009, kPort = 1012,
              kPortSpin = 1013, kPortLabel = 1014, kSend = 1015, kDownloadFrame = 1017,
              kPageLabel = 1018, kConfirm = 1019;

// ImageMagick's own reading of a test picture: true where it is black.
std::vector<bool> BlackPixelsOf(const std::string& name) {
    std::istringstream in(FileContents(DataFile(name + ".pbm")));
    std::string magic;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    std::vector<bool> black;
    int bit = 0;
    while (in >> bit)
        black.push_back(bit == 1);
    return black;
}

// The colour of each pixel (x, y) of the preview.
using PixelRule = std::function<std::uint32_t(int, int)>;

// A test picture at twice its size: each pixel a 2 x 2 block.
PixelRule PictureRule(const std::string& name) {
    std::vector<bool> black = BlackPixelsOf(name);
    if (black.size() != 120u * 32)
        return [](int, int) { return 0xBADBADu; };
    return [black](int x, int y) {
        return black[static_cast<std::size_t>((y / 2) * 120 + x / 2)] ? 0x000000u : 0xFFFFFFu;
    };
}

PixelRule PlainRule(std::uint32_t colour) {
    return [colour](int, int) { return colour; };
}

// How many pixels break the rule; why: the first of them.
int WrongPixels(const Pixels& shown, const PixelRule& rule, std::string& why) {
    int wrong = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            if (shown.At(x, y) == rule(x, y) || wrong++ > 0)
                continue;
            std::ostringstream first;
            first << "(" << x << ", " << y << ") is " << std::hex << shown.At(x, y) << ", not "
                  << rule(x, y);
            why = first.str();
        }
    }
    return wrong;
}

// A list file with these paths in these slots.
std::string ListText(const std::map<int, std::string>& entries) {
    std::string text;
    for (int k = 0; k < 17; ++k) {
        auto entry = entries.find(k);
        text +=
            std::to_string(k) + ",\"" + (entry != entries.end() ? entry->second : "") + "\"\r\n";
    }
    return text;
}

std::string Shown(const MessageSeen& seen) {
    return seen.title + ": " + seen.text;
}

std::vector<std::string> Shown(const std::vector<MessageSeen>& all) {
    std::vector<std::string> texts;
    for (const MessageSeen& seen : all)
        texts.push_back(Shown(seen));
    return texts;
}

class BitmapTool : public testing::Test, protected SimWatch {
  protected:
    void SetUp() override {
        ASSERT_FALSE(ComPort().empty()) << "KPL_COM_PORT is not set: run through scripts/e2e";
        work = ScratchFolder();
        toolFolder = work + "tool\\";
        TakeStock();
    }
    void TearDown() override {
        if (ToolIsRunning(tool)) {
            EXPECT_EQ(CloseTool(tool), 0) << "the tool did not end of itself";
        }
    }

    void Start() { ASSERT_TRUE(StartTool(KPL_BMPTOOL_EXE, toolFolder, kCaption, tool)); }

    // The user's actions.
    void OpenBitmap(const std::string& path) {
        Click(tool, kLoadBitmap);
        ASSERT_TRUE(ChooseFile(tool, kOpenBitmap, path));
        ASSERT_TRUE(WaitUntilIdle(tool));
    }
    void OpenList(const std::string& path) {
        Click(tool, kLoadList);
        ASSERT_TRUE(ChooseFile(tool, kOpenList, path));
        ASSERT_TRUE(WaitUntilIdle(tool));
    }
    std::string WriteList(const std::string& name, const std::map<int, std::string>& entries) {
        WriteTestFile(work + name, ListText(entries));
        return work + name;
    }
    std::vector<std::string> SendAndAnswer(std::size_t messages, int timeoutMs = kPatienceMs) {
        Click(tool, kSend);
        std::vector<std::string> seen = Shown(AnswerMessages(tool, messages, timeoutMs));
        EXPECT_TRUE(WaitUntilIdle(tool));
        return seen;
    }

    // The preview shows the picture (or one of the pictures): the screen
    // may lag behind the tool by a frame.
    void ExpectPreviewShows(const std::string& name) { ExpectPreview({PictureRule(name)}, name); }
    void ExpectPreviewAll(std::uint32_t colour) { ExpectPreview({PlainRule(colour)}, "plain"); }
    void ExpectPreview(const std::vector<PixelRule>& rules, const std::string& what) {
        std::string why;
        for (double until = NowMs() + kPatienceMs; NowMs() < until; Sleep(50)) {
            Pixels shown;
            ASSERT_TRUE(CaptureClient(tool, kPreview, shown));
            // The surface is the client area inside the sunken edge; the
            // picture starts at its corner and runs past its right and bottom.
            ASSERT_GE(shown.width, 230);
            ASSERT_LE(shown.width, 240);
            ASSERT_GE(shown.height, 56);
            ASSERT_LE(shown.height, 64);
            for (const PixelRule& rule : rules)
                if (WrongPixels(shown, rule, why) == 0)
                    return;
        }
        ADD_FAILURE() << what << ": " << why;
    }

    Tool tool;
    std::string work;
    std::string toolFolder;
};

std::uint32_t FaceColour() {
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    return static_cast<std::uint32_t>(GetRValue(face)) << 16 | GetGValue(face) << 8 |
           GetBValue(face);
}

} // namespace

TEST_F(BitmapTool, StartsWithPortOnePageTwoAndTheFlashControlsDisabled) {
    Start();
    EXPECT_FALSE(IsChecked(tool, kSaveFlash));
    EXPECT_FALSE(IsChecked(tool, kConfirm));

    RECT client;
    GetClientRect(tool.dialog, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 234);
    // Centred on the work area.
    RECT window, work;
    GetWindowRect(tool.dialog, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(tool.dialog, GWL_EXSTYLE)) & WS_EX_CONTROLPARENT,
              static_cast<DWORD>(WS_EX_CONTROLPARENT));
    DWORD style = static_cast<DWORD>(GetWindowLongW(tool.dialog, GWL_STYLE));
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX),
              static_cast<DWORD>(WS_SYSMENU | WS_MINIMIZEBOX));

    // The controls in Z order, where they are and what they show; each
    // up-down has taken the right of the edit before it.
    std::vector<std::string> layout;
    for (HWND child = GetWindow(tool.dialog, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        layout.push_back(std::to_string(GetDlgCtrlID(child)) + " " +
                         Layout(tool, GetDlgCtrlID(child)));
    EXPECT_EQ(layout, (std::vector<std::string>{
                          "1001 6,6 390x108 50000007 Preview Bitmap",
                          "1002 6,120 192x108 50000007 KPL-120 Flash",
                          "1004 24,36 240x64 5000100D ",
                          "1005 288,36 102x30 50000F00 Load List",
                          "1006 288,72 102x30 50000F00 Load .BMP File",
                          "1007 16,142 168x18 50000D03 Save to KPL Flash Memory",
                          "1008 96,170 26x24 58002001 2",
                          "1009 120,170 16x24 58000037 msctls_updown32_1",
                          "1012 306,144 26x24 50002001 1",
                          "1013 330,144 16x24 50000037 msctls_updown32_3",
                          "1014 228,148 72x18 50000002 Comm Port:",
                          "1015 240,186 138x30 50000F00 Send to KPL",
                          "1017 204,120 192x108 50000007 Download",
                          "1018 24,172 66x18 58000002 Flash Page:",
                          "1019 16,204 171x18 58000D03 Show KPL Confirmation (v2)",
                      }));
    DWORD_PTR buddy = 0;
    SendMessageTimeoutW(GetDlgItem(tool.dialog, kPageSpin), UDM_GETBUDDY, 0, 0, SMTO_NORMAL, 5000,
                        &buddy);
    EXPECT_EQ(reinterpret_cast<HWND>(buddy), GetDlgItem(tool.dialog, kPage));
    SendMessageTimeoutW(GetDlgItem(tool.dialog, kPortSpin), UDM_GETBUDDY, 0, 0, SMTO_NORMAL, 5000,
                        &buddy);
    EXPECT_EQ(reinterpret_cast<HWND>(buddy), GetDlgItem(tool.dialog, kPort));

    // Nothing is saved on closing.
    EXPECT_EQ(CloseTool(tool), 0);
    EXPECT_EQ(FileContents(toolFolder + "kplbmptool.dat"), "<missing>");
    EXPECT_EQ(FileContents(toolFolder + "kplscreens.lst"), "<missing>");
}

TEST_F(BitmapTool, StartsWithTheSavedPort) {
    MakeFolder(toolFolder);
    WriteTestFile(toolFolder + "kplbmptool.dat", "\"" + ComPort() + "\"\r\n");
    Start();
    EXPECT_EQ(ControlText(tool, kPort), ComPort());
}

TEST_F(BitmapTool, EscapeAndEnterLeaveItOpenTheCloseBoxEndsIt) {
    Start();
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        PostMessageW(tool.dialog, WM_KEYDOWN, key, 0);
        PostMessageW(tool.dialog, WM_KEYUP, key, 0);
        ASSERT_TRUE(WaitUntilIdle(tool));
        EXPECT_TRUE(ToolIsRunning(tool)) << key;
        EXPECT_TRUE(IsWindowVisible(tool.dialog)) << key;
    }
    EXPECT_EQ(CloseTool(tool), 0);
}

TEST_F(BitmapTool, SaveCheckBoxEnablesThePageControlsAndKeepsTheirValues) {
    Start();
    ClickAndWait(tool, kSaveFlash);
    ASSERT_TRUE(IsChecked(tool, kSaveFlash));
    for (int id : {kPage, kPageLabel, kConfirm, kPageSpin})
        EXPECT_TRUE(IsEnabled(tool, id)) << id;
    TypeInto(tool, kPage, "7");
    ClickAndWait(tool, kConfirm);
    ClickAndWait(tool, kSaveFlash);
    for (int id : {kPage, kPageLabel, kConfirm, kPageSpin})
        EXPECT_FALSE(IsEnabled(tool, id)) << id;
    EXPECT_EQ(ControlText(tool, kPage), "7");
    EXPECT_TRUE(IsChecked(tool, kConfirm));
}

TEST_F(BitmapTool, ArrowsWrapAtTheEndsOfTheirRanges) {
    Start();
    ClickAndWait(tool, kSaveFlash);
    ClickArrow(tool, kPageSpin, true);
    EXPECT_EQ(ControlText(tool, kPage), "3");
    TypeInto(tool, kPage, "16");
    ClickArrow(tool, kPageSpin, true);
    EXPECT_EQ(ControlText(tool, kPage), "0");
    ClickArrow(tool, kPageSpin, false);
    EXPECT_EQ(ControlText(tool, kPage), "16");
    TypeInto(tool, kPort, "99");
    ClickArrow(tool, kPortSpin, true);
    EXPECT_EQ(ControlText(tool, kPort), "1");
    ClickArrow(tool, kPortSpin, false);
    EXPECT_EQ(ControlText(tool, kPort), "99");
}

TEST_F(BitmapTool, TheFileDialogBlocksTheMainDialogAndCancelChangesNothing) {
    Start();
    Click(tool, kLoadBitmap);
    // The file dialog is owned by the main dialog, which it disables.
    double until = NowMs() + kPatienceMs;
    while (IsWindowEnabled(tool.dialog) && NowMs() < until)
        Sleep(20);
    EXPECT_FALSE(IsWindowEnabled(tool.dialog));
    ASSERT_TRUE(CancelFileDialog(tool, kOpenBitmap));
    ASSERT_TRUE(WaitUntilIdle(tool));
    EXPECT_TRUE(IsWindowEnabled(tool.dialog));
    EXPECT_EQ(ControlText(tool, kPreviewFrame), "Preview Bitmap");
    EXPECT_EQ(ControlText(tool, kDownloadFrame), "Download");
    // Sending with nothing opened.
    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Bad File: Missing or invalid BMP file."});
    EXPECT_EQ(ReceivedSettled(), "");
}

TEST_F(BitmapTool, OpensABitmapAndSendsIt) {
    Start();
    std::string bitmap = DataFile("checker.bmp");
    OpenBitmap(bitmap);
    EXPECT_EQ(ControlText(tool, kDownloadFrame), "Download BMP");
    EXPECT_EQ(ControlText(tool, kPreviewFrame), "Preview Bitmap checker.bmp");
    ExpectPreviewShows("checker");

    TypeInto(tool, kPort, ComPort());
    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Done: Bitmap file downloaded"});
    EXPECT_EQ(Received(483), kImageCommand + ImageBytesOf("checker"));
    std::vector<SimCommand> commands = Commands(1);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].name, "IMAGE");
    EXPECT_EQ(FileContents(toolFolder + "kplbmptool.dat"), "\"" + ComPort() + "\"\r\n");
    EXPECT_EQ(FileContents(toolFolder + "kplscreens.lst"), "<missing>");
    EXPECT_EQ(ReceivedSettled().size(), 483u);
}

TEST_F(BitmapTool, SavesIntoAFlashPageAndAsksForTheConfirmation) {
    Start();
    std::string bitmap = DataFile("frame-black-first.bmp");
    OpenBitmap(bitmap);
    TypeInto(tool, kPort, ComPort());
    ClickAndWait(tool, kSaveFlash);
    TypeInto(tool, kPage, "5");
    ClickAndWait(tool, kConfirm);
    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Done: Bitmap file downloaded"});
    EXPECT_EQ(Received(487), kImageCommand + ImageBytesOf("frame-black-first") + "\x1bXE\xc0");

    std::vector<SimCommand> commands = Commands(3);
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].name, "IMAGE");
    EXPECT_EQ(commands[1].name, "SAVE");
    EXPECT_EQ(commands[1].details, "page=05");
    EXPECT_EQ(commands[2].name, "CONFIRM");
    EXPECT_GE(commands[2].firstMs - commands[1].lastMs, 980);

    std::string list = FileContents(toolFolder + "kplscreens.lst");
    EXPECT_EQ(list, ListText({{5, bitmap}}));
}

TEST_F(BitmapTool, SavesWithoutTheConfirmation) {
    Start();
    OpenBitmap(DataFile("shapes-white-first.bmp"));
    TypeInto(tool, kPort, ComPort());
    ClickAndWait(tool, kSaveFlash);
    TypeInto(tool, kPage, "0");
    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Done: Bitmap file downloaded"});
    EXPECT_EQ(Received(486), kImageCommand + ImageBytesOf("shapes-white-first") + "\x1bX@");
    EXPECT_EQ(ReceivedSettled().size(), 486u);
}

TEST_F(BitmapTool, RefusesAFileOneByteShort) {
    Start();
    OpenBitmap(DataFile("checker.bmp"));
    std::string shortFile = work + "short.bmp";
    WriteTestFile(shortFile, FileContents(DataFile("checker.bmp")).substr(0, 573));
    Click(tool, kLoadBitmap);
    ASSERT_TRUE(ChooseFile(tool, kOpenBitmap, shortFile));
    MessageSeen seen;
    ASSERT_TRUE(AnswerMessage(tool, seen));
    EXPECT_EQ(seen.title, "Incompatible File");
    EXPECT_EQ(seen.text,
              "\"short.bmp\" is not a compatible file.\rMust be 120x32 monochrome .BMP.");
    ASSERT_TRUE(WaitUntilIdle(tool));
    // The bitmap opened before stays.
    EXPECT_EQ(ControlText(tool, kPreviewFrame), "Preview Bitmap checker.bmp");
    ExpectPreviewShows("checker");
}

TEST_F(BitmapTool, SendsAListIntoThePagesOfItsSlots) {
    Start();
    std::string checker = DataFile("checker.bmp"), frame = DataFile("frame-black-first.bmp");
    OpenList(WriteList("two.lst", {{2, checker}, {5, frame}}));
    EXPECT_EQ(ControlText(tool, kDownloadFrame), "Download/save 2 files ");
    EXPECT_EQ(ControlText(tool, kPreviewFrame), "\"two\" ready to send.");
    for (int id : {kSaveFlash, kPage, kConfirm, kFlashFrame, kPageLabel, kPageSpin})
        EXPECT_FALSE(IsEnabled(tool, id)) << id;
    TypeInto(tool, kPage, "9"); // not looked at in a batch
    TypeInto(tool, kPort, ComPort());

    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Done:  2 files downloaded."});
    EXPECT_EQ(Received(972), kImageCommand + ImageBytesOf("checker") + "\x1bXB" + kImageCommand +
                                 ImageBytesOf("frame-black-first") + "\x1bXE");
    std::vector<SimCommand> commands = Commands(4);
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[1].details, "page=02");
    EXPECT_EQ(commands[3].details, "page=05");
    // 500 ms between the entries.
    EXPECT_GE(commands[2].firstMs - commands[1].lastMs, 480);
    EXPECT_EQ(ControlText(tool, kPreviewFrame), "\"two\" ready to send.");
    ExpectPreviewAll(0xFFFFFF);
    EXPECT_EQ(FileContents(toolFolder + "kplscreens.lst"), "<missing>");
}

TEST_F(BitmapTool, SkipsAListEntryThatIsMissing) {
    Start();
    OpenList(WriteList("gap.lst", {{0, work + "gone.bmp"}, {1, DataFile("checker.bmp")}}));
    TypeInto(tool, kPort, ComPort());
    EXPECT_EQ(SendAndAnswer(2), (std::vector<std::string>{"Bad File: Missing or invalid BMP file.",
                                                          "Done:  1 file downloaded."}));
    EXPECT_EQ(Received(486), kImageCommand + ImageBytesOf("checker") + "\x1bXA");
    EXPECT_EQ(ReceivedSettled().size(), 486u);
}

TEST_F(BitmapTool, StopsABatchAtAPortThatCannotBeOpened) {
    Start();
    OpenList(WriteList("none.lst", {{3, DataFile("checker.bmp")}, {4, DataFile("checker.bmp")}}));
    // No device stands behind COM42 here.
    TypeInto(tool, kPort, "42");
    EXPECT_EQ(SendAndAnswer(3),
              (std::vector<std::string>{"Download cancelled: Port unavailable or in use.",
                                        "Download cancelled: Port invalid or unavailable",
                                        "Done:  0 files downloaded."}));
    EXPECT_EQ(ReceivedSettled(), "");
    EXPECT_EQ(FileContents(toolFolder + "kplbmptool.dat"), "<missing>");
}

TEST_F(BitmapTool, PortNinetyNinePutsTheHexTextOnTheClipboard) {
    Start();
    OpenBitmap(DataFile("checker.bmp"));
    TypeInto(tool, kPort, "99");
    EXPECT_EQ(SendAndAnswer(1),
              std::vector<std::string>{"Ready to Paste: Bitmap data in hex on clipboard"});
    EXPECT_EQ(ClipboardText(), FileContents(DataFile("checker.hex")));
    EXPECT_EQ(ReceivedSettled(), "");
    EXPECT_EQ(FileContents(toolFolder + "kplbmptool.dat"), "<missing>");
}

TEST_F(BitmapTool, PortNinetyNineBatchPastesEachEntryInTurn) {
    Start();
    OpenList(WriteList("paste.lst", {{0, DataFile("frame-black-first.bmp")},
                                     {9, DataFile("shapes-white-first.bmp")}}));
    TypeInto(tool, kPort, "99");
    EXPECT_EQ(SendAndAnswer(3),
              (std::vector<std::string>{"Ready to Paste: Bitmap data in hex on clipboard",
                                        "Ready to Paste: Bitmap data in hex on clipboard",
                                        "Done:  2 files downloaded."}));
    EXPECT_EQ(ClipboardText(), FileContents(DataFile("shapes-white-first.hex")));
    EXPECT_EQ(ReceivedSettled(), "");
}

TEST_F(BitmapTool, PreviewShowsEachPictureAtTwiceItsSize) {
    Start();
    ExpectPreviewAll(FaceColour());
    OpenBitmap(DataFile("frame-black-first.bmp"));
    ExpectPreviewShows("frame-black-first");
    // A colour table that lists white first is drawn by its colours.
    OpenBitmap(DataFile("shapes-white-first.bmp"));
    ExpectPreviewShows("shapes-white-first");

    OpenList(WriteList("clear.lst", {{1, DataFile("checker.bmp")}}));
    ExpectPreviewAll(0xFFFFFF);
}

// kpl (the Windows build) run to its end in `folder`; its exit status.
int RunKpl(const std::string& arguments, const std::string& folder) {
    std::string command = "\"" KPL_KPL_EXE "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

// The list `kpl build` writes names its BMPs by bare name: the tool,
// started from the output folder, sends each into its page, and the bytes
// are those kpl reads from the same BMPs.
TEST_F(BitmapTool, BatchesTheListKplBuildWrote) {
    ASSERT_EQ(RunKpl("new screens.toml", work), 0);
    ASSERT_EQ(RunKpl("build screens.toml -o out", work), 0);
    const std::string out = work + "out\\";
    ASSERT_EQ(RunKpl("convert 02-splash.bmp -o splash.raw", out), 0);
    ASSERT_EQ(RunKpl("convert 05-battery_low.bmp -o battery.raw", out), 0);
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryA(out.c_str()));
    Start();
    SetCurrentDirectoryA(before);
    OpenList(out + "screens.lst");
    EXPECT_EQ(ControlText(tool, kDownloadFrame), "Download/save 2 files ");
    TypeInto(tool, kPort, ComPort());
    EXPECT_EQ(SendAndAnswer(1), std::vector<std::string>{"Done:  2 files downloaded."});
    EXPECT_EQ(Received(972), kImageCommand + FileContents(out + "splash.raw") + "\x1bXB" +
                                 kImageCommand + FileContents(out + "battery.raw") + "\x1bXE");
}
