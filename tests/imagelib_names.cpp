// File names: expansion of variables and a leading tilde, the name prompt, and the opening of streams, off a terminal
// and on one.
#include "imagelib_fixture.h"

#include <fcntl.h>
#include <pwd.h>
#include <termios.h>

#include <iterator>

using namespace zt;
using Names = LibTest;

namespace {
std::string take(char *p) {
    const std::string s = p ? p : "<null>";
    return std::free(p), s;
}

// Sets environment variables (null: unsets them) for the life of a test.
struct Env {
    std::vector<std::tuple<const char *, std::string, bool>> saved;
    Env(std::initializer_list<std::pair<const char *, const char *>> vars) {
        for (const auto &v : vars) {
            const char *old = std::getenv(v.first);
            saved.emplace_back(v.first, old ? old : "", old != nullptr);
            v.second ? setenv(v.first, v.second, 1) : unsetenv(v.first);
        }
    }
    ~Env() {
        for (const auto &[name, value, had] : saved) had ? setenv(name, value.c_str(), 1) : unsetenv(name);
    }
};

// Standard input from /dev/null, or from a pseudo-terminal on which the test types lines, for the life of a test.
struct Stdin {
    int master = -1, saved = -1;
    explicit Stdin(bool terminal) {
        int fd = terminal ? -1 : open("/dev/null", O_RDONLY);
        termios t;
        if (terminal && (master = posix_openpt(O_RDWR | O_NOCTTY)) >= 0 && !grantpt(master) && !unlockpt(master) &&
            (fd = open(ptsname(master), O_RDWR | O_NOCTTY)) >= 0 && !tcgetattr(fd, &t))
            t.c_lflag &= ~static_cast<tcflag_t>(ECHO), tcsetattr(fd, TCSANOW, &t);
        if (fd >= 0) saved = dup(0), dup2(fd, 0), close(fd), clearerr(stdin);
    }
    ~Stdin() {
        if (saved >= 0) dup2(saved, 0), close(saved), clearerr(stdin);
        if (master >= 0) close(master);
    }
    void type(const std::string &t) { ASSERT_EQ(write(master, t.data(), t.size()), static_cast<ssize_t>(t.size())); }
};

const std::string kTooLong = "expanded name longer than 511 characters.\n";
const std::string kNoBrace = "\nZvekEnv: no closing '}' in env. var. name.\n";
const std::string kEnvFailed = "\nZvekPrsFN: Error while expanding environment variables in name.\n";
const std::string kBadName = "\nZvekOpen: Bad filename or error in filename expansion.\n" + codeLine(256);
}  // namespace

