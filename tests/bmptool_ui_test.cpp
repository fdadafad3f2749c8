// The main dialog's work flows, driven through its event handler as the
// dialog would drive them, against the recording fakes; bitmaps, lists and
// settings are real files.
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

// The bytes of a test picture's image, from the hex text worked out
// outside the code under test.
std::string ImageOf(const std::string& name) {
    std::string text = FileContents(DataFile(name + ".hex"));
    std::string bytes;
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 4))
        bytes += static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16));
    return bytes;
}

const std::string kImageCommand = "\x1b"
                                  "DG";
const std::string kBadFile = "message Bad File: Missing or invalid BMP file.";
const std::string kPortUnavailable = "message Download cancelled: Port unavailable or in use.";
const std::string kPortInvalid = "message Download cancelled: Port invalid or unavailable";

constexpr int kPageControls[] = {IDC_PAGE, IDC_PAGE_LABEL, IDC_CONFIRM, IDC_PAGE_SPIN};
constexpr int kFlashGroup[] = {IDC_SAVE_FLASH,  IDC_PAGE,       IDC_CONFIRM,
                               IDC_FLASH_FRAME, IDC_PAGE_LABEL, IDC_PAGE_SPIN};

class MainDialogFlows : public testing::Test {
  protected:
    void SetUp() override {
        ResetFakes();
        ResetDialogFakes();
        folder = ScratchFolder();
        FakeProgramPath = folder + "kplbmptool.exe";
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
    std::string Text(int id) { return FakeControls[id].text; }
    bool Enabled(int id) { return FakeControls[id].enabled; }

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

    std::string folder;
    std::string checker, frame, shapes;
};

} // namespace

TEST_F(MainDialogFlows, OpeningACompatibleBitmap) {
    OpenBitmapFile(checker);
    EXPECT_EQ(FakeEvents, (Events{"open-file Open .BMP File", "preview draw " + checker}));
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download BMP");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap checker.bmp");
    EXPECT_EQ(CurrentSource, checker);
    EXPECT_EQ(SelectedFile, checker);
    EXPECT_EQ(CurrentMode, "BMP");
    EXPECT_EQ(BitmapFolder, DataFile(""));
    EXPECT_EQ(ListFolder, folder);

    ASSERT_EQ(FakeOpenFileRequests.size(), 1u);
    const OpenFileRequest& asked = FakeOpenFileRequests[0];
    EXPECT_EQ(asked.title, "Open .BMP File");
    EXPECT_EQ(asked.initialFolder, folder);
    EXPECT_EQ(asked.filterName, "Bitmap");
    EXPECT_EQ(asked.filterPattern, "*.BMP");
    EXPECT_EQ(asked.defaultExtension, "BMP");
    // Owned by the dialog, which is blocked while the file dialog is open.
    EXPECT_EQ(asked.owner, kFakeDialog);
}

TEST_F(MainDialogFlows, TheNextBitmapDialogOpensWhereTheLastFileWas) {
    OpenBitmapFile(checker);
    OpenBitmapFile(frame);
    ASSERT_EQ(FakeOpenFileRequests.size(), 2u);
    EXPECT_EQ(FakeOpenFileRequests[1].initialFolder, DataFile(""));
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap frame-black-first.bmp");
}

TEST_F(MainDialogFlows, CancellingEitherDialogChangesNothingButTheSelectedFile) {
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

TEST_F(MainDialogFlows, IncompatibleFilesAreRefusedWithTheirName) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"short.bmp", 573}, {"long.bmp", 575}, {"empty.bmp", 0}, {"no extension", 1}};
    for (auto [name, size] : cases) {
        SetUp();
        std::string other = ScratchFolder();
        WriteTestFile(other + name, std::string(size, '\0'));
        OpenBitmapFile(other + name);
        EXPECT_EQ(FakeEvents, (Events{"open-file Open .BMP File",
                                      "message Incompatible File: \"" + std::string(name) +
                                          "\" is not a compatible file.\r"
                                          "Must be 120x32 monochrome .BMP."}))
            << name;
        EXPECT_EQ(BitmapFolder, other) << name;
        EXPECT_EQ(SelectedFile, other + name);
        EXPECT_EQ(CurrentSource, "");
        EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap");
        EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download");
    }
}

