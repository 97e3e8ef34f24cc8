// File-name expansion, the name prompt and the opening of streams.
#include "zvek.h"
#include "zvektest.h"

#include <fcntl.h>
#include <pwd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using zvektest::codeLine;
using zvektest::errnoLine;

namespace {

// Takes a heap name from the library and gives it back as a string.
std::string take(char *p) {
    std::string s = p ? p : "<null>";
    std::free(p);
    return s;
}

// Sets an environment variable for the life of a test and restores it.
class EnvVar {
public:
    EnvVar(const char *name, const char *value) : name_(name) {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvVar() {
        if (had_) setenv(name_.c_str(), old_.c_str(), 1);
        else unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

// Standard input from /dev/null for the life of a test (not a terminal).
class NullStdin {
public:
    NullStdin() {
        saved_ = dup(0);
        int fd = open("/dev/null", O_RDONLY);
        dup2(fd, 0);
        close(fd);
        clearerr(stdin);
    }
    ~NullStdin() {
        dup2(saved_, 0);
        close(saved_);
        clearerr(stdin);
    }

private:
    int saved_;
};

// A stream holding the given text, as if typed.
FILE *typed(const std::string &text) {
    FILE *f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

class Names : public zvektest::ZvekTest {
protected:
    void SetUp() override {
        ZvekTest::SetUp();
        char tmpl[] = "/tmp/zveknamesXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        ZvekTest::TearDown();
    }
    std::string dir_;
};

}  // namespace

TEST_F(Names, StrspanStopsAtFirstCharacterOutsideTheSet) {
    const char *s = "abc123-rest";
    EXPECT_EQ(strspan(s, "abc"), s + 3);
    EXPECT_EQ(strspan(s, "abc123"), s + 6);
    EXPECT_EQ(strspan(s, "xyz"), s);
    EXPECT_EQ(strspan(s, "abcrest123-"), s + std::strlen(s));  // the NUL
    const char *empty = "";
    EXPECT_EQ(strspan(empty, "abc"), empty);
}

TEST_F(Names, EnvExpandsPlainAndBracedVariables) {
    EnvVar home("HOME", "/home/guest");
    EnvVar dotted("ZV.X", "dotted");
    int status = -5;
    EXPECT_EQ(take(ZvekEnv("$HOME/a.zve", &status)), "/home/guest/a.zve");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(take(ZvekEnv("${HOME}/a.zve", &status)), "/home/guest/a.zve");
    // A plain name stops at the first character outside its set.
    EXPECT_EQ(take(ZvekEnv("$HOME.x", &status)), "/home/guest.x");
    EXPECT_EQ(take(ZvekEnv("x$HOME$HOME", &status)), "x/home/guest/home/guest");
    // The plain set has no underscore: $HOME_x is $HOME followed by _x.
    EXPECT_EQ(take(ZvekEnv("$HOME_x", &status)), "/home/guest_x");
    // A braced name may hold dots.
    EXPECT_EQ(take(ZvekEnv("${ZV.X}!", &status)), "dotted!");
    EXPECT_EQ(take(ZvekEnv("no variables here", &status)), "no variables here");
    EXPECT_EQ(take(ZvekEnv("", &status)), "");
    EXPECT_EQ(Zvekerr, 0);
}

TEST_F(Names, EnvRefusesMissingBraceAndUnknownVariable) {
    EnvVar home("HOME", "/home/guest");
    EnvVar unset("ZVEK_SURELY_UNSET", nullptr);
    int status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekEnv("${HOME/a", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekEnv: no closing '}' in env. var. name.\n");
    EXPECT_EQ(status, 1);

    status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekEnv("/x/${ZVEK_SURELY_UNSET}/y", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekEnv: no environment variable `ZVEK_SURELY_UNSET'.\n");
    EXPECT_EQ(status, 1);

    // A '$' followed by no name character looks up the empty name.
    status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekEnv("a$-b", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekEnv: no environment variable `'.\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Zvekerr, 0) << "expansion failures set no code of their own";
}

TEST_F(Names, EnvRefusesNamesLongerThan511Characters) {
    int status = 0;
    const std::string fits(511, 'a');
    EXPECT_EQ(take(ZvekEnv(fits.c_str(), &status)), fits);
    EXPECT_EQ(status, 0);

    const std::string over(512, 'a');
    CaptureStderr();
    EXPECT_EQ(ZvekEnv(over.c_str(), &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekEnv: expanded name longer than 511 characters.\n");
    EXPECT_EQ(status, 1);

    // A short name whose value overflows the buffer.
    EnvVar big("ZVEKBIG", std::string(400, 'b').c_str());
    status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekEnv("$ZVEKBIG/$ZVEKBIG", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekEnv: expanded name longer than 511 characters.\n");
    EXPECT_EQ(status, 1);
    status = 0;
    EXPECT_EQ(take(ZvekEnv("$ZVEKBIG/", &status)), std::string(400, 'b') + "/");
    EXPECT_EQ(status, 0);
}

TEST_F(Names, TildeIsTheHomeDirectory) {
    EnvVar home("HOME", "/home/guest");
    int status = -1;
    EXPECT_EQ(take(ZvekPrsFN("~", &status)), "/home/guest");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(take(ZvekPrsFN("~/a.zve", &status)), "/home/guest/a.zve");
    // A variable may expand to a tilde, which is then expanded too.
    EnvVar t("ZVEKTILDE", "~/b");
    EXPECT_EQ(take(ZvekPrsFN("$ZVEKTILDE", &status)), "/home/guest/b");
    // Not a leading tilde, or a tilde followed by a character that is
    // neither a user-name character nor '/': left alone.
    EXPECT_EQ(take(ZvekPrsFN("a/~/b", &status)), "a/~/b");
    EXPECT_EQ(take(ZvekPrsFN("~-x/b", &status)), "~-x/b");
    EXPECT_EQ(take(ZvekPrsFN("/plain/path.zve", &status)), "/plain/path.zve");
}

TEST_F(Names, TildeUserIsThatUsersHome) {
    const passwd *pw = getpwuid(0);
    ASSERT_NE(pw, nullptr);
    const std::string rootName = pw->pw_name, rootHome = pw->pw_dir;
    int status = -1;
    EXPECT_EQ(take(ZvekPrsFN(("~" + rootName + "/x.zve").c_str(), &status)), rootHome + "/x.zve");
    EXPECT_EQ(take(ZvekPrsFN(("~" + rootName).c_str(), &status)), rootHome);
    EXPECT_EQ(status, 0);

    CaptureStderr();
    EXPECT_EQ(ZvekPrsFN("~no_such_user_zvek/x", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekPrsFN: no home directory for `~no_such_user_zvek'.\n");
    EXPECT_EQ(status, 1);
}

TEST_F(Names, TildeWithoutHomeUsesThePasswordEntry) {
    EnvVar home("HOME", nullptr);
    const passwd *pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    const std::string expected = std::string(pw->pw_dir) + "/q";
    int status = -1;
    EXPECT_EQ(take(ZvekPrsFN("~/q", &status)), expected);
}

TEST_F(Names, TildeExpansionLongerThan511CharactersIsRefused) {
    EnvVar home("HOME", ("/" + std::string(300, 'h')).c_str());
    const std::string rest = "/" + std::string(210, 'r');  // 301 + 211 = 512
    int status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekPrsFN(("~" + rest).c_str(), &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekPrsFN: expanded name longer than 511 characters.\n");
    EXPECT_EQ(status, 1);
    const std::string rest2 = "/" + std::string(209, 'r');  // 511
    EXPECT_EQ(take(ZvekPrsFN(("~" + rest2).c_str(), &status)).size(), 511u);
    EXPECT_EQ(status, 0);
}

TEST_F(Names, PrsFNReportsExpansionFailure) {
    int status = 0;
    CaptureStderr();
    EXPECT_EQ(ZvekPrsFN("${HOME", &status), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekEnv: no closing '}' in env. var. name.\n"
              "\nZvekPrsFN: Error while expanding environment variables in name.\n");
    EXPECT_EQ(status, 1);
}

TEST_F(Names, GetFNReadsOneNameWithEscapes) {
    NullStdin in;
    // Two blanks, then my\ file.zve and a newline: the escaped blank stays.
    FILE *f = typed("  my\\ file.zve\nnext\n");
    CaptureStderr();
    EXPECT_EQ(take(ZvekGetFN("Name? ", f)), "my file.zve");
    EXPECT_EQ(take(ZvekGetFN("Name? ", f)), "next");
    // Standard input is not a terminal: no prompt.
    EXPECT_EQ(GetCapturedStderr(), "");
    std::fclose(f);

    // Control characters and bytes from 127 up are skipped before the name
    // and end it after; the ending character alone is consumed.
    f = typed("\t\x7f\x80 a\\\tb c\x01z\n");
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), "a\tb");
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), "c");
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), "z");
    std::fclose(f);

    // The name is expanded like any other.
    EnvVar home("HOME", "/home/guest");
    f = typed("~/x.zve\n");
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), "/home/guest/x.zve");
    std::fclose(f);
}

TEST_F(Names, GetFNEndOfInputIsAnError) {
    FILE *f = typed("   ");
    CaptureStderr();
    EXPECT_EQ(ZvekGetFN(nullptr, f), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekGetFN: I/O error or EOF when reading filename.\n" + codeLine(448));
    EXPECT_EQ(Zvekerr, ZVEK_EIO);
    std::fclose(f);

    // A backslash as the last character.
    zvektest::resetErrorState();
    f = typed("abc\\");
    CaptureStderr();
    EXPECT_EQ(ZvekGetFN(nullptr, f), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekGetFN: I/O error or EOF when reading filename.\n" + codeLine(448));
    std::fclose(f);
}

TEST_F(Names, GetFNRefusesNamesOf255Characters) {
    FILE *f = typed(std::string(254, 'n') + "\n" + std::string(255, 'o') + "tail\nafter\n");
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), std::string(254, 'n'));
    CaptureStderr();
    EXPECT_EQ(ZvekGetFN(nullptr, f), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekGetFN: Buffer Overflow (Filename too long).\n");
    // The rest of the over-long line is dropped; the next line is a name.
    EXPECT_EQ(take(ZvekGetFN(nullptr, f)), "after");
    std::fclose(f);
}

TEST_F(Names, OpenMapsNullAndDashToStandardStreams) {
    EXPECT_EQ(ZvekOpen(nullptr, "rb", "Name? ", 5), stdin);
    EXPECT_EQ(ZvekOpen(nullptr, "wb", "Name? ", 5), stdout);
    EXPECT_EQ(ZvekOpen(nullptr, "a", nullptr, 0), nullptr);
    EXPECT_EQ(ZvekOpen("-", "rb", nullptr, 0), stdin);
    EXPECT_EQ(ZvekOpen("-", "wb", nullptr, 0), stdout);
    EnvVar dash("ZVEKDASH", "-");
    EXPECT_EQ(ZvekOpen("$ZVEKDASH", "wb", nullptr, 0), stdout);

    EXPECT_EQ(ZvekClose(stdin), 0);
    EXPECT_EQ(ZvekClose(stdout), 0);
    EXPECT_EQ(ZvekClose(stderr), 0);
    EXPECT_EQ(ZvekClose(nullptr), -1);
    // The standard streams are still open.
    EXPECT_NE(fcntl(fileno(stdout), F_GETFD), -1);
    EXPECT_NE(fcntl(fileno(stdin), F_GETFD), -1);
    CaptureStdout();
    std::printf("still open\n");
    std::fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "still open\n");
}

TEST_F(Names, OpenExpandsTheNameAndOpensTheFile) {
    EnvVar home("HOME", dir_.c_str());
    FILE *w = ZvekOpen("${HOME}/a.zve", "wb", nullptr, 5);
    ASSERT_NE(w, nullptr);
    std::fputs("written", w);
    EXPECT_EQ(ZvekClose(w), 0);

    FILE *r = ZvekOpen("$HOME/a.zve", "rb", nullptr, 5);
    ASSERT_NE(r, nullptr);
    char buf[16] = {0};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, r), 7u);
    EXPECT_STREQ(buf, "written");
    EXPECT_EQ(ZvekClose(r), 0);

    r = ZvekOpen("~/a.zve", "rb", nullptr, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ZvekClose(r), 0);
    EXPECT_EQ(Zvekerr, 0);
}

TEST_F(Names, OpenFailureIsReportedOnceWithoutRetry) {
    NullStdin in;
    const std::string path = dir_ + "/missing/x.zve";
    CaptureStderr();
    EXPECT_EQ(ZvekOpen(path.c_str(), "rb", "Name? ", 5), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekOpen: Unable to open file `" + path + "'.\n" + codeLine(64) + errnoLine(ENOENT));
    EXPECT_EQ(Zvekerr, ZVEK_EOPEN);
}

TEST_F(Names, OpenBadExpansionReports256) {
    NullStdin in;
    EnvVar unset("ZVEKSURELYUNSET", nullptr);
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("${HOME", "rb", "Name? ", 5), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekEnv: no closing '}' in env. var. name.\n"
              "\nZvekPrsFN: Error while expanding environment variables in name.\n"
              "\nZvekOpen: Bad filename or error in filename expansion.\n" +
                  codeLine(256));
    EXPECT_EQ(Zvekerr, ZVEK_EFNAME);

    // An unset variable fails at once: the call is not interactive.
    zvektest::resetErrorState();
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("$ZVEKSURELYUNSET/a", "rb", "Name? ", 5), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekEnv: no environment variable `ZVEKSURELYUNSET'.\n"
              "\nZvekPrsFN: Error while expanding environment variables in name.\n"
              "\nZvekOpen: Bad filename or error in filename expansion.\n" +
                  codeLine(256));
}

TEST_F(Names, OpenEmptyNameWithoutTerminalReadsOneName) {
    // Standard input is not a terminal: no prompt, no retry; the name is
    // read from standard input.
    NullStdin in;
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("", "rb", "Name? ", 5), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekGetFN: I/O error or EOF when reading filename.\n" + codeLine(448) +
                  "\nZvekOpen: Bad filename or error in filename expansion.\n" + codeLine(256));
    EXPECT_EQ(Zvekerr, ZVEK_EFNAME);
}

TEST_F(Names, OverLongNameIsRefusedByOpen) {
    const std::string longName = dir_ + "/" + std::string(600, 'x');
    CaptureStderr();
    EXPECT_EQ(ZvekOpen(longName.c_str(), "wb", nullptr, 0), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekEnv: expanded name longer than 511 characters.\n"
              "\nZvekPrsFN: Error while expanding environment variables in name.\n"
              "\nZvekOpen: Bad filename or error in filename expansion.\n" +
                  codeLine(256));
}

TEST_F(Names, FailureInsideOpenExitsOnlyAtTheOuterReport) {
    // At level 64 the nested expansion reports do not end the process; the
    // open's own report does, with the code as status.
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            ZvekOpen("/nonexistent-dir-zvek/x", "rb", nullptr, 0);
            std::exit(99);
        },
        testing::ExitedWithCode(64), "ZvekOpen: Unable to open file `/nonexistent-dir-zvek/x'.");
    EXPECT_EXIT(
        {
            ZVEKSLV = ZVEK_FATAL;
            ZvekOpen("${HOME", "rb", nullptr, 0);
            std::exit(99);
        },
        testing::ExitedWithCode(256 & 0xff),
        "ZvekPrsFN: Error while expanding environment variables in name.\n\nZvekOpen: Bad filename");
}

// ---- Interactive use on a terminal ----

namespace {

// Makes standard input a pseudo-terminal for the life of a test; what the
// test sends arrives as typed lines.
class TerminalStdin {
public:
    TerminalStdin() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const int slave = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave < 0) return;
        termios t;
        tcgetattr(slave, &t);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(slave, TCSANOW, &t);
        saved_ = dup(0);
        dup2(slave, 0);
        close(slave);
        clearerr(stdin);
        ok_ = true;
    }
    ~TerminalStdin() {
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        }
        if (master_ >= 0) close(master_);
        clearerr(stdin);
    }
    bool ok() const { return ok_; }
    void type(const std::string &text) { ASSERT_EQ(write(master_, text.data(), text.size()), (ssize_t)text.size()); }

private:
    int master_ = -1, saved_ = -1;
    bool ok_ = false;
};

}  // namespace

TEST_F(Names, TerminalPromptRetriesAfterUnopenableNames) {
    TerminalStdin term;
    if (!term.ok()) GTEST_SKIP() << "no pseudo-terminal here";
    const std::string good = dir_ + "/good.zve";
    term.type("/nonexistent-zvek/a\n");
    term.type("${HOME\n");
    term.type(good + "\n");
    CaptureStderr();
    FILE *f = ZvekOpen("", "wb", "Name? ", 5);
    const std::string err = GetCapturedStderr();
    ASSERT_NE(f, nullptr) << err;
    EXPECT_EQ(ZvekClose(f), 0);
    EXPECT_EQ(err,
              "Name? Couldn't open file `/nonexistent-zvek/a' -- please enter another name --\n"
              "Name? \nZvekEnv: no closing '}' in env. var. name.\n"
              "\nZvekPrsFN: Error while expanding environment variables in name.\n"
              "Invalid filename(?) -- please enter another name --\n"
              "Name? ");
    EXPECT_EQ(access(good.c_str(), F_OK), 0);
}

TEST_F(Names, TerminalPromptGivesUpAfterTheRetries) {
    TerminalStdin term;
    if (!term.ok()) GTEST_SKIP() << "no pseudo-terminal here";
    term.type("/nonexistent-zvek/a\n/nonexistent-zvek/b\n");
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("", "rb", "Name? ", 1), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "Name? Couldn't open file `/nonexistent-zvek/a' -- please enter another name --\n"
              "Name? ZvekOpen:  Error count exceeded.  I give up.\n"
              "\nZvekOpen: Unable to open file `/nonexistent-zvek/b'.\n" +
                  codeLine(64) + errnoLine(ENOENT));
    EXPECT_EQ(Zvekerr, ZVEK_EOPEN);

    // Bad names until the retries are used up.
    zvektest::resetErrorState();
    term.type("${A\n${B\n");
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("", "rb", "N: ", 1), nullptr);
    const std::string expand =
        "\nZvekEnv: no closing '}' in env. var. name.\n"
        "\nZvekPrsFN: Error while expanding environment variables in name.\n";
    EXPECT_EQ(GetCapturedStderr(),
              "N: " + expand + "Invalid filename(?) -- please enter another name --\n" + "N: " + expand +
                  "ZvekOpen:  Error count exceeded.  I give up.\n"
                  "\nZvekOpen: Bad filename or error in filename expansion.\n" +
                  codeLine(256));
    EXPECT_EQ(Zvekerr, ZVEK_EFNAME);
}

TEST_F(Names, TerminalWithoutPromptIsNotInteractive) {
    TerminalStdin term;
    if (!term.ok()) GTEST_SKIP() << "no pseudo-terminal here";
    term.type("/nonexistent-zvek/a\n/nonexistent-zvek/b\n");
    CaptureStderr();
    EXPECT_EQ(ZvekOpen("", "rb", nullptr, 5), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "\nZvekOpen: Unable to open file `/nonexistent-zvek/a'.\n" + codeLine(64) + errnoLine(ENOENT));
}
