// Recordings, GAP files and the log on disks that misbehave: folders, FIFOs and devices
// where files should be, a GAP file that would be the recording itself, protected and
// linked GAP files, long names, a full disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <set>

#include "app/log.h"
#include "audio/gap_file.h"
#include "base/atomic_file.h"
#include "base/error.h"
#include "base/text.h"
#include "fakes.h"
#include "platform/qt/qt_platform.h"

namespace veltrane::test {
namespace {

namespace fs = std::filesystem;

// The cause of the Error that writing `records` as the GAP file `gap` throws; empty when
// it throws none.
std::string write_failure(const fs::path& gap, const std::vector<GapRecord>& records = {{1, 2}}) {
    try {
        write_gap_file(gap, records);
    } catch (const Error& e) {
        return e.cause();
    }
    return "";
}

// When the tests run as root, hands `p` (a link itself, not what it leads to) to the
// ordinary user that as_ordinary_user() acts as.
void give_to_ordinary_user(const fs::path& p) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0);
    }
}

class DiskTest : public RunTest {
  protected:
    DiskTest() { ::alarm(60); }  // a read that waits on a FIFO would never end
    ~DiskTest() override { ::alarm(0); }

    bool temporaries_left() {
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().starts_with(".veltrane-")) return true;
        return false;
    }
};

TEST_F(DiskTest, FoldersFifosAndDevicesAreNamedForWhatTheyAreWithoutWaiting) {
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    fs::create_directories(dir / "folder.wav");
    ASSERT_EQ(::mknod((dir / "socket.wav").c_str(), S_IFSOCK | 0600, 0), 0);
    fs::create_symlink("/dev/zero", dir / "zero.wav");
    const std::pair<const char*, const char*> cases[] = {{"pipe.wav", "is a FIFO"},
                                                         {"socket.wav", "is a socket"},
                                                         {"folder.wav", "is a directory"},
                                                         {"zero.wav", "is a device"}};
    for (const auto& [name, cause] : cases) {
        boxes.shown.clear();
        dialog.choices = {ChosenFile{(dir / name).string(), name}};
        dispatch(*app, f().Command1.on_click);
        generate(dir / name);
        ASSERT_EQ(boxes.shown.size(), 2u) << name;
        for (const std::string& shown : boxes.shown)
            EXPECT_TRUE(has(shown, (dir / name).string()) && has(shown, cause)) << shown;
        EXPECT_TRUE(f().Command1.enabled);
    }
}

TEST_F(DiskTest, TheRecordingIsNeverWrittenOverByItsGapFile) {
    // "x.gap" is its own GAP file's name; "take.gap" leads to "take.wav" through a link.
    const auto x = put("x.gap", worked_example());
    const auto take = put("take.wav", worked_example());
    fs::create_symlink("take.wav", dir / "take.gap");
    for (const fs::path& wav : {x, take}) {
        boxes.shown.clear();
        generate(wav);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(has(boxes.shown[0], "recording being scanned")) << boxes.shown[0];
        EXPECT_EQ(read_bytes(wav), worked_example());
    }
    EXPECT_TRUE(fs::is_symlink(dir / "take.gap"));
    EXPECT_FALSE(temporaries_left());
}

// A name of 255 bytes with ".wav" or ".gap"; a chain of folders to a path of 4,079 bytes,
// and one of 4,089 below it: "a.wav" in them has a path of 4,085 and of 4,095 bytes, the
// most the system takes.
TEST_F(DiskTest, NamesAndPathsAsLongAsTheSystemAllowsGetTheirGapFile) {
    fs::path deep = dir;
    while (4079 - deep.string().size() - 1 > 200) deep /= std::string(200, 'd');
    ASSERT_LT(deep.string().size() + 1, 4079u);
    deep /= std::string(4079 - deep.string().size() - 1, 'e');
    const fs::path deeper = deep / "123456789";
    fs::create_directories(deeper);
    ASSERT_EQ(deeper.string().size(), 4089u);
    for (const fs::path& wav :
         {dir / (std::string(251, 'n') + ".wav"), deep / "a.wav", deeper / "a.wav"}) {
        write_bytes(wav, worked_example());
        generate(wav);
        EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front();
        const fs::path gap = fs::path(wav).replace_extension(".gap");
        EXPECT_EQ(read_bytes(gap), kWorkedRecord) << wav.string().size();
        // Written again, over the first one.
        EXPECT_EQ(write_failure(gap), "");
    }
}

