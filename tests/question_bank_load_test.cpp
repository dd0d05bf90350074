// The loader as a candidate meets it: a real questions.json in a scratch working folder, LoadQuestions called
// with a real owner window, and every message box read (caption, text, icon, buttons, owner) and dismissed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "question_bank.h"
#include "test_support.h"

namespace {

const std::string PREFIX = "Invalid format in questions.json.\n";
const std::string EMPTY_INPUT_MESSAGE =
    "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
    "unexpected end of input; expected '[', '{', or a literal";

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        allQuestions.clear();
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        allQuestions.clear();
    }

    // Writes the bank (unless `bank` is null), loads it, and returns the boxes shown during the load.
    std::vector<MessageBoxSeen> Load(const std::string* bank, bool& loaded) {
        if (bank) folder_.Write(L"questions.json", *bank);
        return CaptureMessageBoxes([&] { loaded = LoadQuestions(owner_); });
    }

    // Loads a bank that must be accepted without any box.
    void ExpectLoads(const std::string& bank) {
        bool loaded = false;
        const auto boxes = Load(&bank, loaded);
        EXPECT_TRUE(loaded);
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : WideToUtf8(boxes[0].text));
    }

    // Loads a bank that must be refused with exactly one "JSON Parse Error" box; returns its text.
    std::string ExpectRefused(const std::string& bank) {
        bool loaded = true;
        const auto boxes = Load(&bank, loaded);
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(allQuestions.empty());
        if (boxes.size() != 1) {
            ADD_FAILURE() << "expected one message box, saw " << boxes.size();
            return std::string();
        }
        ExpectErrorBox(boxes[0], L"JSON Parse Error");
        return WideToUtf8(boxes[0].text);
    }

    void ExpectErrorBox(const MessageBoxSeen& box, const std::wstring& caption) {
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.icon, L"error");
        EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_EQ(box.owner, owner_);
    }

    TempWorkFolder folder_;
    HWND owner_ = nullptr;
};

TEST_F(LoaderTest, MissingBankIsReportedEvenWithOneBesideTheExecutable) {
    wchar_t exe_path[MAX_PATH];
    GetModuleFileNameW(nullptr, exe_path, MAX_PATH);
    std::wstring beside = exe_path;
    beside = beside.substr(0, beside.find_last_of(L'\\') + 1) + L"questions.json";
    HANDLE file = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    const bool created_here = file != INVALID_HANDLE_VALUE;
    if (created_here) {
        DWORD written;
        WriteFile(file, "[]", 2, &written, nullptr);
        CloseHandle(file);
    }

    bool loaded = true;
    const auto boxes = Load(nullptr, loaded);
    if (created_here) DeleteFileW(beside.c_str());

    EXPECT_FALSE(loaded);
    ASSERT_EQ(boxes.size(), 1u);
    ExpectErrorBox(boxes[0], L"Error");
    EXPECT_EQ(boxes[0].text, L"Could not find questions.json.");
}

TEST_F(LoaderTest, BankThatCannotBeOpenedIsReportedAsNotFound) {
    ASSERT_TRUE(CreateDirectoryW((folder_.path() + L"\\questions.json").c_str(), nullptr));
    bool loaded = true;
    const auto boxes = Load(nullptr, loaded);
    EXPECT_FALSE(loaded);
    ASSERT_EQ(boxes.size(), 1u);
    ExpectErrorBox(boxes[0], L"Error");
    EXPECT_EQ(boxes[0].text, L"Could not find questions.json.");
}

