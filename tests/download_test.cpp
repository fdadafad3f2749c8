#include "bmptool/download.h"

#include "display/hextext.h"
#include "bmptool/state.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Events = std::vector<std::string>;

class Download : public testing::Test {
  protected:
    void SetUp() override {
        folder = ResetFakesInFreshFolder("kplbmptool.exe");
        ResetBitmapToolState();
        bitmap = DataFile("checker.bmp");
        image = ImageBytesOf("checker");
        ASSERT_EQ(image.size(), 480u);
    }
    void TearDown() override { EXPECT_EQ(FakeOpenPorts, 0) << "a port was left open"; }

    std::string Settings() { return FileContents(folder + "kplbmptool.dat"); }
    std::string ListFile() { return FileContents(folder + "kplscreens.lst"); }

    std::string folder;
    std::string bitmap;
    std::string image;
};

const std::string kImageCommand = "\x1b"
                                  "DG";
const std::string kPortFailed = "message Download cancelled: Port unavailable or in use.";
const std::string kPortInvalid = "message Download cancelled: Port invalid or unavailable";

} // namespace

TEST_F(Download, PlainSaveAndConfirmationBytesInOrder) {
    struct Case {
        const char* what;
        bool save;
        const char* page;
        bool confirm;
        std::string tail; // bytes after the image
        Events middle;    // events between the image write and the close
    } cases[] = {
        {"plain", false, "3", false, "", {}},
        {"confirmation alone has no effect", false, "3", true, "", {}},
        {"save page 3", true, "3", false, "\x1bXC", {"write 3: 1B 58 43"}},
        {"save page 0", true, "0", false, std::string("\x1bX@"), {"write 3: 1B 58 40"}},
        {"empty page is 0", true, "", false, std::string("\x1bX@"), {"write 3: 1B 58 40"}},
        {"save page 16 and confirm",
         true,
         "16",
         true,
         "\x1bXP\xc0",
         {"write 3: 1B 58 50", "pause 1000", "write 1: C0"}},
    };
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(DownloadBitmap(bitmap, "9", c.save, c.page, c.confirm), "OK") << c.what;
        EXPECT_EQ(FakeSerialBytes, kImageCommand + image + c.tail) << c.what;
        Events expected = {"open COM9", "settings COM9 9600,N,8,1", "write 3: 1B 44 47",
                           "write 480: " + HexBytes(image)};
        expected.insert(expected.end(), c.middle.begin(), c.middle.end());
        expected.push_back("close COM9");
        expected.push_back("message Done: Bitmap file downloaded");
        EXPECT_EQ(FakeEvents, expected) << c.what;
        EXPECT_EQ(Settings(), "\"9\"\r\n") << c.what;
        EXPECT_EQ(ListFile() != "<missing>", c.save) << c.what;
    }
}

TEST_F(Download, SavingRecordsTheScreenInSingleMode) {
    ASSERT_EQ(DownloadBitmap(bitmap, "3", true, "5", false), "OK");
    EXPECT_EQ(ScreenList[5], bitmap);
    std::string list = ListFile();
    EXPECT_EQ(list.substr(0, 6), "0,\"\"\r\n");
    EXPECT_NE(list.find("5,\"" + bitmap + "\"\r\n6,\"\"\r\n"), std::string::npos);
}

TEST_F(Download, ListEntriesAreNotRecordedAndNotAnnounced) {
    CurrentMode = "LST";
    ASSERT_EQ(DownloadBitmap(bitmap, "3", true, "4", false), "OK");
    EXPECT_EQ(FakeSerialBytes, kImageCommand + image + "\x1bXD");
    EXPECT_EQ(ScreenList[4], "");
    EXPECT_EQ(ListFile(), "<missing>");
    EXPECT_EQ(FakeEvents.back(), "close COM3");
}

