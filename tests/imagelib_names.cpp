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
            saved.emplace_back(v.first, std::getenv(v.first) ? std::getenv(v.first) : "", std::getenv(v.first) != nullptr);
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

const std::string kTooLong = "expanded name longer than 511 characters.\n", kNoBrace = "\nZvekEnv: no closing '}' in env. var. name.\n";
const std::string kEnvFailed = "\nZvekPrsFN: Error while expanding environment variables in name.\n";
const std::string kBadName = "\nZvekOpen: Bad filename or error in filename expansion.\n" + codeLine(256);
}  // namespace

// Results, reports and status of ZvekEnv (e) and ZvekPrsFN (p); expansion failures set no code of their own.
TEST_F(Names, Expansion) {
    Env env{{"HOME", "/home/guest"}, {"ZV.X", "dotted"}, {"ZVEKBIG", std::string(400, 'b').c_str()}, {"ZVEKTILDE", "~/b"}, {"ZVEK_UNSET", nullptr}};
    const passwd *root = getpwuid(0);
    ASSERT_NE(root, nullptr);
    const std::string a511(511, 'a'), rootName = root->pw_name, rootHome = root->pw_dir;
    const std::tuple<char, std::string, std::string, std::string> rows[] = {
        {'e', "$HOME/a.zve", "/home/guest/a.zve", ""}, {'e', "${HOME}/a.zve", "/home/guest/a.zve", ""}, {'e', "$HOME.x", "/home/guest.x", ""},
        {'e', "x$HOME$HOME", "x/home/guest/home/guest", ""},
        {'e', "$HOME_x", "/home/guest_x", ""},  // no underscore in a plain name
        {'e', "${ZV.X}!", "dotted!", ""}, {'e', "", "", ""}, {'e', a511, a511, ""}, {'e', a511 + "a", "<null>", "\nZvekEnv: " + kTooLong},
        {'e', "$ZVEKBIG/$ZVEKBIG", "<null>", "\nZvekEnv: " + kTooLong}, {'e', "$ZVEKBIG/", std::string(400, 'b') + "/", ""},
        {'e', "${HOME/a", "<null>", kNoBrace}, {'e', "/x/${ZVEK_UNSET}/y", "<null>", "\nZvekEnv: no environment variable `ZVEK_UNSET'.\n"},
        {'e', "a$-b", "<null>", "\nZvekEnv: no environment variable `'.\n"}, {'p', "~", "/home/guest", ""}, {'p', "~/a.zve", "/home/guest/a.zve", ""},
        {'p', "$ZVEKTILDE", "/home/guest/b", ""}, {'p', "a/~/b", "a/~/b", ""}, {'p', "~-x/b", "~-x/b", ""},
        {'p', "~" + rootName + "/x.zve", rootHome + "/x.zve", ""}, {'p', "~" + rootName, rootHome, ""},
        {'p', "~no_such_user_zvek/x", "<null>", "\nZvekPrsFN: no home directory for `~no_such_user_zvek'.\n"},
        {'p', "${HOME", "<null>", kNoBrace + kEnvFailed},
    };
    for (const auto &[fn, in, out, err] : rows) {
        int status = -5;
        std::string got;
        const char *name = in.c_str();
        const Outcome o = run([&, e = fn == 'e'] { return got = take(e ? ZvekEnv(name, &status) : ZvekPrsFN(name, &status)), status; });
        EXPECT_EQ(std::make_pair(got, o), std::make_pair(out, Outcome{out == "<null>", "", err, 0})) << fn << " " << in;
    }
    // A home of 301 characters: 511 in all fits, 512 does not; without $HOME the password entry gives it.
    Env longHome{{"HOME", ("/" + std::string(300, 'h')).c_str()}};
    int status = 0;
    EXPECT_EQ(take(ZvekPrsFN(("~/" + std::string(209, 'r')).c_str(), &status)).size(), 511u);
    EXPECT_EQ(run([&] { return ZvekPrsFN(("~/" + std::string(210, 'r')).c_str(), &status) != nullptr; }), (Outcome{0, "", "\nZvekPrsFN: " + kTooLong, 0}));
    EXPECT_EQ(status, 1);
    Env noHome{{"HOME", nullptr}};
    EXPECT_EQ(take(ZvekPrsFN("~/q", &status)), std::string(getpwuid(getuid())->pw_dir) + "/q");
    const char *s = "abc123-rest";
    EXPECT_EQ(std::vector<const char *>({strspan(s, "abc"), strspan(s, "xyz"), strspan(s, "abcrest123-")}), std::vector<const char *>({s + 3, s, s + 11}));
}

// Names read from a stream: blanks, control characters and bytes from 127 skipped before a name and ending it; a
// backslash escapes the next character; the name is expanded; 255 characters are too many, and the rest of that line is
// dropped. No prompt off a terminal.
TEST_F(Names, NamesReadFromAStream) {
    Stdin in(false);
    Env env{{"HOME", "/home/guest"}};
    const std::string eof = report("ZvekGetFN: I/O error or EOF when reading filename.", 448);
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"  my\\ file.zve\nnext\n", {"my file.zve", "next"}, ""}, {"\t\x7f\x80 a\\\tb c\x01z\n", {"a\tb", "c", "z"}, ""},
        {"~/x.zve\n", {"/home/guest/x.zve"}, ""}, {"   ", {"<null>"}, eof}, {"abc\\", {"<null>"}, eof},
        {std::string(254, 'n') + "\n" + std::string(255, 'o') + "tail\nafter\n", {std::string(254, 'n'), "<null>", "after"},
         "\nZvekGetFN: Buffer Overflow (Filename too long).\n"},
    };
    for (const auto &[typed, names, err] : rows) {
        MemStream f(Bytes(typed.begin(), typed.end()));
        std::vector<std::string> got;
        const size_t count = names.size();
        const Outcome o = run([&] { return std::generate_n(std::back_inserter(got), count, [&] { return take(ZvekGetFN("Name? ", f.f)); }), 0; });
        EXPECT_EQ(std::make_pair(got, o.err), std::make_pair(names, err)) << typed;
    }
}

