#include <gtest/gtest.h>

#include "app/log.h"
#include "fakes.h"

namespace veltrane::test {
namespace {

using LogTest = AppTest;

constexpr const char* kHeader =
    "Application log created on 04/12/26\r\n"
    "Starting time is recorded on 01:02:03\r\n";
constexpr const char* kClosing = "Activity stopped at 01:02:03\r\n\r\n\r\n";

TEST_F(LogTest, TheBoxOpensAndClosesAPeriodAndEntriesAreWrittenOnlyWhileItIsTicked) {
    app->log("not written");
    f().lg.set_value(1);
    f().lg.set_value(1);  // no change, no record
    app->log("written");
    f().lg.set_value(0);
    app->log("not written either");
    EXPECT_EQ(log_text(), std::string(kHeader) +
                              "     Logging did not start at initialization... info left out !\r\n"
                              "     written\r\n"
                              "     User disabled logging!\r\n" +
                              kClosing);
}

TEST_F(LogTest, AnUnwritableLogIsReportedOnceAndTheProgramGoesOn) {
    std::filesystem::create_directories(process.folder / "log.txt");  // a folder in its place
    write_log(*app, "one", Entry);
    write_log(*app, "two", Entry);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find((process.folder / "log.txt").string()), std::string::npos);
}

TEST_F(LogTest, AProgramFolderTheUserCannotWriteSendsTheLogToTheUsersDataFolder) {
    // As installed: the program folder is read-only to everyone (root, whose power over
    // the bits would override them, is set aside by as_ordinary_user), and the users'
    // data folder does not exist yet.
    namespace fs = std::filesystem;
    fs::permissions(process.folder, static_cast<fs::perms>(0555));
    struct Writable {
        fs::path folder;
        ~Writable() { fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add); }
    } writable_again{process.folder};
    fs::create_directories(dir / "data");
    fs::permissions(dir / "data", fs::perms::all);
    const int status = as_ordinary_user([this] {
        write_log(*app, "", LogStart);
        write_log(*app, "Passing control to function work", Entry);
        return log_path(*app) == process.data_folder / "log.txt" && boxes.shown.empty() ? 0 : 1;
    });
    ASSERT_EQ(status, 0);
    EXPECT_FALSE(fs::exists(process.folder / "log.txt"));
    EXPECT_EQ(read_text(process.data_folder / "log.txt"),
              std::string(kHeader) + "     Passing control to function work\r\n");
    // A folder the user can write keeps the log beside the program.
    fs::permissions(process.folder, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(log_path(*app), process.folder / "log.txt");
}

}  // namespace
}  // namespace veltrane::test
