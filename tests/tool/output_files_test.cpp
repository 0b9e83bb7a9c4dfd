// How OUTPUT is replaced: only by a complete file, written where nobody else can place a
// link, keeping what the replaced name was; and nothing is left when a run is cut short.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "raw_pictures.h"
#include "tool_runner.h"

extern char** environ;

namespace {

using korvel_test::ReadBytes;
using korvel_test::RunKorvel;
using korvel_test::ScratchFolder;
using korvel_test::WriteBytes;
using Names = std::vector<std::string>;

const std::vector<uint8_t> kOld{'o', 'l', 'd'};

void WriteFrame(const ScratchFolder& folder) {
  WriteBytes(folder.Path("in.raw"), korvel_test::RandomFrames({48, 40, 3}, 1, 5));
}

TEST(OutputFiles, ReplacingKeepsModeAndLinksAndNeverFollowsAPlantedLink) {
  ScratchFolder folder;
  WriteFrame(folder);
  WriteBytes(folder.Path("private.raw"), kOld);
  chmod(folder.Path("private.raw").c_str(), 0600);
  WriteBytes(folder.Path("target.raw"), kOld);
  symlink("target.raw", folder.Path("link.raw").c_str());
  WriteBytes(folder.Path("precious"), kOld);
  for (const char* output : {"private.raw", "link.raw"})
    ASSERT_EQ(RunKorvel(folder, {"in.raw", output, "--size", "48x40"}).status, 0) << output;
  // Where the temporary file once had a name known in advance.
  const auto planted =
      korvel_test::RunProgram(folder, {"sh", "-c",
                                       std::string("ln -s precious .korvel-$$-new.raw && exec ") +
                                           KORVEL_TOOL_PATH + " in.raw new.raw --size 48x40"});
  EXPECT_EQ(planted.status, 0) << planted.standard_error;

  struct stat status;
  ASSERT_EQ(stat(folder.Path("private.raw").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  ASSERT_EQ(lstat(folder.Path("link.raw").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(ReadBytes(folder.Path("target.raw")), ReadBytes(folder.Path("new.raw")));
  EXPECT_EQ(ReadBytes(folder.Path("precious")), kOld);
}

// Pipes and devices are written in place, through links too; a regular file never is.
TEST(OutputFiles, PipesAndDevicesAreWrittenInPlace) {
  ScratchFolder folder;
  WriteFrame(folder);
  symlink("/dev/null", folder.Path("null.raw").c_str());
  ASSERT_EQ(mkfifo(folder.Path("fifo.raw").c_str(), 0600), 0);
  const auto result = korvel_test::RunProgram(
      folder, {"sh", "-c",
               std::string("cat fifo.raw > copy.raw & ") + KORVEL_TOOL_PATH +
                   " in.raw fifo.raw --size 48x40 && " + KORVEL_TOOL_PATH +
                   " in.raw null.raw --size 48x40 && wait"});
  ASSERT_EQ(result.status, 0) << result.standard_error;
  struct stat status;
  ASSERT_EQ(lstat(folder.Path("null.raw").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(stat("/dev/null", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));
  ASSERT_EQ(lstat(folder.Path("fifo.raw").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  EXPECT_EQ(ReadBytes(folder.Path("copy.raw")).size(), 48u * 40 * 3);
  EXPECT_EQ(folder.Names(), (Names{"copy.raw", "fifo.raw", "in.raw", "null.raw"}));
  // MP4 needs to seek back to its start: the muxer says so and nothing is left behind.
  ASSERT_EQ(mkfifo(folder.Path("fifo.mp4").c_str(), 0600), 0);
  const auto mp4 = korvel_test::RunProgram(
      folder, {"sh", "-c",
               std::string("cat fifo.mp4 > /dev/null & ") + KORVEL_TOOL_PATH +
                   " in.raw fifo.mp4 --size 48x40; status=$?; wait; exit $status"});
  EXPECT_EQ(mp4.status, 1);
  const std::string last_line = "korvel: cannot write fifo.mp4: Invalid argument\n";
  ASSERT_GE(mp4.standard_error.size(), last_line.size()) << mp4.standard_error;
  EXPECT_EQ(mp4.standard_error.substr(mp4.standard_error.size() - last_line.size()), last_line)
      << mp4.standard_error;
}

// As the shell's `>>` refuses it. Root may write anywhere, so root runs it as nobody.
TEST(OutputFiles, AnOutputItsUserMayNotWriteIsRefused) {
  ScratchFolder folder;
  WriteFrame(folder);
  chmod(folder.Path("").c_str(), 0777);
  chmod(folder.Path("in.raw").c_str(), 0644);
  const std::string as = getuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const auto result = korvel_test::RunProgram(
      folder, {"sh", "-c",
               as + "sh -c 'echo old > ro.raw && chmod 444 ro.raw && exec " + KORVEL_TOOL_PATH +
                   " in.raw ro.raw --size 48x40'"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.standard_error, "korvel: cannot write ro.raw: Permission denied\n");
  EXPECT_EQ(ReadBytes(folder.Path("ro.raw")), (std::vector<uint8_t>{'o', 'l', 'd', '\n'}));
  EXPECT_EQ(folder.Names(), (Names{"in.raw", "ro.raw"}));
}

// As cat says of `cat f >> f`; the file would otherwise grow without end.
TEST(OutputFiles, TheInputIsNeverTheOutput) {
  ScratchFolder folder;
  WriteFrame(folder);
  symlink("in.raw", folder.Path("link.raw").c_str());
  const std::vector<uint8_t> input = ReadBytes(folder.Path("in.raw"));
  for (const char* output : {"in.raw", "link.raw", "- >> in.raw"}) {
    const auto result = korvel_test::RunProgram(
        folder,
        {"sh", "-c", std::string(KORVEL_TOOL_PATH) + " in.raw " + output + " --size 48x40"});
    EXPECT_EQ(result.status, 1) << output;
    EXPECT_EQ(result.standard_error, "korvel: in.raw: input file is output file\n") << output;
  }
  EXPECT_EQ(ReadBytes(folder.Path("in.raw")), input);
}

TEST(OutputFiles, NumberedPictureNamesAreRefusedAndSinglePicturesWritten) {
  ScratchFolder folder;
  WriteBytes(folder.Path("in.raw"), korvel_test::RandomFrames({48, 40, 3}, 2, 5));
  const auto numbered = RunKorvel(folder, {"in.raw", "frame%02d.bmp", "--size", "48x40"});
  EXPECT_EQ(numbered.status, 1);
  EXPECT_EQ(numbered.standard_error,
            "korvel: cannot write frame%02d.bmp: numbered picture files are not written; write "
            "a video, or one picture under a plain name with --frames 1\n");
  const auto two = RunKorvel(folder, {"in.raw", "one.bmp", "--size", "48x40"});
  EXPECT_EQ(two.standard_error,
            "korvel: one.bmp can hold only one frame; choose one with --frames 1\n");
  EXPECT_EQ(folder.Names(), (Names{"in.raw"}));
  EXPECT_EQ(RunKorvel(folder, {"in.raw", "one.bmp", "--size", "48x40", "--frames", "1"}).status, 0);
  EXPECT_EQ(folder.Names(), (Names{"in.raw", "one.bmp"}));
}

// Runs korvel on frames from a pipe held open, so that it is still at work when `number`
// arrives, once its temporary output exists.
void InterruptRun(const ScratchFolder& folder, const std::string& output, int number) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_addclose(&actions, input[1]);
  const std::string path = folder.Path(output);
  std::vector<const char*> argv{KORVEL_TOOL_PATH, "-q", "-", path.c_str(), "--size", "48x40"};
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, KORVEL_TOOL_PATH, &actions, nullptr,
                        const_cast<char* const*>(argv.data()), environ),
            0);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  const std::vector<uint8_t> frame = ReadBytes(folder.Path("in.raw"));
  EXPECT_EQ(write(input[1], frame.data(), frame.size()), ssize_t(frame.size()));
  for (int wait = 0; wait < 100 && folder.Names().size() < 3; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(pid, number);
  int status = 0;
  waitpid(pid, &status, 0);
  close(input[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << output << " " << number;
}

TEST(OutputFiles, SignalsLeaveNoTemporaryFilesAndTheOldOutput) {
  const struct rlimit no_core { 0, 0 };  // SIGQUIT and SIGXCPU would dump one
  setrlimit(RLIMIT_CORE, &no_core);
  for (const char* output : {"out.raw", "out.mkv"}) {
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU}) {
      ScratchFolder folder;
      WriteFrame(folder);
      WriteBytes(folder.Path(output), kOld);
      InterruptRun(folder, output, number);
      EXPECT_EQ(folder.Names(), (Names{"in.raw", output})) << output << " " << number;
      EXPECT_EQ(ReadBytes(folder.Path(output)), kOld);
    }
  }
}

// A file size limit stands for a full disk: the write fails (the signal it would raise is
// ignored, as a shell's `trap '' XFSZ` leaves it), and so does a device that is full.
TEST(OutputFiles, AFailedWriteIsAnErrorAndReplacesNothing) {
  ScratchFolder folder;
  WriteBytes(folder.Path("in.raw"), korvel_test::RandomFrames({48, 40, 3}, 20, 6));
  WriteBytes(folder.Path("keep.mkv"), kOld);
  const auto limited =
      korvel_test::RunProgram(folder, {"sh", "-c",
                                       std::string("ulimit -f 8; trap '' XFSZ; exec ") +
                                           KORVEL_TOOL_PATH + " in.raw keep.mkv --size 48x40"});
  EXPECT_EQ(limited.status, 1);
  EXPECT_EQ(limited.standard_error, "korvel: cannot write keep.mkv: File too large\n");
  EXPECT_EQ(ReadBytes(folder.Path("keep.mkv")), kOld);
  symlink("/dev/full", folder.Path("full.mkv").c_str());
  const auto full = RunKorvel(folder, {"in.raw", "full.mkv", "--size", "48x40"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.standard_error, "korvel: cannot write full.mkv: No space left on device\n");
  EXPECT_EQ(folder.Names(), (Names{"full.mkv", "in.raw", "keep.mkv"}));
}

}  // namespace
