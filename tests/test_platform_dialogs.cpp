// The modal boxes: scripted answers, bounded copies into the caller's buffer, number entry,
// the no-display path, and the dialog program run without a shell.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "support/TestFiles.h"

namespace {

using testfiles::listFolder;
using testfiles::readFile;
using testfiles::writeFile;

using platform::DialogMode;
using platform::DialogRecord;



// Keeps the environment variables a test changes and puts them back afterwards.
class EnvGuard {
public:
    explicit EnvGuard(std::vector<std::string> names) : names_(std::move(names)) {
        for (const auto& n : names_) {
            const char* v = std::getenv(n.c_str());
            saved_.push_back(v ? std::make_pair(true, std::string(v)) : std::make_pair(false, std::string()));
        }
    }
    ~EnvGuard() {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (saved_[i].first)
                setenv(names_[i].c_str(), saved_[i].second.c_str(), 1);
            else
                unsetenv(names_[i].c_str());
        }
    }

private:
    std::vector<std::string> names_;
    std::vector<std::pair<bool, std::string>> saved_;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::dialogSetProgram("");
    }
    void TearDown() override {
        platform::dialogSetMode(DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogSetProgram("");
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }

    // A stand-in for the dialog program: writes each argument it gets, NUL-terminated, to
    // $FAKE_ARGS, touches $FAKE_MARK, prints $FAKE_ANSWER and exits with $FAKE_EXIT.
    std::string makeFakeProgram() {
        dir = testfiles::makeScratchFolder("dialogs");
        if (dir.empty()) return std::string();
        const std::string path = dir + "/fake-dialog";
        std::ofstream out(path);
        out << "#!/bin/sh\n"
               ": > \"$FAKE_MARK\"\n"
               "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$FAKE_ARGS\"; done\n"
               "printf '%s\\n' \"$FAKE_ANSWER\"\n"
               "exit \"$FAKE_EXIT\"\n";
        out.close();
        chmod(path.c_str(), 0755);
        argsFile = dir + "/args";
        markFile = dir + "/mark";
        setenv("FAKE_ARGS", argsFile.c_str(), 1);
        setenv("FAKE_MARK", markFile.c_str(), 1);
        setenv("FAKE_ANSWER", "", 1);
        setenv("FAKE_EXIT", "0", 1);
        return path;
    }

    std::vector<std::string> fakeArgs() {
        std::vector<std::string> args;
        const std::string data = readFile(argsFile);
        std::size_t start = 0;
        while (start < data.size()) {
            const std::size_t end = data.find('\0', start);
            args.push_back(data.substr(start, end - start));
            start = end + 1;
        }
        std::remove(argsFile.c_str());
        return args;
    }

    bool fakeRan() {
        const bool ran = access(markFile.c_str(), F_OK) == 0;
        std::remove(markFile.c_str());
        return ran;
    }

    std::string dir, argsFile, markFile;
    EnvGuard env{{"DISPLAY", "WAYLAND_DISPLAY", "TAV_TEST_SCRATCH", "TAV_DIALOGS", "FAKE_ARGS",
                  "FAKE_MARK", "FAKE_ANSWER", "FAKE_EXIT"}};
};

TEST_F(DialogTest, ScriptedEntryAnswersOkWithTextAndCancel) {
    platform::dialogScriptOk("12 apples");
    platform::dialogScriptCancel();

    char buf[kEntryBufSize] = "440";
    inputBox(std::string("A4 Tuning: 220 to 880Hz, 440Hz Default"), std::string("220 to 880"), buf);
    EXPECT_STREQ(buf, "12 apples");

    std::strcpy(buf, "kept?");
    inputBox("Copy to Layer 1 to 3", "Copy To", buf);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(platform::dialogScriptPending(), 0u);

    const auto log = platform::dialogTranscript();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, DialogRecord::Kind::Entry);
    EXPECT_EQ(log[0].title, "220 to 880");
    EXPECT_EQ(log[0].text, "A4 Tuning: 220 to 880Hz, 440Hz Default");
    EXPECT_EQ(log[0].initial, "440");
    EXPECT_TRUE(log[0].ok);
    EXPECT_EQ(log[1].initial, "kept?");
    EXPECT_FALSE(log[1].ok);
}

TEST_F(DialogTest, OtherEntryFormsShareTheRules) {
    platform::dialogScriptOk("typed");
    char label[kEntryBufSize] = "MIDI CC: Cutoff";
    char title[kEntryBufSize] = "MIDI CC (0 - 127)";
    char buf[kEntryBufSize] = "";
    inputBox(label, title, buf);
    EXPECT_STREQ(buf, "typed");

    platform::dialogScriptOk("again");
    runInputWindow("Message", "Informative", buf);
    EXPECT_STREQ(buf, "again");

    std::string text = "start";
    platform::dialogScriptOk("done");
    inputBoxStr("Prompt", "Title", text);
    EXPECT_EQ(text, "done");
    platform::dialogScriptCancel();
    inputBoxStr("Prompt", "Title", text);
    EXPECT_EQ(text, "");

    const auto log = platform::dialogTranscript();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].title, "MIDI CC (0 - 127)");
    EXPECT_EQ(log[0].text, "MIDI CC: Cutoff");
    EXPECT_EQ(log[1].title, "Message");
    EXPECT_EQ(log[1].text, "Informative");
    EXPECT_EQ(log[2].initial, "start");
}