TEST_F(Names, Open) {
    Stdin in(false);
    TempDir dir;
    Env env{{"HOME", dir.dir.c_str()}, {"ZVEKDASH", "-"}, {"ZVEK_UNSET", nullptr}};
    EXPECT_EQ(std::vector<FILE *>({ZvekOpen(nullptr, "rb", "Name? ", 5), ZvekOpen(nullptr, "wb", "Name? ", 5), ZvekOpen(nullptr, "a", nullptr, 0),
                                   ZvekOpen("-", "rb", nullptr, 0), ZvekOpen("$ZVEKDASH", "wb", nullptr, 0)}),
              std::vector<FILE *>({stdin, stdout, nullptr, stdin, stdout}));
    EXPECT_EQ(std::vector<int>({ZvekClose(stdin), ZvekClose(stdout), ZvekClose(stderr), ZvekClose(nullptr)}), std::vector<int>({0, 0, 0, -1}));
    EXPECT_EQ(capture([] { std::printf("still open\n"); }).out, "still open\n");
    const std::string path = dir.path("a.zve");
    FILE *w = ZvekOpen("${HOME}/a.zve", "wb", nullptr, 5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(std::fputs("written", w) >= 0 && ZvekClose(w) == 0, true);
    FILE *r = ZvekOpen("~/a.zve", "rb", nullptr, 0);
    ASSERT_NE(r, nullptr);
    const Bytes got = readStream(r);
    EXPECT_EQ(std::make_tuple(got, ZvekClose(r), Zvekerr), std::make_tuple(Bytes({'w', 'r', 'i', 't', 't', 'e', 'n'}), 0, 0));
    // Refusals: no retry off a terminal, whatever the prompt.
    const std::string missing = dir.dir + "/missing/x.zve";
    const std::pair<std::string, Outcome> rows[] = {
        {missing, {0, "", report("ZvekOpen: Unable to open file `" + missing + "'.", 64) + errnoLine(ENOENT), 64}},
        {"${HOME", {0, "", kNoBrace + kEnvFailed + kBadName, 256}},
        {"${ZVEK_UNSET}/a", {0, "", "\nZvekEnv: no environment variable `ZVEK_UNSET'.\n" + kEnvFailed + kBadName, 256}},
        {dir.dir + "/" + std::string(600, 'x'), {0, "", "\nZvekEnv: " + kTooLong + kEnvFailed + kBadName, 256}},
        {"", {0, "", report("ZvekGetFN: I/O error or EOF when reading filename.", 448) + kBadName, 256}},
    };
    for (const auto &row : rows) EXPECT_EQ(run([&] { return ZvekOpen(row.first.c_str(), "rb", "Name? ", 5) != nullptr; }), row.second) << row.first;
}

// On a terminal an empty name prompts, and a name that cannot be opened or expanded is asked for again, up to the
// retries.
TEST_F(Names, TerminalPrompt) {
    TempDir dir;
    const std::string good = dir.path("good.zve"), again = " -- please enter another name --\n";
    const std::string giveUp = "ZvekOpen:  Error count exceeded.  I give up.\n", noA = "Couldn't open file `/nonexistent-zvek/a'" + again;
    const std::string expand = kNoBrace + kEnvFailed;
    const std::tuple<std::string, const char *, int, Outcome> rows[] = {
        {"/nonexistent-zvek/a\n${HOME\n" + good + "\n", "Name? ", 5, {1, "", "Name? " + noA + "Name? " + expand + "Invalid filename(?)" + again + "Name? ", 0}},
        {"/nonexistent-zvek/a\n/nonexistent-zvek/b\n", "Name? ", 1,
         {0, "", "Name? " + noA + "Name? " + giveUp + report("ZvekOpen: Unable to open file `/nonexistent-zvek/b'.", 64) + errnoLine(ENOENT), 64}},
        {"${A\n${B\n", "N: ", 1, {0, "", "N: " + expand + "Invalid filename(?)" + again + "N: " + expand + giveUp + kBadName, 256}},
        {"/nonexistent-zvek/a\n", nullptr, 5, {0, "", report("ZvekOpen: Unable to open file `/nonexistent-zvek/a'.", 64) + errnoLine(ENOENT), 64}},
    };
    for (const auto &row : rows) {
        Stdin term(true);
        if (term.saved < 0) GTEST_SKIP() << "no pseudo-terminal here";
        term.type(std::get<0>(row));
        FILE *f = nullptr;
        EXPECT_EQ(run([&] { return (f = ZvekOpen("", "wb", std::get<1>(row), std::get<2>(row))) != nullptr; }), std::get<3>(row)) << std::get<0>(row);
        if (f) ZvekClose(f);
    }
    EXPECT_EQ(access(good.c_str(), F_OK), 0);
}
