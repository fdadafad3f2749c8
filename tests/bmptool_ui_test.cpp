// The main dialog's work flows, driven through its event handler as the
// dialog would drive them, against the recording fakes; bitmaps, lists and
// settings are real files. The bytes and messages of one download are
// download_test's business; here it is which download, when, and what the
// dialog shows around it.
#include "bmptool/state.h"
#include "bmptool/ui_dialog.h"
#include "bmptool/ui_flows.h"
#include "bmptool/ui_ids.h"
#include "common/focus.h"
#include "common/pathparts.h"
#include "tests/fakes/fake_dialog.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Events = std::vector<std::string>;

const std::string kImageCommand = "\x1b"
                                  "DG";
const std::string kBadFile = "message Bad File: Missing or invalid BMP file.";
const std::string kPortInvalid = "message Download cancelled: Port invalid or unavailable";

constexpr int kPageControls[] = {IDC_PAGE, IDC_PAGE_LABEL, IDC_CONFIRM, IDC_PAGE_SPIN};
constexpr int kFlashGroup[] = {IDC_SAVE_FLASH,  IDC_PAGE,       IDC_CONFIRM,
                               IDC_FLASH_FRAME, IDC_PAGE_LABEL, IDC_PAGE_SPIN};

Events Join(std::initializer_list<Events> parts) {
    Events all;
    for (const Events& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class MainDialogFlows : public testing::Test {
  protected:
    void SetUp() override {
        folder = ResetFakesInFreshFolder("kplbmptool.exe");
        ResetDialogFakes();
        ResetBitmapToolState();
        // The dialog as it stands after start-up; the fake keeps its
        // controls once the run is over.
        ShowMainDialog(kNoWindow);
        FakeEvents.clear();
        checker = DataFile("checker.bmp");
        frame = DataFile("frame-black-first.bmp");
        shapes = DataFile("shapes-white-first.bmp");
    }
    void TearDown() override { EXPECT_EQ(FakeOpenPorts, 0) << "a port was left open"; }

    std::intptr_t Command(int id, int notification = 0) {
        return MainDialogEvent(kFakeDialog, kMessageCommand, CommandFrom(id, notification), 0);
    }
    // An automatic check box changes its state before it tells the dialog.
    void ClickCheckBox(int id) {
        FakeControls[id].checked = !FakeControls[id].checked;
        Command(id);
    }
    void OpenBitmapFile(const std::string& path) {
        FakeOpenFileAnswers.push_back(path);
        Command(IDC_LOAD_BMP);
    }
    void OpenListFile(const std::string& path) {
        FakeOpenFileAnswers.push_back(path);
        Command(IDC_LOAD_LIST);
    }
    // A list file with the given paths in the given slots.
    std::string WriteList(const std::string& name, const std::map<int, std::string>& entries) {
        std::string text;
        for (int k = 0; k < 17; ++k) {
            auto entry = entries.find(k);
            text += std::to_string(k) + ",\"" + (entry != entries.end() ? entry->second : "") +
                    "\"\r\n";
        }
        WriteTestFile(folder + name, text);
        return folder + name;
    }
    // Clicks Send with the port field set to `port`.
    void Send(const std::string& port) {
        FakeControls[IDC_PORT].text = port;
        FakeEvents.clear();
        Command(IDC_SEND);
    }
    std::string Text(int id) { return FakeControls[id].text; }
    bool Enabled(int id) { return FakeControls[id].enabled; }
    void ExpectFlashGroupDisabled() {
        for (int id : kFlashGroup)
            EXPECT_FALSE(Enabled(id)) << id;
    }
    // The open-file request, all its fields on one line.
    std::string Asked(std::size_t i) {
        if (i >= FakeOpenFileRequests.size())
            return "<not asked>";
        const OpenFileRequest& r = FakeOpenFileRequests[i];
        return r.title + "|" + r.initialFolder + "|" + r.filterName + "|" + r.filterPattern + "|" +
               r.defaultExtension + "|" + std::to_string(r.owner);
    }

    // The events of one batch entry sent to port COM9.
    Events EntryEvents(const std::string& path, const std::string& image, int slot) {
        std::string page(1, static_cast<char>(0x40 + slot));
        return {"repaint 1001 " + BaseNameOf(path),
                "preview draw " + path,
                "open COM9",
                "settings COM9 9600,N,8,1",
                "write 3: 1B 44 47",
                "write 480: " + HexBytes(image),
                "write 3: " + HexBytes("\x1bX" + page),
                "close COM9",
                "pause 500"};
    }
    Events BatchEnd(const std::string& count) {
        return {"message Done:  " + count + " downloaded.", "preview clear"};
    }

    std::string folder;
    std::string checker, frame, shapes;
};

const std::string kDialog = std::to_string(kFakeDialog);

} // namespace

TEST_F(MainDialogFlows, OpeningCompatibleBitmaps) {
    ScreenList[4] = "saved.bmp";
    OpenBitmapFile(checker);
    EXPECT_EQ(FakeEvents, (Events{"open-file Open .BMP File", "preview draw " + checker}));
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download BMP");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap checker.bmp");
    EXPECT_EQ(CurrentSource, checker);
    EXPECT_EQ(SelectedFile, checker);
    EXPECT_EQ(CurrentMode, "BMP");
    EXPECT_EQ(BitmapFolder, DataFile(""));
    EXPECT_EQ(ListFolder, folder);
    // Owned by the dialog, which is blocked while the file dialog is open.
    EXPECT_EQ(Asked(0), "Open .BMP File|" + folder + "|Bitmap|*.BMP|BMP|" + kDialog);
    // In bitmap mode the list of saved screens stays.
    EXPECT_EQ(ScreenList[4], "saved.bmp");

    // The next dialog opens where the last file was.
    OpenBitmapFile(frame);
    EXPECT_EQ(FakeOpenFileRequests[1].initialFolder, DataFile(""));
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap frame-black-first.bmp");
}