TEST_F(LoaderTest, BankOpenInAnotherProgramForWritingStillLoads) {
    folder_.Write(L"questions.json", R"([{"questionText":"Q","options":[],"correctAnswer":0}])");
    HANDLE writer = CreateFileW(L"questions.json", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    bool loaded = false;
    const auto boxes = CaptureMessageBoxes([&] { loaded = LoadQuestions(owner_); });
    CloseHandle(writer);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(allQuestions.size(), 1u);
}

// Syntax errors show the library's own message after the first line, word for word. Where the message quotes
// bytes that are not UTF-8, the box shows U+FFFD in their place.
TEST_F(LoaderTest, SyntaxErrorsShowTheLibraryMessage) {
    const struct {
        const char* what;
        std::string bank;
        std::string message;
    } cases[] = {
        {"empty file", "", EMPTY_INPUT_MESSAGE},
        {"white space only", " \r\n\t", "[json.exception.parse_error.101] parse error at line 2, column 2: syntax "
                                         "error while parsing value - unexpected end of input; expected '[', '{', "
                                         "or a literal"},
        {"comment", "// bank\n[]",
         "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing value - "
         "invalid literal; last read: '/'"},
        {"second value", "[] []",
         "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while parsing value - "
         "unexpected '['; expected end of input"},
        {"truncated byte-order mark", "\xEF\xBB[]",
         "[json.exception.parse_error.101] parse error at line 1, column 3: syntax error while parsing value - "
         "invalid BOM; must be 0xEF 0xBB 0xBF if given; last read: '\xEF\xBF\xBD['"},
        {"ill-formed UTF-8", "[\"\xC3\x28\"]",
         "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while parsing value - "
         "invalid string: ill-formed UTF-8 byte; last read: '\"\xEF\xBF\xBD('"},
        {"trailing comma", "[{\"questionText\":\"a\",\"options\":[],\"correctAnswer\":0},]",
         "[json.exception.parse_error.101] parse error at line 1, column 54: syntax error while parsing value - "
         "unexpected ']'; expected '[', '{', or a literal"},
        {"number out of range", "[{\"questionText\":\"a\",\"options\":[],\"correctAnswer\":1e999}]",
         "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExpectRefused(c.bank), PREFIX + c.message);
    }
}

// The bank is read as text: CR LF arrives as LF, Ctrl-Z ends the data, a byte-order mark is skipped and a NUL
// byte after the value ends the input.
TEST_F(LoaderTest, TextModeReading) {
    const std::string entry = R"({"questionText":"Q","options":["a"],"correctAnswer":0})";
    const struct {
        const char* what;
        std::string bank;
        bool loads;
    } cases[] = {
        {"CR LF line ends", "[\r\n" + entry + "\r\n]\r\n", true},
        {"Ctrl-Z then anything", "[" + entry + "]\x1A garbage {", true},
        {"Ctrl-Z inside the value", "[" + entry + "\x1A]", false},
        {"byte-order mark", "\xEF\xBB\xBF[" + entry + "]", true},
        {"NUL then anything", "[" + entry + "]" + std::string(1, '\0') + "garbage", true},
        {"NUL inside the value", "[" + entry + std::string(1, '\0') + "]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        allQuestions.clear();
        if (c.loads) {
            ExpectLoads(c.bank);
            ASSERT_EQ(allQuestions.size(), 1u);
            EXPECT_EQ(allQuestions[0].options, std::vector<std::wstring>{L"a"});
        } else {
            EXPECT_EQ(ExpectRefused(c.bank).rfind(PREFIX, 0), 0u);
        }
    }
    // Ctrl-Z inside the value reads as a file that stops there.
    EXPECT_EQ(ExpectRefused("[" + entry + "\x1A]"),
              PREFIX + "[json.exception.parse_error.101] parse error at line 1, column 56: syntax error while "
                       "parsing array - unexpected end of input; expected ']'");
    // A raw CR LF inside a string arrives as a bare LF, which JSON does not allow unescaped; it is reported on the
    // line it ends.
    EXPECT_EQ(ExpectRefused("[\"a\r\nb\"]"),
              PREFIX + "[json.exception.parse_error.101] parse error at line 1, column 4: syntax error while "
                       "parsing value - invalid string: control character U+000A (LF) must be escaped to "
                       "\\u000A or \\n; last read: '\"a<U+000A>'");
}

TEST_F(LoaderTest, WellFormedBanksWithoutEntriesLoadEmpty) {
    for (const std::string bank : {"[]", "null", "{}", " [ ] "}) {
        SCOPED_TRACE(bank);
        ExpectLoads(bank);
        EXPECT_TRUE(allQuestions.empty());
    }
}

struct ExpectedQuestion {
    std::wstring text;
    std::vector<std::wstring> options;
    int answer;
};

// What each entry becomes, field by field.
TEST_F(LoaderTest, EntriesBecomeQuestions) {
    const struct {
        const char* what;
        std::string bank;
        std::vector<ExpectedQuestion> expected;
    } cases[] = {
        {"plain entry in file order",
         R"([{"questionText":"First","options":["a","b","c","d"],"correctAnswer":2},
             {"questionText":"Second","options":["e","f","g","h"],"correctAnswer":0}])",
         {{L"First", {L"a", L"b", L"c", L"d"}, 2}, {L"Second", {L"e", L"f", L"g", L"h"}, 0}}},
        {"six options are all kept",
         R"([{"questionText":"Q","options":["1","2","3","4","5","6"],"correctAnswer":5}])",
         {{L"Q", {L"1", L"2", L"3", L"4", L"5", L"6"}, 5}}},
        {"extra members and member order do not matter",
         R"([{"correctAnswer":1,"explanation":"because","options":["x","y"],"questionText":"Q","tags":[1,{}]}])",
         {{L"Q", {L"x", L"y"}, 1}}},
        {"a repeated key uses the later value",
         R"([{"questionText":"old","questionText":"new","options":["a"],"correctAnswer":0,"correctAnswer":3}])",
         {{L"new", {L"a"}, 3}}},
        {"options null", R"([{"questionText":"Q","options":null,"correctAnswer":0}])", {{L"Q", {}, 0}}},
        {"options a single string", R"([{"questionText":"Q","options":"only","correctAnswer":0}])",
         {{L"Q", {L"only"}, 0}}},
        {"options an object, in key order",
         R"([{"questionText":"Q","options":{"b":"second","a":"first","c":"third"},"correctAnswer":0}])",
         {{L"Q", {L"first", L"second", L"third"}, 0}}},
        {"top-level object, walked in key order",
         R"({"z":{"questionText":"Z","options":[],"correctAnswer":0},
             "a":{"questionText":"A","options":[],"correctAnswer":1}})",
         {{L"A", {}, 1}, {L"Z", {}, 0}}},
        {"a NUL inside a text ends it", R"([{"questionText":"before\u0000after","options":["x\u0000y"],
             "correctAnswer":0}])",
         {{L"before", {L"x"}, 0}}},
        {"Japanese and other non-ASCII text arrives as the same UTF-16",
         "[{\"questionText\":\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xB3\xAA\xE5\x95\x8F\","
         "\"options\":[\"\xE3\x81\x82\",\"caf\xC3\xA9\",\"\xF0\x9F\x98\x80\",\"\\u00e9\\ud83d\\ude00\"],"
         "\"correctAnswer\":0}]",
         {{L"\u65E5\u672C\u8A9E\u306E\u8CEA\u554F", {L"\u3042", L"caf\u00E9", L"\U0001F600", L"\u00E9\U0001F600"},
           0}}},
        {"ampersands and escapes are kept as written",
         R"([{"questionText":"R&D \"quoted\"\ttab\nline","options":["a && b","&"],"correctAnswer":0}])",
         {{L"R&D \"quoted\"\ttab\nline", {L"a && b", L"&"}, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        allQuestions.clear();
        ExpectLoads(c.bank);
        ASSERT_EQ(allQuestions.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(allQuestions[i].questionText, c.expected[i].text);
            EXPECT_EQ(allQuestions[i].options, c.expected[i].options);
            EXPECT_EQ(allQuestions[i].correctAnswer, c.expected[i].answer);
        }
    }
}