TEST_F(MainDialogFlows, AnIncompatibleFileKeepsThePictureAlreadyOpen) {
    OpenBitmapFile(checker);
    WriteTestFile(folder + "bad.bmp", std::string(573, 'x'));
    OpenBitmapFile(folder + "bad.bmp");
    EXPECT_EQ(CurrentSource, checker);
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "Preview Bitmap checker.bmp");
    EXPECT_EQ(BitmapFolder, folder);
}

TEST_F(MainDialogFlows, SendBeforeAnythingWasOpened) {
    Command(IDC_SEND);
    EXPECT_EQ(FakeEvents, (Events{kBadFile}));
    EXPECT_EQ(FakeSerialBytes, "");
}

TEST_F(MainDialogFlows, SendOneBitmapTakesTheFieldsAsTheyStand) {
    struct Case {
        const char* what;
        bool save;
        const char* page;
        bool confirm;
        std::string tail;
    } cases[] = {
        {"plain", false, "2", false, ""},
        {"confirmation without saving", false, "2", true, ""},
        {"save to page 3", true, "3", false, "\x1bXC"},
        {"save to page 16 and confirm", true, "16", true, "\x1bXP\xc0"},
    };
    for (const Case& c : cases) {
        SetUp();
        OpenBitmapFile(frame);
        FakeControls[IDC_PORT].text = "9";
        if (c.save)
            ClickCheckBox(IDC_SAVE_FLASH);
        FakeControls[IDC_PAGE].text = c.page;
        if (c.confirm)
            ClickCheckBox(IDC_CONFIRM);
        FakeEvents.clear();
        Command(IDC_SEND);
        EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageOf("frame-black-first") + c.tail) << c.what;
        EXPECT_EQ(FakeEvents.back(), "message Done: Bitmap file downloaded") << c.what;
        EXPECT_EQ(FileContents(folder + "kplbmptool.dat"), "\"9\"\r\n") << c.what;
    }
}

TEST_F(MainDialogFlows, SavingOneBitmapRecordsItInTheDefaultList) {
    OpenBitmapFile(checker);
    FakeControls[IDC_PORT].text = "9";
    ClickCheckBox(IDC_SAVE_FLASH);
    FakeControls[IDC_PAGE].text = "5";
    Command(IDC_SEND);
    EXPECT_EQ(ScreenList[5], checker);
    std::string list = FileContents(folder + "kplscreens.lst");
    EXPECT_NE(list.find("5,\"" + checker + "\"\r\n"), std::string::npos) << list;
}

TEST_F(MainDialogFlows, CheckBoxEnablesAndDisablesThePageControlsOnly) {
    FakeControls[IDC_PAGE].text = "7";
    ClickCheckBox(IDC_SAVE_FLASH);
    for (int id : kPageControls)
        EXPECT_TRUE(Enabled(id)) << id;
    ClickCheckBox(IDC_CONFIRM);
    ASSERT_TRUE(FakeControls[IDC_CONFIRM].checked);

    ClickCheckBox(IDC_SAVE_FLASH);
    for (int id : kPageControls)
        EXPECT_FALSE(Enabled(id)) << id;
    // Values stay as they were.
    EXPECT_EQ(Text(IDC_PAGE), "7");
    EXPECT_TRUE(FakeControls[IDC_CONFIRM].checked);
    EXPECT_TRUE(Enabled(IDC_SAVE_FLASH));
    EXPECT_TRUE(Enabled(IDC_FLASH_FRAME));
    EXPECT_EQ(FakeEvents, Events{});
}

TEST_F(MainDialogFlows, CheckBoxIsFollowedWhateverTheNotification) {
    for (int notification : {0, 1, 2, 5, 6, 7}) {
        FakeControls[IDC_SAVE_FLASH].checked = notification % 2 == 0;
        Command(IDC_SAVE_FLASH, notification);
        for (int id : kPageControls)
            EXPECT_EQ(Enabled(id), notification % 2 == 0) << notification;
    }
}

TEST_F(MainDialogFlows, ButtonsActOnClicksOnly) {
    // 0 is BN_CLICKED and 1 what an accelerator sends; anything else (a
    // double click, focus changes) is ignored.
    for (int button : {IDC_LOAD_LIST, IDC_LOAD_BMP, IDC_SEND}) {
        for (int notification : {0, 1, 2, 5, 6, 7}) {
            FakeEvents.clear();
            Command(button, notification);
            bool acted = !FakeEvents.empty();
            EXPECT_EQ(acted, notification <= 1) << button << " notification " << notification;
        }
    }
}