TEST_F(MainDialogFlows, SendBeforeAnythingWasOpenedAndCancellingChangeNothing) {
    Send("9");
    EXPECT_EQ(FakeEvents, (Events{kBadFile}));
    OpenBitmapFile(checker);
    for (int button : {IDC_LOAD_BMP, IDC_LOAD_LIST}) {
        FakeEvents.clear();
        Command(button);
        EXPECT_EQ(FakeEvents.size(), 1u) << button;
        EXPECT_EQ(SelectedFile, "");
        EXPECT_EQ(CurrentSource, checker);
        EXPECT_EQ(CurrentMode, "BMP");
        EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap checker.bmp");
        EXPECT_EQ(BitmapFolder, DataFile(""));
        EXPECT_EQ(ListFolder, folder);
    }
}

// Which files are compatible is image_test's business.
TEST_F(MainDialogFlows, IncompatibleFilesAreRefusedWithTheirNameAndChangeNothingElse) {
    std::string other = ScratchFolder();
    WriteTestFile(other + "short.bmp", std::string(573, '\0'));
    OpenBitmapFile(other + "short.bmp");
    EXPECT_EQ(FakeEvents, (Events{"open-file Open .BMP File",
                                  "message Incompatible File: \"short.bmp\" is not a compatible "
                                  "file.\rMust be 120x32 monochrome .BMP."}));
    EXPECT_EQ(BitmapFolder, other);
    EXPECT_EQ(SelectedFile, other + "short.bmp");
    EXPECT_EQ(CurrentSource, "");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap");
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download");
    // The picture already open stays.
    OpenBitmapFile(checker);
    OpenBitmapFile(other + "short.bmp");
    EXPECT_EQ(CurrentSource, checker);
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap checker.bmp");
    EXPECT_EQ(BitmapFolder, other);
}

TEST_F(MainDialogFlows, SendOneBitmapTakesTheFieldsAsTheyStand) {
    struct Case {
        bool save;
        const char* page;
        bool confirm;
        std::string tail;
    } cases[] = {
        {false, "3", false, ""},
        {true, "3", false, "\x1bXC"},
        {true, "16", true, "\x1bXP\xc0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HexBytes(c.tail));
        SetUp();
        OpenBitmapFile(frame);
        if (c.save)
            ClickCheckBox(IDC_SAVE_FLASH);
        FakeControls[IDC_PAGE].text = c.page;
        if (c.confirm)
            ClickCheckBox(IDC_CONFIRM);
        Send("9");
        EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageBytesOf("frame-black-first") + c.tail);
        EXPECT_EQ(FakeEvents.back(), "message Done: Bitmap file downloaded");
        EXPECT_EQ(FileContents(folder + "kplbmptool.dat"), "\"9\"\r\n");
        // A single bitmap saved to flash is recorded in the default list.
        EXPECT_EQ(ScreenList[std::stoi(c.page)], c.save ? frame : "");
    }
}

TEST_F(MainDialogFlows, SaveCheckBoxEnablesThePageControlsOnlyWhateverTheNotification) {
    FakeControls[IDC_PAGE].text = "7";
    FakeControls[IDC_CONFIRM].checked = true;
    for (int notification : {0, 1, 2, 5, 6, 7}) {
        FakeControls[IDC_SAVE_FLASH].checked = notification % 2 == 0;
        Command(IDC_SAVE_FLASH, notification);
        for (int id : kPageControls)
            EXPECT_EQ(Enabled(id), notification % 2 == 0) << id << " notification " << notification;
    }
    // Values stay as they were.
    EXPECT_EQ(Text(IDC_PAGE), "7");
    EXPECT_TRUE(FakeControls[IDC_CONFIRM].checked);
    EXPECT_TRUE(Enabled(IDC_SAVE_FLASH));
    EXPECT_TRUE(Enabled(IDC_FLASH_FRAME));
    EXPECT_EQ(FakeEvents, Events{});
}