// Results, reports and status of ZvekEnv (e) and ZvekPrsFN (p); expansion failures set no code of their own.
TEST_F(Names, Expansion) {
    Env env{{"HOME", "/home/guest"}, {"ZV.X", "dotted"}, {"ZVEKBIG", std::string(400, 'b').c_str()},
            {"ZVEKTILDE", "~/b"}, {"ZVEK_UNSET", nullptr}};
    const passwd *root = getpwuid(0);
    ASSERT_NE(root, nullptr);
    const std::string a511(511, 'a'), rootName = root->pw_name, rootHome = root->pw_dir, home = "/home/guest";
    const std::string tooLong = "\nZvekEnv: " + kTooLong, noVar = "\nZvekEnv: no environment variable `";
    const std::tuple<char, std::string, std::string, std::string> rows[] = {
        {'e', "$HOME/a.zve", home + "/a.zve", ""}, {'e', "${HOME}/a.zve", home + "/a.zve", ""},
        {'e', "$HOME.x", home + ".x", ""}, {'e', "x$HOME$HOME", "x/home/guest/home/guest", ""},
        {'e', "$HOME_x", home + "_x", ""},  // no underscore in a plain name
        {'e', "${ZV.X}!", "dotted!", ""}, {'e', "", "", ""}, {'e', a511, a511, ""},
        {'e', a511 + "a", "<null>", tooLong}, {'e', "$ZVEKBIG/$ZVEKBIG", "<null>", tooLong},
        {'e', "$ZVEKBIG/", std::string(400, 'b') + "/", ""}, {'e', "${HOME/a", "<null>", kNoBrace},
        {'e', "/x/${ZVEK_UNSET}/y", "<null>", noVar + "ZVEK_UNSET'.\n"}, {'e', "a$-b", "<null>", noVar + "'.\n"},
        {'p', "~", home, ""}, {'p', "~/a.zve", home + "/a.zve", ""}, {'p', "$ZVEKTILDE", home + "/b", ""},
        {'p', "a/~/b", "a/~/b", ""}, {'p', "~-x/b", "~-x/b", ""},
        {'p', "~" + rootName + "/x.zve", rootHome + "/x.zve", ""}, {'p', "~" + rootName, rootHome, ""},
        {'p', "~no_such_user_zvek/x", "<null>", "\nZvekPrsFN: no home directory for `~no_such_user_zvek'.\n"},
        {'p', "${HOME", "<null>", kNoBrace + kEnvFailed},
    };
    for (const auto &[fn, in, out, err] : rows) {
        int status = -5;
        std::string got;
        const char *name = in.c_str();
        auto call = fn == 'e' ? ZvekEnv : ZvekPrsFN;
        const Outcome o = run([&] { return got = take(call(name, &status)), status; });
        EXPECT_EQ(std::make_pair(got, o), std::make_pair(out, Outcome{out == "<null>", "", err, 0})) << fn << " " << in;
    }
    // A home of 301 characters: 511 in all fits, 512 does not; without $HOME the password entry gives it.
    Env longHome{{"HOME", ("/" + std::string(300, 'h')).c_str()}};
    int status = 0;
    EXPECT_EQ(take(ZvekPrsFN(("~/" + std::string(209, 'r')).c_str(), &status)).size(), 511u);
    EXPECT_EQ(run([&] { return ZvekPrsFN(("~/" + std::string(210, 'r')).c_str(), &status) != nullptr; }),
              (Outcome{0, "", "\nZvekPrsFN: " + kTooLong, 0}));
    EXPECT_EQ(status, 1);
    Env noHome{{"HOME", nullptr}};
    EXPECT_EQ(take(ZvekPrsFN("~/q", &status)), std::string(getpwuid(getuid())->pw_dir) + "/q");
    const char *s = "abc123-rest";
    EXPECT_EQ(std::vector<const char *>({strspan(s, "abc"), strspan(s, "xyz"), strspan(s, "abcrest123-")}),
              std::vector<const char *>({s + 3, s, s + 11}));
}

// Names read from a stream: blanks, control characters and bytes from 127 skipped before a name and ending it, '!'
// (33) to '~' (126) kept; a backslash escapes the next character; the name is expanded; 255 characters are too many,
// and the rest of that line is dropped. No prompt off a terminal.
TEST_F(Names, NamesReadFromAStream) {
    Stdin in(false);
    Env env{{"HOME", "/home/guest"}};
    const std::string eof = report("ZvekGetFN: I/O error or EOF when reading filename.", 448);
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"  my\\ file.zve\nnext\n", {"my file.zve", "next"}, ""}, {"~/x.zve\n", {"/home/guest/x.zve"}, ""},
        {"\t\x7f\x80 a\\\tb c\x01z\n", {"a\tb", "c", "z"}, ""}, {" !a~\x7f!~ z\n", {"!a~", "!~", "z"}, ""},
        {"   ", {"<null>"}, eof}, {"abc\\", {"<null>"}, eof},
        {std::string(254, 'n') + "\n" + std::string(255, 'o') + "tail\nafter\n",
         {std::string(254, 'n'), "<null>", "after"}, "\nZvekGetFN: Buffer Overflow (Filename too long).\n"},
    };
    for (const auto &[typed, names, err] : rows) {
        MemStream f(Bytes(typed.begin(), typed.end()));
        std::vector<std::string> got;
        const size_t count = names.size();
        auto read = [&] { return take(ZvekGetFN("Name? ", f.f)); };
        const Outcome o = run([&] { return std::generate_n(std::back_inserter(got), count, read), 0; });
        EXPECT_EQ(std::make_pair(got, o.err), std::make_pair(names, err)) << typed;
    }
}

