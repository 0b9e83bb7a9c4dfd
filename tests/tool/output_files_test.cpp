// How OUTPUT is replaced: only by a complete file, written where nobody else can place a
// link, keeping what the replaced name was; and nothing is left when a run is cut short.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
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
  for (const char* output : {"out.raw", "out.mkv"}) {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
      ScratchFolder folder;
      WriteFrame(folder);
      WriteBytes(folder.Path(output), kOld);
      InterruptRun(folder, output, number);
      EXPECT_EQ(folder.Names(), (Names{"in.raw", output})) << output << " " << number;
      EXPECT_EQ(ReadBytes(folder.Path(output)), kOld);
    }
  }
}

// An ffmpeg that, as on a full disk, loses the end of the file it writes and still exits
// with 0; with SAY_SO set it also says so, as ffmpeg does.
void InstallLossyFfmpeg(const ScratchFolder& folder) {
  std::string ffmpeg =
      korvel_test::RunProgram(folder, {"sh", "-c", "command -v ffmpeg"}).standard_output;
  ffmpeg.pop_back();
  const std::string script =
      "#!/bin/sh\nfor last; do :; done\ncase $last in file:*) ;; *) exec " + ffmpeg +
      " \"$@\";; esac\n" + ffmpeg +
      " \"$@\" && f=${last#file:} && truncate -s $(($(wc -c <\"$f\") / 2)) \"$f\"\n" +
      "[ -n \"$SAY_SO\" ] && echo \"Error writing trailer of $last\" >&2\nexit 0\n";
  mkdir(folder.Path("bin").c_str(), 0755);
  WriteBytes(folder.Path("bin/ffmpeg"), std::vector<uint8_t>(script.begin(), script.end()));
  chmod(folder.Path("bin/ffmpeg").c_str(), 0755);
}

TEST(OutputFiles, AVideoFfmpegFailedToFinishReplacesNothing) {
  ScratchFolder folder;
  InstallLossyFfmpeg(folder);
  WriteBytes(folder.Path("in.raw"), korvel_test::RandomFrames({48, 40, 3}, 20, 6));
  WriteBytes(folder.Path("keep.mkv"), kOld);
  const std::string path = "PATH=" + folder.Path("bin") + ":$PATH ";
  const auto silent = RunKorvel(folder, {"in.raw", "keep.mkv", "--size", "48x40"}, "", path);
  EXPECT_EQ(silent.status, 1);
  EXPECT_NE(silent.standard_error.find("korvel: cannot write keep.mkv: the finished file holds "),
            std::string::npos)
      << silent.standard_error;
  const auto said =
      RunKorvel(folder, {"in.raw", "keep.mkv", "--size", "48x40"}, "", "SAY_SO=1 " + path);
  EXPECT_EQ(said.status, 1);
  EXPECT_NE(said.standard_error.find("keep.mkv\nkorvel: cannot write keep.mkv: ffmpeg reported "
                                     "an error, above\n"),
            std::string::npos)
      << said.standard_error;
  EXPECT_EQ(ReadBytes(folder.Path("keep.mkv")), kOld);
  EXPECT_EQ(folder.Names(), (Names{"bin", "in.raw", "keep.mkv"}));
}

}  // namespace
