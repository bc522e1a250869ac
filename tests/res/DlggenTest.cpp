// dlggen run on small scripts: rc rules the real script does not exercise, and the
// faults it must refuse rather than lay out a wrong form.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string messages;
    std::string generated; // empty when no output file was written
};

class Dlggen : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::path(::testing::TempDir()) / (std::string("dlggen.") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void write(const fs::path& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }

    Outcome run(const std::string& script, const std::string& header = realHeader())
    {
        write(dir_ / "test.rc", script);
        write(dir_ / "resource.h", header);
        const fs::path out = dir_ / "out.cpp";
        const std::string command = std::string("'") + VANTRELL_DLGGEN + "' '" + (dir_ / "test.rc").string() +
                                    "' '" + (dir_ / "resource.h").string() + "' '" + out.string() + "' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        EXPECT_NE(pipe, nullptr);
        Outcome result{-1, {}, {}};
        if (pipe == nullptr)
            return result;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            result.messages += buffer;
        const int raw = pclose(pipe);
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (fs::exists(out)) {
            std::ostringstream text;
            text << std::ifstream(out).rdbuf();
            result.generated = text.str();
        }
        return result;
    }

    static std::string realHeader()
    {
        std::ostringstream text;
        text << std::ifstream(VANTRELL_RESOURCE_HEADER_PATH).rdbuf();
        return text.str();
    }

    fs::path dir_;
};

// The two templates the program needs, with room for the controls a case adds.
std::string script(const std::string& scanControls, const std::string& before = "")
{
    return before +
           "#include <windows.h>\n"                                        // 1 + before
           "#include \"resource.h\"\n"                                     // 2
           "IDD_ABOUTBOX DIALOGEX 0, 0, 10, 10\n"                          // 3
           "CAPTION \"A\"\n"                                               // 4
           "BEGIN\n"                                                       // 5
           "END\n"                                                         // 6
           "IDD_SCAN_DIALOG DIALOGEX 0, 0, 20, 20\n"                       // 7
           "STYLE DS_MODALFRAME | WS_POPUP\n"                              // 8
           "FONT 8, \"MS Shell Dlg\", 0, 0, 0x1\n"                         // 9
           "BEGIN\n"                                                       // 10
           + scanControls +                                                // 11...
           "END\n";
}

TEST_F(Dlggen, AppliesTheRcDefaultsAndNot)
{
    const Outcome r = run(script(
        "    EDITTEXT IDC_LAT_DEG,1,2,3,4,NOT WS_TABSTOP | ES_RIGHT\n"
        "    CONTROL \"x\",IDC_PAUSE,\"Button\",WS_TABSTOP,1,2,3,4\n"
        "    CONTROL \"\",IDC_PROGRESS,\"MSCTLS_PROGRESS32\",0,1,2,3,4\n"
        "    COMBOBOX IDC_LAT_DIR,1,2,3,4,CBS_DROPDOWN | CBS_SORT\n"
        "    COMBOBOX IDC_LON_DIR,1,2,3,4\n"
        "    RTEXT \"a\"\"b\\tc\",IDC_STATIC,1,2,3,4,NOT WS_VISIBLE\n"
        "    PUSHBUTTON \"P\",-7,1,2,3,4\n",
        "STRINGTABLE\nBEGIN\n    IDS_ABOUTBOX \"END BEGIN DIALOGEX\"\nEND\n"
        "1 VERSIONINFO\n FILEVERSION 1,0,0,2\nBEGIN\n BLOCK \"x\"\n BEGIN\n  VALUE \"a\", \"b\"\n END\nEND\n"));
    ASSERT_EQ(r.status, 0) << r.messages;
    const auto has = [&](const std::string& line) {
        EXPECT_NE(r.generated.find(line), std::string::npos) << line << "\n" << r.generated;
    };
    has("{\"\", 1000, \"IDC_LAT_DEG\", ControlKind::Edit, TextAlign::Right, 1, 2, 3, 4, false, true, false, false}");
    has("{\"x\", 3, \"IDC_PAUSE\", ControlKind::Other, TextAlign::Left, 1, 2, 3, 4, true, true, false, false}");
    has("{\"\", 1012, \"IDC_PROGRESS\", ControlKind::ProgressBar, TextAlign::Left, 1, 2, 3, 4, false, true,");
    has("{\"\", 1009, \"IDC_LAT_DIR\", ControlKind::Other, TextAlign::Left, 1, 2, 3, 4, false, true, false, false}");
    has("{\"\", 1010, \"IDC_LON_DIR\", ControlKind::Other, TextAlign::Left, 1, 2, 3, 4, true, true, false, false}");
    has("{\"a\\\"b\\011c\", -1, \"IDC_STATIC\", ControlKind::Text, TextAlign::Right, 1, 2, 3, 4, false, false,");
    has("{\"P\", -7, \"-7\", ControlKind::PushButton,");
    has("kAboutDialogTemplate{100, \"IDD_ABOUTBOX\", \"A\", 10, 10, \"\", 0, {}}");
    has("kScanDialogTemplate{102, \"IDD_SCAN_DIALOG\", \"\", 20, 20, \"MS Shell Dlg\", 8, kScanDialogControls}");
}