TEST_F(Names, Open) {
    Stdin in(false);
    TempDir dir;
    Env env{{"HOME", dir.dir.c_str()}, {"ZVEKDASH", "-"}, {"ZVEK_UNSET", nullptr}};
    EXPECT_EQ(std::vector<FILE *>({ZvekOpen(nullptr, "rb", "Name? ", 5), ZvekOpen(nullptr, "wb", "Name? ", 5),
                                   ZvekOpen(nullptr, "a", nullptr, 0), ZvekOpen("-", "rb", nullptr, 0),
                                   ZvekOpen("$ZVEKDASH", "wb", nullptr, 0)}),
              std::vector<FILE *>({stdin, stdout, nullptr, stdin, stdout}));
    EXPECT_EQ(std::vector<int>({ZvekClose(stdin), ZvekClose(stdout), ZvekClose(stderr), ZvekClose(nullptr)}),
              std::vector<int>({0, 0, 0, -1}));
    EXPECT_EQ(capture([] { std::printf("still open\n"); }).out, "still open\n");
    const std::string path = dir.path("a.zve");
    FILE *w = ZvekOpen("${HOME}/a.zve", "wb", nullptr, 5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::fputs("written", w) >= 0 && ZvekClose(w) == 0, true);
    FILE *r = ZvekOpen("~/a.zve", "rb", nullptr, 0);
    ASSERT_NE(r, nullptr);
    const Bytes got = readStream(r);
    EXPECT_EQ(std::make_tuple(got, ZvekClose(r), Zvekerr), std::make_tuple(bytesAt("written", 7), 0, 0));
    // Refusals: no retry off a terminal, whatever the prompt.
    const std::string missing = dir.dir + "/missing/x.zve";
    const std::pair<std::string, Outcome> rows[] = {
        {missing, {0, "", cannotOpen(missing), 64}},
        {"${HOME", {0, "", kNoBrace + kEnvFailed + kBadName, 256}},
        {"${ZVEK_UNSET}/a", {0, "", "\nZvekEnv: no environment variable `ZVEK_UNSET'.\n" + kEnvFailed + kBadName, 256}},
        {dir.dir + "/" + std::string(600, 'x'), {0, "", "\nZvekEnv: " + kTooLong + kEnvFailed + kBadName, 256}},
        {"", {0, "", report("ZvekGetFN: I/O error or EOF when reading filename.", 448) + kBadName, 256}},
    };
    for (const auto &[name, want] : rows) {
        EXPECT_EQ(run([&, n = name.c_str()] { return ZvekOpen(n, "rb", "Name? ", 5) != nullptr; }), want) << name;
    }
}

// On a terminal an empty name prompts, and a name that cannot be opened or expanded is asked for again, up to the
// retries.
TEST_F(Names, TerminalPrompt) {
    TempDir dir;
    const std::string good = dir.path("good.zve"), again = " -- please enter another name --\n";
    const std::string giveUp = "ZvekOpen:  Error count exceeded.  I give up.\n";
    const std::string noA = "Couldn't open file `/nonexistent-zvek/a'" + again, invalid = "Invalid filename(?)" + again;
    const std::string expand = kNoBrace + kEnvFailed;
    const std::tuple<std::string, const char *, int, Outcome> rows[] = {
        {"/nonexistent-zvek/a\n${HOME\n" + good + "\n", "Name? ", 5,
         {1, "", "Name? " + noA + "Name? " + expand + invalid + "Name? ", 0}},
        {"/nonexistent-zvek/a\n/nonexistent-zvek/b\n", "Name? ", 1,
         {0, "", "Name? " + noA + "Name? " + giveUp + cannotOpen("/nonexistent-zvek/b"), 64}},
        {"${A\n${B\n", "N: ", 1, {0, "", "N: " + expand + invalid + "N: " + expand + giveUp + kBadName, 256}},
        {"/nonexistent-zvek/a\n", nullptr, 5, {0, "", cannotOpen("/nonexistent-zvek/a"), 64}},
    };
    for (const auto &[typed, prompt, tries, want] : rows) {
        Stdin term(true);
        if (term.saved < 0) GTEST_SKIP() << "no pseudo-terminal here";
        term.type(typed + "\x04");  // end of input after the lines: a reader that wants more fails, not waits
        FILE *f = nullptr;
        EXPECT_EQ(run([&, p = prompt, n = tries] { return (f = ZvekOpen("", "wb", p, n)) != nullptr; }), want) << typed;
        if (f) ZvekClose(f);
    }
    EXPECT_EQ(access(good.c_str(), F_OK), 0);
}