TEST_F(MainDialogFlows, OnlyClicksOnTheThreeButtonsAct) {
    // 0 is BN_CLICKED and 1 what an accelerator sends; anything else (a
    // double click, focus changes) is ignored.
    for (int button : {IDC_LOAD_LIST, IDC_LOAD_BMP, IDC_SEND}) {
        for (int notification : {0, 1, 2, 5, 6, 7}) {
            FakeEvents.clear();
            EXPECT_EQ(Command(button, notification), 0);
            bool acted = !FakeEvents.empty();
            EXPECT_EQ(acted, notification <= 1) << button << " notification " << notification;
        }
    }
    FakeEvents.clear();
    std::map<int, FakeControl> before = FakeControls;
    for (int id :
         {IDC_PREVIEW_FRAME, IDC_FLASH_FRAME, IDC_PREVIEW, IDC_PAGE, IDC_PAGE_SPIN, IDC_PORT,
          IDC_PORT_SPIN, IDC_PORT_LABEL, IDC_DOWNLOAD_FRAME, IDC_PAGE_LABEL, IDC_CONFIRM, 1, 2})
        EXPECT_EQ(Command(id, 0x300), 0); // EN_CHANGE from the edits, and so on
    for (unsigned message : {0x0002u, 0x0010u, 0x002Bu, 0x0112u, 0x0200u, kMessageInitDialog})
        EXPECT_EQ(MainDialogEvent(kFakeDialog, message, CommandFrom(IDC_SEND), 0), 0);
    EXPECT_EQ(FakeEvents, Events{});
    EXPECT_EQ(CurrentMode, "BMP");
    for (auto& [id, control] : before)
        EXPECT_TRUE(FakeControls[id].text == control.text &&
                    FakeControls[id].enabled == control.enabled)
            << id;
}

// Saving and restoring is focus.cpp's; the dialog has to pass the message on.
TEST_F(MainDialogFlows, FocusIsKeptWhileTheDialogIsInactive) {
    FakeFocus = 0x77;
    EXPECT_EQ(MainDialogEvent(kFakeDialog, kMessageNcActivate, 0, 0), 0);
    FakeFocus = 0x12;
    EXPECT_EQ(MainDialogEvent(kFakeDialog, kMessageNcActivate, 1, 0), 0);
    EXPECT_EQ(FakeEvents, (Events{"focus 119"}));
}

TEST_F(MainDialogFlows, OpeningListsEachReplacingTheLast) {
    std::string list = WriteList("myscreens.lst", {{2, checker}, {5, frame}, {16, shapes}});
    OpenListFile(list);
    EXPECT_EQ(FakeEvents, (Events{"open-file Open .LST File", "preview clear"}));
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 3 files ");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"myscreens\" ready to send.");
    ExpectFlashGroupDisabled();
    EXPECT_EQ(CurrentMode, "LST");
    EXPECT_EQ(CurrentSource, list);
    EXPECT_EQ(ListFolder, folder);
    EXPECT_EQ(ScreenList[2], checker);
    EXPECT_EQ(ScreenList[16], shapes);
    EXPECT_EQ(Asked(0), "Open .LST File|" + folder + "|List|*.LST|LST|" + kDialog);

    // An incompatible bitmap keeps the list.
    WriteTestFile(folder + "bad.bmp", "BM");
    OpenBitmapFile(folder + "bad.bmp");
    EXPECT_EQ(CurrentMode, "LST");
    EXPECT_EQ(CurrentSource, list);
    EXPECT_EQ(ScreenList[16], shapes);
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"myscreens\" ready to send.");
    ExpectFlashGroupDisabled();

    // The group stays disabled whatever the next list holds.
    const std::pair<std::map<int, std::string>, const char*> cases[] = {
        {{{0, checker}, {1, frame}}, "Download/save 2 files "},
        {{{4, shapes}}, "Download/save 1 file "},
        {{}, "Download/save 0 files "},
    };
    for (const auto& [entries, caption] : cases) {
        OpenListFile(WriteList("count.lst", entries));
        EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), caption);
        EXPECT_EQ(ScreenList[0], entries.count(0) ? checker : "") << caption;
        ExpectFlashGroupDisabled();
    }
    // The next list dialog opens where the last list was.
    MakeFolder(folder + "lists");
    WriteTestFile(folder + "lists\\other.lst", "");
    OpenListFile(folder + "lists\\other.lst");
    OpenListFile(folder + "gone.lst");
    EXPECT_EQ(FakeOpenFileRequests.back().initialFolder, folder + "lists\\");
    // A list that cannot be read counts 0, and sending it says so.
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 0 files ");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"gone\" ready to send.");
    Send("9");
    EXPECT_EQ(FakeEvents, BatchEnd("0 files"));
}