TEST_F(Download, DeviceNames) {
    struct Case {
        const char* port;
        const char* device; // "" when no device may be named
    } cases[] = {{"1", "COM1"},
                 {"9", "COM9"},
                 {"10", "\\\\.\\COM10"},
                 {"12", "\\\\.\\COM12"},
                 {"98", "\\\\.\\COM98"},
                 {"", ""},
                 {"0", ""},
                 {"100", ""},
                 {"123456789012", ""},
                 {"009", ""},
                 {"-1", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(DisplayDeviceName(c.port), c.device) << c.port;

    EXPECT_EQ(DownloadBitmap(bitmap, "10", false, "0", false), "OK");
    EXPECT_EQ(FakeEvents[0], "open \\\\.\\COM10");
}

TEST_F(Download, PortsThatCannotBeUsed) {
    struct Case {
        const char* port;
        Events events;
    } cases[] = {
        {"", {kPortFailed, kPortInvalid}},
        {"100", {kPortFailed, kPortInvalid}},
        {"1234567890123", {kPortFailed, kPortInvalid}},
        {"5", {"open failed COM5", kPortFailed, kPortInvalid}},
    };
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(DownloadBitmap(bitmap, c.port, true, "2", true), "BADPORT") << c.port;
        EXPECT_EQ(FakeEvents, c.events) << c.port;
        EXPECT_EQ(Settings(), "<missing>") << c.port;
        EXPECT_EQ(ListFile(), "<missing>") << c.port;
    }
}

TEST_F(Download, LineSettingsRefused) {
    FakeSerial.refuseDefinition = true;
    EXPECT_EQ(DownloadBitmap(bitmap, "3", false, "0", false), "BADPORT");
    EXPECT_EQ(FakeEvents, (Events{"open COM3", "settings COM3 9600,N,8,1", "close COM3",
                                  kPortFailed, kPortInvalid}));

    SetUp();
    FakeSerial.refuseState = true;
    EXPECT_EQ(DownloadBitmap(bitmap, "3", false, "0", false), "BADPORT");
    EXPECT_EQ(FakeEvents,
              (Events{"open COM3", "settings COM3 9600,N,8,1", "close COM3",
                      "message Download cancelled: Port could not be initialized.", kPortInvalid}));
    EXPECT_EQ(Settings(), "<missing>");
}

TEST_F(Download, FlashPageOutOfRangeIsRefusedBeforeThePortOpens) {
    for (const char* page : {"17", "99", "1000"}) {
        SetUp();
        EXPECT_EQ(DownloadBitmap(bitmap, "3", true, page, true), "") << page;
        EXPECT_EQ(FakeEvents, (Events{"message Download cancelled: Flash page must be 0 to 16."}));
        EXPECT_EQ(ListFile(), "<missing>");
        for (const std::string& slot : ScreenList)
            EXPECT_EQ(slot, "");
    }
    // Without saving the page does not matter.
    SetUp();
    EXPECT_EQ(DownloadBitmap(bitmap, "3", false, "17", true), "OK");
}

TEST_F(Download, FailedOrShortWritesEndTheTransaction) {
    for (int write = 1; write <= 4; ++write) {
        for (bool shortWrite : {false, true}) {
            SetUp();
            (shortWrite ? FakeSerial.shortWriteNumber : FakeSerial.failWriteNumber) = write;
            std::string what =
                (shortWrite ? "short write " : "failed write ") + std::to_string(write);
            EXPECT_EQ(DownloadBitmap(bitmap, "3", true, "2", true), "BADPORT") << what;
            int closes = 0;
            for (const std::string& e : FakeEvents)
                closes += e == "close COM3";
            EXPECT_EQ(closes, 1) << what;
            EXPECT_EQ(FakeEvents.back(),
                      "message Download cancelled: Data could not be sent to the port.")
                << what;
            EXPECT_EQ(FakeEvents[FakeEvents.size() - 2], "close COM3") << what;
            EXPECT_EQ(ListFile(), "<missing>") << what;
            EXPECT_EQ(ScreenList[2], "") << what;
        }
    }
}

TEST_F(Download, PortNinetyNineExportsToTheClipboard) {
    EXPECT_EQ(DownloadBitmap(bitmap, "99", true, "2", true), "OK");
    EXPECT_EQ(FakeEvents,
              (Events{"clipboard", "message Ready to Paste: Bitmap data in hex on clipboard"}));
    EXPECT_EQ(FakeClipboard, FileContents(DataFile("checker.hex")));
    EXPECT_EQ(Settings(), "<missing>");
    EXPECT_EQ(ListFile(), "<missing>");

    SetUp();
    FakeClipboardFails = true;
    EXPECT_EQ(DownloadBitmap(bitmap, "99", false, "0", false), "");
    EXPECT_EQ(FakeEvents, (Events{"clipboard failed",
                                  "message Download cancelled: Could not open the clipboard."}));
}

TEST_F(Download, RejectedFileComesBeforeThePort) {
    for (const char* port : {"99", "3", ""}) {
        SetUp();
        EXPECT_EQ(DownloadBitmap(folder + "missing.bmp", port, false, "0", false), "") << port;
        EXPECT_EQ(FakeEvents, (Events{"message Bad File: Missing or invalid BMP file."})) << port;
        EXPECT_EQ(FakeClipboard, "");
    }
    EXPECT_EQ(DownloadBitmap("", "3", false, "0", false), "");
}

TEST_F(Download, TwoCallsOpenAndCloseTwice) {
    EXPECT_EQ(DownloadBitmap(bitmap, "3", false, "0", false), "OK");
    EXPECT_EQ(DownloadBitmap(DataFile("frame-black-first.bmp"), "3", false, "0", false), "OK");
    EXPECT_EQ(FakeSerialBytes,
              kImageCommand + image + kImageCommand + ImageBytesOf("frame-black-first"));
    int opens = 0;
    for (const std::string& e : FakeEvents)
        opens += e == "open COM3";
    EXPECT_EQ(opens, 2);
}