TEST_F(LoaderTest, CorrectAnswerConversions) {
    const struct {
        const char* json;
        int expected;
    } cases[] = {
        {"0", 0},
        {"-1", -1},
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},  // an integer keeps its low 32 bits
        {"4294967297", 1},
        {"-4294967295", 1},
        {"18446744073709551615", -1},
        {"true", 1},
        {"false", 0},
        {"2.9", 2},  // a fraction is truncated toward zero
        {"-2.9", -2},
        {"1e2", 100},
        {"2147483647.5", 2147483647},
        {"-2147483648.9", -2147483647 - 1},
        {"-0.5", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        allQuestions.clear();
        ExpectLoads(std::string(R"([{"questionText":"Q","options":[],"correctAnswer":)") + c.json + "}]");
        ASSERT_EQ(allQuestions.size(), 1u);
        EXPECT_EQ(allQuestions[0].correctAnswer, c.expected);
    }
}

// A bank that parses but does not hold questions is refused, naming the entry, where it starts, the key and what
// was expected.
TEST_F(LoaderTest, WrongShapesAreRefusedNamingEntryAndKey) {
    const std::string good = R"({"questionText":"ok","options":["a"],"correctAnswer":0})";
    const std::string OUT_OF_RANGE =
        "\"correctAnswer\" is out of range: write a whole number from -9223372036854775808 to 18446744073709551615 "
        "(its low 32 bits are kept), or a number with a fraction or exponent whose whole part is from -2147483648 to "
        "2147483647.";
    const struct {
        std::string bank;
        std::string line;
    } cases[] = {
        {"[" + good + ",5]",
         R"(Question 2 (line 1, column 58): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not a number.)"},
        {"[" + good + "," + good + ",[]]",
         R"(Question 3 (line 1, column 114): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not an array.)"},
        {"[null]", R"(Question 1 (line 1, column 2): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not null.)"},
        {R"([{"options":[],"correctAnswer":0}])", R"(Question 1 (line 1, column 2): "questionText" is missing.)"},
        {R"([{"questionText":"q","correctAnswer":0}])", R"(Question 1 (line 1, column 2): "options" is missing.)"},
        {R"([{"questionText":"q","options":[]}])", R"(Question 1 (line 1, column 2): "correctAnswer" is missing.)"},
        {"[" + good + "," + good + R"(,{"questionText":7,"options":[],"correctAnswer":0}])",
         R"(Question 3 (line 1, column 114): "questionText" must be a string.)"},
        {R"([{"questionText":null,"options":[],"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "questionText" must be a string.)"},
        {R"([{"questionText":"q","options":["a",2],"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): option 2 of "options" must be a string, not a number.)"},
        {R"([{"questionText":"q","options":{"k":["nested"]},"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): option 1 of "options" must be a string, not an array.)"},
        {R"([{"questionText":"q","options":3,"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "options" must be an array of strings.)"},
        {R"([{"questionText":"q","options":false,"correctAnswer":0}])",
         R"(Question 1 (line 1, column 2): "options" must be an array of strings.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":"1"}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not a string.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":null}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not null.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":[1]}])",
         R"(Question 1 (line 1, column 2): "correctAnswer" must be a number, true or false, not an array.)"},
        {R"([{"questionText":"q","options":[],"correctAnswer":2147483648.0}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"([{"questionText":"q","options":[],"correctAnswer":-1e300}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"([{"questionText":"q","options":[],"correctAnswer":99999999999999999999}])",
         "Question 1 (line 1, column 2): " + OUT_OF_RANGE},
        {R"({"b":5,"a":{"questionText":"q","options":[],"correctAnswer":0}})",
         R"(Question 2 (line 1, column 6): must be an object with "questionText", "options" and )"
         R"("correctAnswer", not a number.)"},
        {R"("just a string")", R"(The file must hold an array of questions, not a string.)"},
        {R"(42)", R"(The file must hold an array of questions, not a number.)"},
        {R"(true)", R"(The file must hold an array of questions, not a boolean.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bank);
        EXPECT_EQ(ExpectRefused(c.bank), PREFIX + c.line);
    }
}

TEST(Utf8ToWide, Conversions) {
    const struct {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"plain", L"plain"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {std::string("cut\0here", 8), L"cut"},
        {"bad \xFF byte", L"bad \uFFFD byte"},
        {"\xC3", L"\uFFFD"},
        {"\xE6\x97", L"\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
    }
}

}  // namespace