TEST_F(DialogTest, EnteredTextIsCutToTheCallersBuffer) {
    const std::string longAnswer(300, 'x');
    char buf[kEntryBufSize + 16];
    std::memset(buf, '#', sizeof buf);
    buf[0] = 0;
    platform::dialogScriptOk(longAnswer);
    inputBox("p", "t", buf);
    EXPECT_EQ(std::strlen(buf), static_cast<std::size_t>(kEntryBufSize - 1));
    for (std::size_t i = kEntryBufSize; i < sizeof buf; ++i) ASSERT_EQ(buf[i], '#') << i;

    char small[16 + 8];
    std::memset(small, '#', sizeof small);
    std::strcpy(small, "init");
    platform::dialogScriptOk(longAnswer);
    inputBox("p", "t", small, 16);
    EXPECT_EQ(std::string(small), std::string(15, 'x'));
    for (std::size_t i = 16; i < sizeof small; ++i) ASSERT_EQ(small[i], '#') << i;

    // A cut never leaves half a UTF-8 character: "é" is two bytes.
    char utf[6 + 4];
    std::memset(utf, '#', sizeof utf);
    utf[0] = 0;
    platform::dialogScriptOk("abcd\xc3\xa9");
    inputBox("p", "t", utf, 6);
    EXPECT_STREQ(utf, "abcd");

    // An unterminated starting text is read only up to the size given.
    char raw[8];
    std::memset(raw, 'r', sizeof raw);
    platform::dialogScriptOk("ok");
    inputBox("p", "t", raw, 8);
    EXPECT_EQ(platform::dialogTranscript().back().initial, std::string(8, 'r'));
    EXPECT_STREQ(raw, "ok");
}

TEST_F(DialogTest, NumberEntryKeepsTheNumberAndChecksTheRange) {
    std::string text = "3";
    int value = 0;

    platform::dialogScriptOk("twelve: 12abc");
    EXPECT_TRUE(inputBoxNumStr("p", "t", text, value));
    EXPECT_EQ(value, 12);
    EXPECT_EQ(text, "12");

    platform::dialogScriptOk("letters");
    EXPECT_FALSE(inputBoxNumStr("p", "t", text, value));
    EXPECT_EQ(value, -1);
    EXPECT_EQ(text, "");

    platform::dialogScriptOk("17");
    EXPECT_FALSE(inputBoxNumStr("Set MIDI Input Channel (0 for Omni)", "MIDI Channel", text, 1, 16, value));
    EXPECT_EQ(value, 17);

    platform::dialogScriptOk("16");
    EXPECT_TRUE(inputBoxNumStr("p", "t", text, 0, 16, value));
    EXPECT_EQ(value, 16);

    platform::dialogScriptOk("-5.7");
    EXPECT_TRUE(inputBoxNumStr("p", "t", text, -10, 10, value));
    EXPECT_EQ(value, -5);

    // Signs and dots without digits, and numbers past 32 bits, are no number.
    for (const char* junk : {".", "-", "+-3", "x.y", "99999999999"}) {
        platform::dialogScriptOk(junk);
        value = 5;
        EXPECT_FALSE(inputBoxNumStr("p", "t", text, value)) << junk;
        EXPECT_EQ(value, -1) << junk;
    }

    platform::dialogScriptCancel();
    text = "8";
    EXPECT_FALSE(inputBoxNumStr("p", "t", text, 0, 16, value));
    EXPECT_EQ(value, -1);
    EXPECT_EQ(text, "");
}

TEST_F(DialogTest, MessageBoxResults) {
    // An empty text shows nothing and takes no answer.
    platform::dialogScriptOk();
    EXPECT_EQ(messageBox("", 1), 0);
    EXPECT_EQ(messageBox(static_cast<const char*>(nullptr), 1), 0);
    EXPECT_EQ(messageBox(std::string(), 2), 0);
    EXPECT_EQ(platform::dialogScriptPending(), 1u);
    EXPECT_TRUE(platform::dialogTranscript().empty());

    EXPECT_EQ(messageBox("Problem with Preset", 1), 1);
    platform::dialogScriptCancel();
    EXPECT_EQ(messageBox(std::string("Really?"), 1), 2);
    platform::dialogScriptCancel();
    EXPECT_EQ(messageBoxCancel("Sure?"), 2);
    platform::dialogScriptOk();
    EXPECT_EQ(messageBox2("Notice", 2), 1);

    const auto log = platform::dialogTranscript();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, DialogRecord::Kind::Question);
    EXPECT_EQ(log[0].text, "Problem with Preset");
    EXPECT_EQ(log[3].kind, DialogRecord::Kind::Message);
}