TEST_F(MainDialogFlows, OtherControlsAndMessagesDoNothing) {
    for (int id :
         {IDC_PREVIEW_FRAME, IDC_FLASH_FRAME, IDC_PREVIEW, IDC_PAGE, IDC_PAGE_SPIN, IDC_PORT,
          IDC_PORT_SPIN, IDC_PORT_LABEL, IDC_DOWNLOAD_FRAME, IDC_PAGE_LABEL, IDC_CONFIRM, 1, 2})
        EXPECT_EQ(Command(id, 0x300), 0); // EN_CHANGE from the edits, and so on
    for (unsigned message : {0x0002u, 0x0010u, 0x002Bu, 0x0112u, 0x0200u})
        EXPECT_EQ(MainDialogEvent(kFakeDialog, message, CommandFrom(IDC_SEND), 0), 0);
    EXPECT_EQ(FakeEvents, Events{});
    EXPECT_EQ(CurrentMode, "BMP");
}

TEST_F(MainDialogFlows, FocusIsKeptWhileTheDialogIsInactive) {
    FakeFocus = 0x77;
    EXPECT_EQ(MainDialogEvent(kFakeDialog, kMessageNcActivate, 0, 0), 0);
    EXPECT_EQ(SavedFocus, 0x77);
    FakeFocus = 0x12;
    EXPECT_EQ(MainDialogEvent(kFakeDialog, kMessageNcActivate, 1, 0), 0);
    EXPECT_EQ(FakeEvents, (Events{"focus 119"}));
    EXPECT_EQ(SavedFocus, kNoWindow);
    // Nothing saved: nothing restored.
    MainDialogEvent(kFakeDialog, kMessageNcActivate, 1, 0);
    EXPECT_EQ(FakeEvents, (Events{"focus 119"}));
}

TEST_F(MainDialogFlows, OpeningAList) {
    std::string list = WriteList("myscreens.lst", {{2, checker}, {5, frame}, {16, shapes}});
    OpenListFile(list);
    EXPECT_EQ(FakeEvents, (Events{"open-file Open .LST File", "preview clear"}));
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 3 files ");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"myscreens\" ready to send.");
    for (int id : kFlashGroup)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_EQ(CurrentMode, "LST");
    EXPECT_EQ(CurrentSource, list);
    EXPECT_EQ(ListFolder, folder);
    EXPECT_EQ(ScreenList[2], checker);
    EXPECT_EQ(ScreenList[16], shapes);

    ASSERT_EQ(FakeOpenFileRequests.size(), 1u);
    const OpenFileRequest& asked = FakeOpenFileRequests[0];
    EXPECT_EQ(asked.title, "Open .LST File");
    EXPECT_EQ(asked.initialFolder, folder);
    EXPECT_EQ(asked.filterName, "List");
    EXPECT_EQ(asked.filterPattern, "*.LST");
    EXPECT_EQ(asked.defaultExtension, "LST");
    EXPECT_EQ(asked.owner, kFakeDialog);
}

TEST_F(MainDialogFlows, ListCountAndItsWord) {
    const std::pair<int, const char*> cases[] = {{0, "Download/save 0 files "},
                                                 {1, "Download/save 1 file "},
                                                 {2, "Download/save 2 files "},
                                                 {17, "Download/save 17 files "}};
    for (auto [count, caption] : cases) {
        std::map<int, std::string> entries;
        for (int k = 0; k < count; ++k)
            entries[16 - k] = "x" + std::to_string(k) + ".bmp";
        OpenListFile(WriteList("count.lst", entries));
        EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), caption);
    }
    // A list that cannot be read counts 0.
    OpenListFile(folder + "gone.lst");
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 0 files ");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"gone\" ready to send.");
    EXPECT_EQ(CurrentMode, "LST");
}

TEST_F(MainDialogFlows, CountTexts) {
    EXPECT_EQ(FileCountText(0), " 0 files ");
    EXPECT_EQ(FileCountText(1), " 1 file ");
    EXPECT_EQ(FileCountText(3), " 3 files ");
    EXPECT_EQ(ReadyToSendCaption("C:\\lists\\my.screens.lst"), "\"my.screens\" ready to send.");
    EXPECT_EQ(ReadyToSendCaption("A:noext"), "\"noext\" ready to send.");
}

TEST_F(MainDialogFlows, ASecondListReplacesTheFirstAndKeepsTheGroupDisabled) {
    OpenListFile(WriteList("one.lst", {{0, checker}, {1, frame}}));
    OpenListFile(WriteList("two.lst", {{4, shapes}}));
    EXPECT_EQ(ScreenList[0], "");
    EXPECT_EQ(ScreenList[4], shapes);
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 1 file ");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"two\" ready to send.");
    for (int id : kFlashGroup)
        EXPECT_FALSE(Enabled(id)) << id;
}