TEST_F(MainDialogFlows, ABitmapAfterAListRestoresTheFlashGroupAsTheCheckBoxStandsAndIsSentAlone) {
    for (bool checked : {false, true}) {
        SetUp();
        if (checked)
            ClickCheckBox(IDC_SAVE_FLASH);
        ScreenList[17] = "never in a file";
        OpenListFile(WriteList("l.lst", {{1, checker}, {2, checker}}));
        OpenBitmapFile(frame);
        EXPECT_TRUE(Enabled(IDC_SAVE_FLASH));
        EXPECT_TRUE(Enabled(IDC_FLASH_FRAME));
        EXPECT_EQ(FakeControls[IDC_SAVE_FLASH].checked, checked);
        for (int id : kPageControls)
            EXPECT_EQ(Enabled(id), checked) << id << " checked " << checked;
        for (const std::string& slot : ScreenList)
            EXPECT_EQ(slot, "");
        EXPECT_EQ(CurrentMode, "BMP");
        EXPECT_EQ(CurrentSource, frame);
        EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download BMP");
    }
    FakeControls[IDC_SAVE_FLASH].checked = false;
    Send("9");
    EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageBytesOf("frame-black-first"));
    EXPECT_EQ(FakeEvents.back(), "message Done: Bitmap file downloaded");
}

TEST_F(MainDialogFlows, BatchSendsEachEntryToThePageOfItsSlot) {
    // Slot 16 is the last page (slot 0 comes first in the next test).
    OpenListFile(WriteList("two.lst", {{2, checker}, {16, frame}}));
    // Neither the page field nor the check boxes count in a batch.
    FakeControls[IDC_PAGE].text = "11";
    FakeControls[IDC_SAVE_FLASH].checked = false;
    FakeControls[IDC_CONFIRM].checked = true;
    Send("9");
    EXPECT_EQ(FakeEvents, Join({EntryEvents(checker, ImageBytesOf("checker"), 2),
                                EntryEvents(frame, ImageBytesOf("frame-black-first"), 16),
                                BatchEnd("2 files")}));
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"two\" ready to send.");
    // A batch records nothing in the default list and keeps its own.
    EXPECT_EQ(FileContents(folder + "kplscreens.lst"), "<missing>");
    EXPECT_EQ(ScreenList[2], checker);
    EXPECT_EQ(ScreenList[16], frame);
}

// Which ports cannot be used, and what the user is told, is download_test's
// business: the batch stops at the first.
TEST_F(MainDialogFlows, BatchStopsAtAPortThatCannotBeUsed) {
    OpenListFile(WriteList("stop.lst", {{0, checker}, {1, frame}, {9, shapes}}));
    Send("5"); // no such port among the fakes
    EXPECT_EQ(FakeEvents,
              Join({{"repaint 1001 checker", "preview draw " + checker, "open failed COM5",
                     "message Download cancelled: Port unavailable or in use.", kPortInvalid},
                    BatchEnd("0 files")}));
    EXPECT_EQ(FakeSerialBytes, "");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"stop\" ready to send.");
}

// A bad entry (missing, or of the wrong length: image_test) is skipped and
// not counted, on a serial port as here. A NUL byte in a hand-written list
// makes a path that names no file, not the file named by the part before it.
TEST_F(MainDialogFlows, BatchToPortNinetyNinePutsEachGoodEntryOnTheClipboard) {
    const std::string cut = frame + std::string(1, '\0') + ".bmp";
    OpenListFile(
        WriteList("paste.lst", {{1, frame}, {3, folder + "gone.bmp"}, {8, checker}, {9, cut}}));
    Send("99");
    const std::string ready = "message Ready to Paste: Bitmap data in hex on clipboard";
    EXPECT_EQ(FakeEvents,
              Join({{"repaint 1001 frame-black-first", "preview draw " + frame, "clipboard", ready,
                     "pause 500", "repaint 1001 gone", "preview draw " + folder + "gone.bmp",
                     kBadFile, "pause 500", "repaint 1001 checker", "preview draw " + checker,
                     "clipboard", ready, "pause 500", "repaint 1001 " + BaseNameOf(cut),
                     "preview draw " + cut, kBadFile, "pause 500"},
                    BatchEnd("2 files")}));
    // The last accepted entry's text stays.
    EXPECT_EQ(FakeClipboard, FileContents(DataFile("checker.hex")));
}