TEST_F(Dlggen, RefusesWhatItDoesNotUnderstandNamingTheLine)
{
    struct Case {
        const char* controls;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"    EDITTEXT IDC_LAT_DEG,1,2,3,4 ES_NUMBER\n", 11, "'ES_NUMBER' after the control's fields"},
        {"    EDITTEXT IDC_LAT_DEG,1,2,3,4,ES_NUMBR\n", 11, "unknown style 'ES_NUMBR'"},
        {"    LTEXT \"a\",-1,1,2,3,4\n    GROUPBOX \"g\",-1,1,2,3,4\n", 12, "control statement 'GROUPBOX'"},
        {"    EDITTEXT IDC_NOPE,1,2,3,4\n", 11, "'IDC_NOPE' is not defined"},
        {"    LTEXT \"a\" IDC_STATIC,1,2,3,4\n", 11, "expected ',' before the id"},
        {"    LTEXT IDC_STATIC,1,2,3,4\n", 11, "expected the text in double quotes"},
        {"    LTEXT \"a\\\"b\",IDC_STATIC,1,2,3,4\n", 11, "unsupported escape"},
        {"    LTEXT \"a\",IDC_STATIC,1,2,3\n", 12, "expected ',' before height"},
        {"    LTEXT \"a\",IDC_STATIC,1,2,40000,4\n", 11, "width 40000 is out of range"},
        {"    CONTROL \"\",IDC_PROGRESS,msctls_progress32,0,1,2,3,4\n", 11, "window class in double quotes"},
        {"    LTEXT \"open,IDC_STATIC,1,2,3,4\n", 11, "unterminated string"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.controls);
        const Outcome r = run(script(c.controls));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.messages.find("test.rc:" + std::to_string(c.line) + ": error: "), std::string::npos)
            << r.messages;
        EXPECT_NE(r.messages.find(c.message), std::string::npos) << r.messages;
        EXPECT_TRUE(r.generated.empty());
    }
}

TEST_F(Dlggen, RefusesBrokenDialogStructure)
{
    const Outcome menu = run(script("") + "7 DIALOGEX 0,0,1,1\nMENU IDR_MAINFRAME\nBEGIN\nEND\n");
    EXPECT_EQ(menu.status, 1);
    EXPECT_NE(menu.messages.find("test.rc:13: error: dlggen does not understand 'MENU' in dialog 7"),
              std::string::npos)
        << menu.messages;

    const Outcome noEnd = run("IDD_ABOUTBOX DIALOGEX 0, 0, 10, 10\nBEGIN\n    LTEXT \"a\",-1,1,2,3,4\n");
    EXPECT_EQ(noEnd.status, 1);
    EXPECT_NE(noEnd.messages.find("test.rc:4: error: missing END of dialog IDD_ABOUTBOX begun on line 1"),
              std::string::npos)
        << noEnd.messages;

    const Outcome missing = run("IDD_ABOUTBOX DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.messages.find("no DIALOGEX IDD_SCAN_DIALOG"), std::string::npos) << missing.messages;
    EXPECT_TRUE(missing.generated.empty());
}

TEST_F(Dlggen, RefusesAHeaderThatContradictsThePlatform)
{
    const Outcome r = run(script(""), "#define IDD_ABOUTBOX 100\n#define IDD_SCAN_DIALOG 102\n#define IDOK 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.messages.find("resource.h:3: error: IDOK is already 1, not 5"), std::string::npos) << r.messages;
}

} // namespace