TEST_F(DiskTest, AKilledWriterLeavesNothingAndOldLeftoversOfOthersAreCleared) {
    // Leftovers of killed writers of old (Held12: a live writer holds it; New123 may be a
    // writer's that is just starting), and files that only look like them (Old1234: one
    // letter too many).
    const auto plant = [&](const std::string& name, int age_seconds) {
        write_bytes(dir / name, {1});
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const timespec times[2] = {{now.tv_sec - age_seconds, 0}, {now.tv_sec - age_seconds, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, (dir / name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    plant(".veltrane-New123", 5);
    for (const char* name : {".veltrane-Old123", ".veltrane-Held12", ".veltrane-Old1234",
                             ".veltrane-Ol.123", "veltrane-Old123", ".Veltrane-Old123"})
        plant(name, 120);
    fs::create_directory(dir / ".veltrane-Dir123");
    fs::create_symlink("take.wav", dir / ".veltrane-Lnk123");
    const int held = ::open((dir / ".veltrane-Held12").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    write_gap_file(dir / "one.gap", std::vector<GapRecord>{{1, 2}});
    ::close(held);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != process.folder.filename())
            left.insert(e.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{".veltrane-New123", ".veltrane-Held12", ".veltrane-Old1234",
                                     ".veltrane-Ol.123", "veltrane-Old123", ".Veltrane-Old123",
                                     ".veltrane-Dir123", ".veltrane-Lnk123", "one.gap"}));

    // A writer killed part way, in a folder of its own.
    const fs::path alone = dir / "alone";
    fs::create_directory(alone);
    const pid_t pid = ::fork();
    if (pid == 0) {
        AtomicFile file(alone / "take.gap");
        file.write(kWorkedRecord);
        file.write(std::vector<std::uint8_t>(100000, 1));  // past the buffer: on disk
        ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(fs::is_empty(alone));
}

// The user's folder and files, and a folder of theirs that they may not write to: there,
// a GAP file that cannot be replaced is refused, naming the folder.
TEST_F(DiskTest, GapFilesKeepTheirProtectionPermissionsAndLinks) {
    give_to_ordinary_user(dir);
    const std::vector<GapRecord> records = {{105, 205}};
    const std::vector<std::uint8_t> old = {1, 2, 3};
    const auto owned_file = [&](const char* name, mode_t mode) {
        write_bytes(dir / name, old);
        give_to_ordinary_user(dir / name);
        fs::permissions(dir / name, static_cast<fs::perms>(mode));
    };
    owned_file("protected.gap", 0444);
    owned_file("private.gap", 0600);
    owned_file("target.gap", 0640);
    fs::create_symlink("target.gap", dir / "link.gap");
    give_to_ordinary_user(dir / "link.gap");
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    owned_file("locked/take.gap", 0644);
    give_to_ordinary_user(locked);
    fs::permissions(locked, static_cast<fs::perms>(0555));

    const int outcome = as_ordinary_user([&] {
        const std::string refused = write_failure(dir / "protected.gap", records);
        const std::string in_locked = write_failure(locked / "take.gap", records);
        const std::string replaced =
            write_failure(dir / "private.gap", records) + write_failure(dir / "link.gap", records);
        const std::string folder_refused =
            "its folder \"" + locked.string() + "\" may not be written to (Permission denied)";
        return (refused == "Permission denied" ? 0 : 1) | (replaced.empty() ? 0 : 2) |
               (in_locked == folder_refused ? 0 : 4);
    });
    fs::permissions(locked, static_cast<fs::perms>(0755));
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(read_bytes(dir / "protected.gap"), old);
    EXPECT_EQ(read_bytes(locked / "take.gap"), old);
    EXPECT_EQ(read_bytes(dir / "private.gap"), kWorkedRecord);
    EXPECT_EQ(fs::status(dir / "private.gap").permissions(), static_cast<fs::perms>(0600));
    // The link stays a link; the file it leads to was replaced, keeping its mode.
    EXPECT_TRUE(fs::is_symlink(dir / "link.gap"));
    EXPECT_EQ(read_bytes(dir / "target.gap"), kWorkedRecord);
    EXPECT_EQ(fs::status(dir / "target.gap").permissions(), static_cast<fs::perms>(0640));
    EXPECT_FALSE(temporaries_left());
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1) << "no temporary";
}

TEST_F(DiskTest, AGapFileThatHoldsTheSameRecordsAlreadyIsLeftAsItIs) {
    const fs::path gap = dir / "take.gap";
    const std::vector<GapRecord> records = {{105, 205}, {300, 400}};
    const auto stamp = [&] { return file_stamp(gap).value(); };
    write_gap_file(gap, records);
    const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, gap.c_str(), long_ago, 0), 0);
    const FileStamp before = stamp();
    write_gap_file(gap, records);
    EXPECT_EQ(stamp(), before);
    // One record more, or one that differs: a new file.
    for (const auto& other : {std::vector<GapRecord>{{105, 205}, {300, 401}},
                              std::vector<GapRecord>{{105, 205}, {300, 400}, {500, 600}}}) {
        write_gap_file(gap, other);
        EXPECT_NE(stamp().modified_ns, before.modified_ns);
        EXPECT_EQ(read_gap_file(gap), other);
    }
    EXPECT_FALSE(temporaries_left());
}

TEST_F(DiskTest, ALinkPlantedInASharedFolderByAnotherUserIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a link that belongs to another user";
    const fs::path shared = dir / "shared", victim = dir / "victim";
    fs::create_directories(shared);
    fs::permissions(shared, static_cast<fs::perms>(01777));
    write_bytes(victim, {7, 7, 7});
    fs::create_symlink(victim, shared / "take.gap");
    ASSERT_EQ(::lchown((shared / "take.gap").c_str(), 65534, 65534), 0);

    const std::string cause = write_failure(shared / "take.gap");
    EXPECT_TRUE(has(cause, "not followed")) << cause;
    EXPECT_EQ(read_bytes(victim), (std::vector<std::uint8_t>{7, 7, 7}));
    EXPECT_TRUE(fs::is_symlink(shared / "take.gap"));
}

TEST_F(DiskTest, CountersStopAtTheTopOfTheirRangeAndTinyNumbersReadAsZero) {
    const std::string top = "9223372036854775807";
    settings.values["001/002"] = top;
    settings.values["001/004"] = top;
    generate(put("take1.wav", worked_example()));
    EXPECT_EQ(std::pair(stat("002"), stat("004")), std::pair(top, top));

    EXPECT_EQ(val("0." + std::string(400, '0') + "1"), 0);
    EXPECT_EQ(val("1e400"), HUGE_VAL);
    EXPECT_EQ(val("-2e999x"), -HUGE_VAL);
    EXPECT_EQ(val("12e-1 Kb"), 1.2);
}

TEST_F(DiskTest, ALogRecordThatDoesNotFitLeavesTheLogAsItWas) {
    f().lg.set_value(1);
    const std::string before = log_text();
    ASSERT_FALSE(before.empty());
    // A disk with room for only a few more bytes.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    app->log("An entry a good deal longer than the ten bytes left on this disk");
    app->log("and a second one, which is not reported again");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(log_text(), before);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(has(boxes.shown[0], (process.folder / "log.txt").string())) << boxes.shown[0];
}

TEST(LogSeparators, ThePlainSeparatorsOfALocaleOrTheEnglishOnes) {
    EXPECT_EQ(plain_separator("d MMM yyyy", "/.-", '/'), '/');  // no separator: a space
    EXPECT_EQ(plain_separator("dd.MM.yy", "/.-", '/'), '.');
    EXPECT_EQ(plain_separator(QString::fromUtf8("\u200Fd/M/yyyy"), "/.-", '/'), '/');
    EXPECT_EQ(plain_separator(QString::fromUtf8("HH\u2236mm"), ":.", ':'), ':');
}

}  // namespace
}  // namespace veltrane::test