TEST_F(MainDialogFlows, AnIncompatibleBitmapInListModeKeepsTheList) {
    std::string list = WriteList("keep.lst", {{3, checker}});
    OpenListFile(list);
    WriteTestFile(folder + "bad.bmp", "BM");
    OpenBitmapFile(folder + "bad.bmp");
    EXPECT_EQ(CurrentMode, "LST");
    EXPECT_EQ(CurrentSource, list);
    EXPECT_EQ(ScreenList[3], checker);
    for (int id : kFlashGroup)
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"keep\" ready to send.");
}

TEST_F(MainDialogFlows, ABitmapAfterAListRestoresTheFlashGroupAsTheCheckBoxStands) {
    for (bool checked : {false, true}) {
        SetUp();
        if (checked)
            ClickCheckBox(IDC_SAVE_FLASH);
        ScreenList[17] = "never in a file";
        OpenListFile(WriteList("l.lst", {{1, checker}}));
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
}

TEST_F(MainDialogFlows, ABitmapInBitmapModeKeepsTheScreenList) {
    ScreenList[4] = "saved.bmp";
    OpenBitmapFile(checker);
    EXPECT_EQ(ScreenList[4], "saved.bmp");
}

TEST_F(MainDialogFlows, BatchSendsEachEntryToThePageOfItsSlot) {
    OpenListFile(WriteList("two.lst", {{2, checker}, {5, frame}}));
    // Neither the page field nor the check boxes count in a batch.
    FakeControls[IDC_PORT].text = "9";
    FakeControls[IDC_PAGE].text = "11";
    FakeControls[IDC_SAVE_FLASH].checked = false;
    FakeControls[IDC_CONFIRM].checked = true;
    FakeEvents.clear();
    Command(IDC_SEND);

    EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageOf("checker") + "\x1bXB" + kImageCommand +
                                   ImageOf("frame-black-first") + "\x1bXE");
    Events first = EntryEvents(checker, ImageOf("checker"), 2);
    Events second = EntryEvents(frame, ImageOf("frame-black-first"), 5);
    Events expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    expected.push_back("message Done:  2 files downloaded.");
    expected.push_back("preview clear");
    EXPECT_EQ(FakeEvents, expected);
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"two\" ready to send.");
    // A batch records nothing in the default list and keeps its own.
    EXPECT_EQ(FileContents(folder + "kplscreens.lst"), "<missing>");
    EXPECT_EQ(ScreenList[2], checker);
    EXPECT_EQ(ScreenList[5], frame);
}

TEST_F(MainDialogFlows, BatchStopsAtAPortThatCannotBeOpened) {
    OpenListFile(WriteList("stop.lst", {{0, checker}, {1, frame}, {9, shapes}}));
    FakeControls[IDC_PORT].text = "5"; // no such port among the fakes
    FakeEvents.clear();
    Command(IDC_SEND);
    EXPECT_EQ(FakeEvents, (Events{"repaint 1001 checker", "preview draw " + checker,
                                  "open failed COM5", kPortUnavailable, kPortInvalid,
                                  "message Done:  0 files downloaded.", "preview clear"}));
    EXPECT_EQ(FakeSerialBytes, "");
    EXPECT_EQ(Text(IDC_PREVIEW_FRAME), "\"stop\" ready to send.");
}

TEST_F(MainDialogFlows, BatchStopsWhenThePortRefusesItsSettings) {
    OpenListFile(WriteList("refuse.lst", {{3, checker}, {4, frame}}));
    FakeControls[IDC_PORT].text = "9";
    FakeSerial.refuseState = true;
    Command(IDC_SEND);
    EXPECT_EQ(FakeEvents.end()[-4], "message Download cancelled: Port could not be initialized.");
    EXPECT_EQ(FakeEvents.end()[-3], kPortInvalid);
    EXPECT_EQ(FakeEvents.end()[-2], "message Done:  0 files downloaded.");
    EXPECT_EQ(std::count(FakeEvents.begin(), FakeEvents.end(), "open COM9"), 1);
}