TEST_F(DialogTest, WithoutAnAnswererBoxesAnswerAsCancelledAtOnce) {
    for (DialogMode mode : {DialogMode::Scripted, DialogMode::Headless}) {
        platform::dialogSetMode(mode);
        char buf[kEntryBufSize] = "preset";
        inputBox("p", "t", buf);
        EXPECT_STREQ(buf, "");
        EXPECT_EQ(messageBox("Problem with ECS File", 2), 1);
        EXPECT_EQ(messageBox("Overwrite?", 1), 2);
    }
    // Headless ignores a script.
    platform::dialogScriptOk("never used");
    char buf[kEntryBufSize] = "";
    inputBox("p", "t", buf);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(platform::dialogScriptPending(), 1u);
}

TEST_F(DialogTest, AutomaticModeRunsTheProgramOnlyWithADisplay) {
    const std::string fake = makeFakeProgram();
    ASSERT_FALSE(fake.empty());
    platform::dialogSetProgram(fake);
    platform::dialogSetMode(DialogMode::Automatic);
    setenv("FAKE_ANSWER", "from program", 1);
    unsetenv("TAV_TEST_SCRATCH");
    unsetenv("TAV_DIALOGS");

    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(platform::dialogDisplayPresent());
    char buf[kEntryBufSize] = "x";
    inputBox("p", "t", buf);
    EXPECT_EQ(messageBox("m", 1), 2);
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(fakeRan());

    setenv("DISPLAY", ":97", 1);
    inputBox("p", "t", buf);
    EXPECT_TRUE(fakeRan());
    EXPECT_STREQ(buf, "from program");

    // Under the test runner, or when told so, no window ever opens.
    setenv("TAV_TEST_SCRATCH", "/tmp", 1);
    inputBox("p", "t", buf);
    EXPECT_FALSE(fakeRan());
    unsetenv("TAV_TEST_SCRATCH");
    setenv("TAV_DIALOGS", "none", 1);
    EXPECT_EQ(messageBox("m", 1), 2);
    EXPECT_FALSE(fakeRan());
    unsetenv("TAV_DIALOGS");

    unsetenv("DISPLAY");
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_EQ(messageBox("m", 1), 1);
    EXPECT_TRUE(fakeRan());
}

TEST_F(DialogTest, ProgramGetsItsArgumentsWithoutAShell) {
    const std::string fake = makeFakeProgram();
    ASSERT_FALSE(fake.empty());
    platform::dialogSetProgram(fake);
    platform::dialogSetMode(DialogMode::External);

    const std::string evil = "$(touch " + dir + "/pwned) `id` ; \"quoted\" 'single' & | > <";
    setenv("FAKE_ANSWER", "answer with spaces", 1);
    char buf[kEntryBufSize];
    std::strcpy(buf, evil.c_str());
    inputBox("Prompt_with\\specials", "Title " + evil, buf);
    EXPECT_STREQ(buf, "answer with spaces");
    EXPECT_EQ(access((dir + "/pwned").c_str(), F_OK), -1);
    auto args = fakeArgs();
    const std::vector<std::string> expected = {"--entry", "--title=Title " + evil,
                                               "--text=Prompt__with\\\\specials",
                                               "--entry-text=" + evil, "--ok-label=OK",
                                               "--cancel-label=Cancel"};
    EXPECT_EQ(args, expected);

    // Cancel: exit status 1, whatever it printed.
    setenv("FAKE_EXIT", "1", 1);
    std::strcpy(buf, "x");
    inputBox("p", "t", buf);
    EXPECT_STREQ(buf, "");
    fakeArgs();

    // Message boxes: OK alone, or OK and Cancel.
    setenv("FAKE_EXIT", "0", 1);
    EXPECT_EQ(messageBox("Problem with Preset", 2), 1);
    args = fakeArgs();
    EXPECT_EQ(args, (std::vector<std::string>{"--info", "--text=Problem with Preset", "--no-markup",
                                              "--ok-label=OK"}));
    setenv("FAKE_EXIT", "1", 1);
    EXPECT_EQ(messageBox("Sure?", 1), 2);
    args = fakeArgs();
    EXPECT_EQ(args, (std::vector<std::string>{"--question", "--text=Sure?", "--no-markup",
                                              "--ok-label=OK", "--cancel-label=Cancel"}));
    // A program that fails in some other way counts as no answer.
    setenv("FAKE_EXIT", "5", 1);
    EXPECT_EQ(messageBox("Sure?", 1), 2);
    EXPECT_EQ(messageBox("Note", 2), 1);

    // A program that is not there: no box, no hang.
    platform::dialogSetProgram(dir + "/missing-program");
    std::strcpy(buf, "x");
    inputBox("p", "t", buf);
    EXPECT_STREQ(buf, "");
}

} // namespace