TEST_F(MainDialogFlows, AMissingEntryIsSkippedAndNotCounted) {
    std::string gone = folder + "gone.bmp";
    OpenListFile(WriteList("gaps.lst", {{0, gone}, {7, checker}}));
    FakeControls[IDC_PORT].text = "9";
    FakeEvents.clear();
    Command(IDC_SEND);
    Events expected = {"repaint 1001 gone", "preview draw " + gone, kBadFile, "pause 500"};
    Events entry = EntryEvents(checker, ImageOf("checker"), 7);
    expected.insert(expected.end(), entry.begin(), entry.end());
    expected.push_back("message Done:  1 file downloaded.");
    expected.push_back("preview clear");
    EXPECT_EQ(FakeEvents, expected);
    EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageOf("checker") + "\x1bXG");
}

TEST_F(MainDialogFlows, AnEntryWithABadLengthIsSkippedLikeAMissingOne) {
    WriteTestFile(folder + "odd.bmp", std::string(600, '\0'));
    OpenListFile(WriteList("odd.lst", {{16, folder + "odd.bmp"}}));
    FakeControls[IDC_PORT].text = "9";
    FakeEvents.clear();
    Command(IDC_SEND);
    EXPECT_EQ(FakeEvents,
              (Events{"repaint 1001 odd", "preview draw " + folder + "odd.bmp", kBadFile,
                      "pause 500", "message Done:  0 files downloaded.", "preview clear"}));
}

TEST_F(MainDialogFlows, AnEmptyListSendsNothingAndSaysSo) {
    OpenListFile(WriteList("empty.lst", {}));
    FakeEvents.clear();
    Command(IDC_SEND);
    EXPECT_EQ(FakeEvents, (Events{"message Done:  0 files downloaded.", "preview clear"}));
}

TEST_F(MainDialogFlows, BatchToPortNinetyNinePutsEachEntryOnTheClipboard) {
    OpenListFile(WriteList("paste.lst", {{1, frame}, {3, folder + "gone.bmp"}, {8, checker}}));
    FakeControls[IDC_PORT].text = "99";
    FakeEvents.clear();
    Command(IDC_SEND);
    const std::string ready = "message Ready to Paste: Bitmap data in hex on clipboard";
    EXPECT_EQ(
        FakeEvents,
        (Events{"repaint 1001 frame-black-first", "preview draw " + frame, "clipboard", ready,
                "pause 500", "repaint 1001 gone", "preview draw " + folder + "gone.bmp", kBadFile,
                "pause 500", "repaint 1001 checker", "preview draw " + checker, "clipboard", ready,
                "pause 500", "message Done:  2 files downloaded.", "preview clear"}));
    // The last accepted entry's text stays.
    EXPECT_EQ(FakeClipboard, FileContents(DataFile("checker.hex")));
    EXPECT_EQ(FileContents(folder + "kplbmptool.dat"), "<missing>");
}

TEST_F(MainDialogFlows, AFullBatchPausesAfterEveryEntry) {
    std::map<int, std::string> all;
    for (int k = 0; k < 17; ++k)
        all[k] = k % 2 ? checker : frame;
    OpenListFile(WriteList("full.lst", all));
    EXPECT_EQ(Text(IDC_DOWNLOAD_FRAME), "Download/save 17 files ");
    FakeControls[IDC_PORT].text = "10";
    FakeSerial.devices.insert("\\\\.\\COM10");
    FakeEvents.clear();
    Command(IDC_SEND);
    EXPECT_EQ(std::count(FakeEvents.begin(), FakeEvents.end(), "pause 500"), 17);
    EXPECT_EQ(FakeEvents.end()[-3], "pause 500");
    EXPECT_EQ(FakeEvents.end()[-2], "message Done:  17 files downloaded.");
    std::string pages;
    for (std::size_t at = FakeSerialBytes.find("\x1bX"); at != std::string::npos;
         at = FakeSerialBytes.find("\x1bX", at + 3))
        pages += std::to_string(FakeSerialBytes[at + 2] - 0x40) + " ";
    EXPECT_EQ(pages, "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 ");
    EXPECT_EQ(FakeSerialBytes.size(), 17u * 486);
}

TEST_F(MainDialogFlows, SendingAfterAListWasReplacedByABitmapSendsTheBitmapAlone) {
    OpenListFile(WriteList("gone.lst", {{0, checker}, {1, checker}}));
    OpenBitmapFile(frame);
    FakeControls[IDC_PORT].text = "9";
    FakeEvents.clear();
    Command(IDC_SEND);
    EXPECT_EQ(FakeSerialBytes, kImageCommand + ImageOf("frame-black-first"));
    EXPECT_EQ(FakeEvents.back(), "message Done: Bitmap file downloaded");
}
