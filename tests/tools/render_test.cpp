// glimmerweave-render: its command line, the files it writes and what it does when it
// cannot write them, and the report of a long run's progress.
#include "render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "png_writer.h"
#include "ppm_writer.h"
#include "safe_file.h"

#ifdef _WIN32
#include "win32_system_text.h"
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace glimmerweave {
namespace {

namespace fs = std::filesystem;

// The system's reason for a file in a folder that does not exist.
std::string missingFolder() {
#ifdef _WIN32
  return systemMessage(3);  // ERROR_PATH_NOT_FOUND
#else
  return std::strerror(ENOENT);
#endif
}

// The names in `folder`: what a write left there, temporary files included.
std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  EXPECT_TRUE(in) << "cannot open " << file;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

RenderCommand parse(const std::vector<std::string>& arguments) {
  return parseRenderCommand(arguments);
}

// The error message for arguments that must be refused.
std::string refusal(const std::vector<std::string>& arguments) {
  const RenderCommand command = parse(arguments);
  EXPECT_EQ(command.kind, RenderCommand::Kind::Error);
  return command.error;
}

TEST(RenderCommandLine, DefaultsAndEveryOption) {
  RenderCommand command = parse({"--output", "a.png"});
  ASSERT_EQ(command.kind, RenderCommand::Kind::Render);
  EXPECT_EQ(command.options.algorithm, 15);
  EXPECT_EQ(command.options.width, 800);
  EXPECT_EQ(command.options.height, 600);
  EXPECT_EQ(command.options.brightness, 100);
  EXPECT_EQ(command.options.speed, 5);
  EXPECT_FALSE(command.options.seed.has_value());
  EXPECT_FALSE(command.options.phaseA.has_value());
  EXPECT_EQ(command.options.ticks, 1);
  EXPECT_EQ(command.options.frames, 1);

  command = parse({"--algorithm",   "-1",        "--width=0", "--height",  "601",
                   "--brightness",  "-50",       "--speed",   "0",         "--seed",
                   "4294967295",    "--phase-a", "1",         "--phase-b", "2.5e0",
                   "--step-a",      "-0.05",     "--step-b",  ".05",       "--z0",
                   "0.1",           "--ticks",   "3",         "--frames",  "2",
                   "--output=b.png"});
  ASSERT_EQ(command.kind, RenderCommand::Kind::Render) << command.error;
  const RenderOptions& o = command.options;
  EXPECT_EQ(o.algorithm, -1);
  EXPECT_EQ(o.width, 0);
  EXPECT_EQ(o.height, 601);
  EXPECT_EQ(o.brightness, -50);
  EXPECT_EQ(o.speed, 0);
  EXPECT_EQ(o.seed, 4294967295u);
  EXPECT_EQ(o.phaseA, 1.0L);
  EXPECT_EQ(o.phaseB, 2.5L);
  EXPECT_EQ(o.stepA, -0.05L);
  EXPECT_EQ(o.stepB, 0.05L);
  EXPECT_EQ(o.z0, 0.1L) << "read into long double, not double";
  EXPECT_EQ(o.ticks, 3);
  EXPECT_EQ(o.frames, 2);
  EXPECT_EQ(o.output, "b.png");

  EXPECT_EQ(parse({"--help"}).kind, RenderCommand::Kind::Help);
  EXPECT_NE(std::string(renderUsage()).find("--phase-a"), std::string::npos);
}

TEST(RenderCommandLine, RefusesBadOptionsWithAReason) {
  EXPECT_NE(refusal({"--output", "a.png", "--colour", "3"}).find("unknown option '--colour'"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--width"}).find("--width needs a value"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--speed", "fast"}).find("not 'fast'"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--width", "802"}).find("0 to 801"), std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--height", "-1"}).find("0 to 601"), std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--seed", "4294967296"}).find("--seed"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--phase-a", "nan"}).find("finite decimal"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--z0", "1e99999"}).find("finite decimal"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--algorithm", "99999999999"}).find("--algorithm"),
            std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--ticks", "0"}).find("--ticks"), std::string::npos);
  EXPECT_NE(refusal({"--output", "a.png", "--frames", "1.5"}).find("--frames"), std::string::npos);
  EXPECT_NE(refusal({"--width", "10"}).find("no output file"), std::string::npos);
  EXPECT_NE(refusal({"--output="}).find("--output needs a file name"), std::string::npos);
  // A whole number starts with a sign or a digit: no white space of any kind before it.
  for (const char* padded : {" 5", "\t5", "\n5", "\v5", "\f5", "\r5"})
    EXPECT_NE(refusal({"--output", "a.png", "--width", padded}).find("--width takes"),
              std::string::npos)
        << "'" << padded << "' was taken as a width";
  EXPECT_EQ(parse({"--output", "a.png", "--width", "+5"}).options.width, 5);
}

TEST(RenderCommandLine, PicksPpmForNamesEndingInPpmInAnyCase) {
  for (const char* name :
       {"a.ppm", "a.PPM", "a.Ppm", "dir/x.pPm", "dir\\x.ppm", "a.png.ppm", "frame0007.ppm"})
    EXPECT_EQ(imageFormatOf(name), ImageFormat::Ppm) << name;
  for (const char* name : {"a.png", "a", "a.ppm.png", "a.ppmx", "a.pp", "a.ppm ", "dir.ppm/frame",
                           "dir.ppm\\frame", ".ppm", "dir/.ppm", "appm", "a.jpg"})
    EXPECT_EQ(imageFormatOf(name), ImageFormat::Png) << name;
  // Numbered frames keep their format.
  EXPECT_EQ(imageFormatOf(numberedFileName("clip.PPM", 3)), ImageFormat::Ppm);
  EXPECT_EQ(imageFormatOf(numberedFileName("clip.png", 3)), ImageFormat::Png);
  EXPECT_NE(std::string(renderUsage()).find(".ppm"), std::string::npos);
}

TEST(RenderCommandLine, NumbersFramesBeforeTheExtension) {
  EXPECT_EQ(numberedFileName("out.png", 7), "out0007.png");
  EXPECT_EQ(numberedFileName("dir.v2/frame", 12), "dir.v2/frame0012");
  EXPECT_EQ(numberedFileName("a/b.c/x.y.png", 9999), "a/b.c/x.y9999.png");
  EXPECT_EQ(numberedFileName(".hidden", 0), ".hidden0000");
}

class RenderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory = fs::temp_directory_path() / (std::string("glimmerweave-render-") + info->name());
    fs::remove_all(directory);
    fs::create_directories(directory);
  }
  void TearDown() override { fs::remove_all(directory); }

  std::string path(const std::string& name) const { return (directory / name).string(); }

  int run(const std::vector<std::string>& arguments) {
    out.str("");
    log.str("");
    return renderMain(arguments, out, log);
  }

  static std::string bytes(const std::string& file) { return bytesOf(file); }

  std::set<std::string> names() const { return namesIn(directory); }

  static RgbImage read(const std::string& file) {
    RgbImage image;
    std::string error;
    EXPECT_TRUE(readPng(file, image, error)) << file << ": " << error;
    return image;
  }

  static std::array<int, 3> pixel(const RgbImage& image, int column, int row) {
    const auto i = (std::size_t(row) * image.width + column) * 3;
    return {image.pixels[i], image.pixels[i + 1], image.pixels[i + 2]};
  }

  fs::path directory;
  std::ostringstream out, log;
};

TEST_F(RenderFiles, WorkedExamplesAtChosenPhases) {
  struct Case {
    const char* algorithm;
    int column, row;
    std::array<int, 3> rgb;
  };
  for (const Case& c : {Case{"0", 600, 225, {6, 0, 0}}, Case{"1", 600, 225, {250, 160, 1}},
                        Case{"12", 600, 225, {172, 73, 10}}, Case{"15", 600, 225, {95, 236, 0}},
                        Case{"2", 400, 300, {94, -1, -1}}}) {
    const std::string file = path(std::string("worked") + c.algorithm + ".png");
    ASSERT_EQ(run({"--algorithm", c.algorithm, "--phase-a", "1", "--phase-b", "2", "--speed", "0",
                   "--seed", "7", "--output", file}),
              0)
        << log.str();
    const RgbImage image = read(file);
    ASSERT_EQ(image.width, 800);
    ASSERT_EQ(image.height, 600);
    const auto rgb = pixel(image, c.column, c.row);
    EXPECT_EQ(rgb[0], c.rgb[0]) << "algorithm " << c.algorithm;
    if (c.rgb[1] >= 0) {
      EXPECT_EQ(rgb, c.rgb) << "algorithm " << c.algorithm;
    }
  }
}

TEST_F(RenderFiles, FramesAreOneTickApart) {
  const std::vector<std::string> common = {"--algorithm", "22", "--width", "64",
                                           "--height",    "48", "--seed",  "31337"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), common.begin(), common.end());
    return extra;
  };
  ASSERT_EQ(run(with({"--ticks", "2", "--frames", "3", "--output", path("anim.png")})), 0)
      << log.str();
  ASSERT_EQ(run(with({"--ticks", "3", "--output", path("third.png")})), 0);
  ASSERT_EQ(run(with({"--ticks", "4", "--output", path("fourth.png")})), 0);

  EXPECT_NE(read(path("anim0000.png")).pixels, read(path("anim0001.png")).pixels);
  EXPECT_EQ(read(path("anim0001.png")).pixels, read(path("third.png")).pixels);
  EXPECT_EQ(read(path("anim0002.png")).pixels, read(path("fourth.png")).pixels);
  EXPECT_FALSE(fs::exists(path("anim.png")));
}

TEST_F(RenderFiles, ArithmeticErrorWritesThePartialFrame) {
  const std::string file = path("error.png");
  EXPECT_EQ(run({"--algorithm", "9", "--phase-a", "0", "--speed", "0", "--width", "80", "--height",
                 "60", "--seed", "1", "--output", file}),
            3);
  EXPECT_NE(log.str().find("Floating point division by zero at column 40, row 30"),
            std::string::npos)
      << log.str();
  const RgbImage image = read(file);
  EXPECT_EQ(pixel(image, 40, 30), (std::array<int, 3>{0, 0, 0}));
  EXPECT_NE(pixel(image, 39, 30), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(pixel(image, 79, 59), (std::array<int, 3>{0, 0, 0})) << "never computed";
}

TEST_F(RenderFiles, UnwritableFileIsABadUsage) {
  const std::string file = path("missing/dir/x.png");
  EXPECT_EQ(run({"--width", "8", "--height", "8", "--output", file}), 2);
  EXPECT_EQ(log.str(),
            "glimmerweave-render: cannot write '" + file + "': " + missingFolder() + "\n");
  EXPECT_EQ(names(), std::set<std::string>{});
}

TEST_F(RenderFiles, EmptyFrameWritesNothing) {
  EXPECT_EQ(run({"--width", "0", "--output", path("empty.png")}), 0);
  EXPECT_FALSE(fs::exists(path("empty.png")));
  EXPECT_NE(log.str().find("no image was written"), std::string::npos);
}

TEST_F(RenderFiles, PpmHoldsTheSamePixelsAsPng) {
  const std::vector<std::string> options = {"--algorithm", "12", "--width", "64",
                                            "--height",    "48", "--seed",  "99"};
  auto with = [&](const std::string& file) {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--output", path(file)});
    return arguments;
  };
  ASSERT_EQ(run(with("frame.png")), 0) << log.str();
  ASSERT_EQ(run(with("frame.ppm")), 0) << log.str();
  const RgbImage png = read(path("frame.png"));
  ASSERT_EQ(png.width, 64);
  ASSERT_EQ(png.height, 48);
  EXPECT_EQ(bytes(path("frame.ppm")),
            "P6\n64 48\n255\n" + std::string(png.pixels.begin(), png.pixels.end()));
}

TEST_F(RenderFiles, PpmFramesAreNumberedAndKeepTheirExtension) {
  ASSERT_EQ(run({"--algorithm", "22", "--width", "8", "--height", "6", "--seed", "5", "--frames",
                 "2", "--output", path("clip.PPM")}),
            0)
      << log.str();
  for (const char* file : {"clip0000.PPM", "clip0001.PPM"})
    EXPECT_EQ(bytes(path(file)).substr(0, 11), "P6\n8 6\n255\n") << file;
  EXPECT_NE(bytes(path("clip0000.PPM")), bytes(path("clip0001.PPM")));
  EXPECT_FALSE(fs::exists(path("clip.PPM")));
}

TEST_F(RenderFiles, EmptyPpmFrameWritesNothing) {
  EXPECT_EQ(run({"--height", "0", "--output", path("empty.ppm")}), 0);
  EXPECT_FALSE(fs::exists(path("empty.ppm")));
  EXPECT_NE(log.str().find("no image was written"), std::string::npos);
}

TEST_F(RenderFiles, UnwritablePpmIsABadUsage) {
  const std::string file = path("missing/dir/x.ppm");
  EXPECT_EQ(run({"--width", "8", "--height", "8", "--output", file}), 2);
  EXPECT_EQ(log.str(),
            "glimmerweave-render: cannot write '" + file + "': " + missingFolder() + "\n");
  EXPECT_EQ(names(), std::set<std::string>{});
}

// A small image whose bytes include 10 and 13, which a file written in text mode on
// Windows would change.
RgbImage sampleImage() {
  RgbImage image;
  image.width = 3;
  image.height = 2;
  image.pixels = {255, 0, 10, 13, 10, 0, 1, 2, 3, 128, 64, 32, 0, 0, 0, 10, 13, 255};
  return image;
}

TEST_F(RenderFiles, PpmWriterWritesTheHeaderAndTheBytesExactly) {
  const RgbImage image = sampleImage();
  std::string error;
  ASSERT_TRUE(writePpm(path("sample.ppm"), image, error)) << error;
  EXPECT_EQ(bytes(path("sample.ppm")),
            std::string("P6\n3 2\n255\n") + std::string(image.pixels.begin(), image.pixels.end()));
}

TEST_F(RenderFiles, PpmWriterRefusesImagesWithoutPixelsOrWithTheWrongCount) {
  RgbImage image = sampleImage();
  std::string error;
  image.width = 0;
  EXPECT_FALSE(writePpm(path("zero.ppm"), image, error));
  EXPECT_NE(error.find("at least one pixel"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path("zero.ppm")));

  image = sampleImage();
  image.pixels.pop_back();
  error.clear();
  EXPECT_FALSE(writePpm(path("short.ppm"), image, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(path("short.ppm")));

  error.clear();
  EXPECT_FALSE(writePpm(path("missing/dir/x.ppm"), sampleImage(), error));
  EXPECT_EQ(error, "cannot write '" + path("missing/dir/x.ppm") + "': " + missingFolder());
}

TEST_F(RenderFiles, PngWriterKeepsEveryPixel) {
  const RgbImage image = sampleImage();
  std::string error;
  ASSERT_TRUE(writePng(path("sample.png"), image, error)) << error;
  EXPECT_EQ(bytes(path("sample.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  const RgbImage back = read(path("sample.png"));
  EXPECT_EQ(back.width, 3);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, image.pixels);
}

TEST_F(RenderFiles, PngWriterSaysWhatWentWrong) {
  std::string error;
  EXPECT_FALSE(writePng(path("missing/dir/x.png"), sampleImage(), error));
  EXPECT_EQ(error, "cannot write '" + path("missing/dir/x.png") + "': " + missingFolder());

  RgbImage image = sampleImage();
  image.pixels.pop_back();
  error.clear();
  EXPECT_FALSE(writePng(path("short.png"), image, error));
  EXPECT_EQ(error.rfind("cannot write '" + path("short.png") + "': the image's pixels", 0), 0)
      << error;
  EXPECT_FALSE(fs::exists(path("short.png")));

  RgbImage none;
  error.clear();
  EXPECT_FALSE(readPng(path("none.png"), none, error));
  EXPECT_FALSE(error.empty());
}

TEST_F(RenderFiles, BadOptionsExitWith2AndHelpWith0) {
  EXPECT_EQ(run({"--output", path("x.png"), "--bogus"}), 2);
  EXPECT_NE(log.str().find("unknown option"), std::string::npos);
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.str().find("Usage"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Writing files without destroying what their names named

TEST(SafeFileNames, TemporaryFileIsAHiddenNameInTheSameFolder) {
  EXPECT_EQ(temporaryFileName("out.png", 12, 3), ".out.png.tmp-12-3");
  EXPECT_EQ(temporaryFileName("dir/sub/out.png", 12, 0), "dir/sub/.out.png.tmp-12-0");
  EXPECT_EQ(temporaryFileName("C:\\frames\\out.ppm", 7, 1), "C:\\frames\\.out.ppm.tmp-7-1");
  EXPECT_EQ(temporaryFileName("C:out.png", 7, 1), "C:.out.png.tmp-7-1");
  EXPECT_EQ(temporaryFileName(L"dir\\out.png", 5, 2), L"dir\\.out.png.tmp-5-2");
  EXPECT_NE(temporaryFileName("out.png", 12, 3), temporaryFileName("out.png", 12, 4));
  EXPECT_NE(temporaryFileName("out.png", 12, 3), temporaryFileName("out.png", 13, 3));

  // A name as long as a name may be still gives one that fits.
  const std::string longName(255, 'n');
  const std::string temporary = temporaryFileName("dir/" + longName, 4294967295UL, 99);
  EXPECT_EQ(temporary.rfind("dir/.nnn", 0), 0u) << temporary;
  EXPECT_LE(temporary.size() - 4, 255u) << temporary;
}

TEST(CannotWrite, NamesTheFileAndTheReason) {
  EXPECT_EQ(cannotWrite("x.png", "No space left on device"),
            "cannot write 'x.png': No space left on device");
}

#ifdef _WIN32
TEST(SystemMessage, IsTheSystemsTextWithoutItsFullStop) {
  const std::string text = systemMessage(3);  // ERROR_PATH_NOT_FOUND
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.') << text;
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("error 0x"), std::string::npos) << text;
  // A code the system has no text for is still said.
  EXPECT_EQ(systemMessage(0x2000FFFFUL), "error 0x2000FFFF");
}
#endif

TEST_F(RenderFiles, WriteReplacesAnExistingFileAndLeavesNoTemporaryFile) {
  writeBytes(path("frame.ppm"), "the bytes of an older frame");
  std::string error;
  ASSERT_TRUE(writeFileSafely(path("frame.ppm"), "new", error)) << error;
  EXPECT_EQ(bytes(path("frame.ppm")), "new");
  EXPECT_EQ(names(), std::set<std::string>{"frame.ppm"});

  ASSERT_TRUE(writeFileSafely(path("fresh.ppm"), std::string("\0\n\r\n", 4), error)) << error;
  EXPECT_EQ(bytes(path("fresh.ppm")), std::string("\0\n\r\n", 4)) << "written as they are";
  EXPECT_EQ(names(), (std::set<std::string>{"frame.ppm", "fresh.ppm"}));
}

TEST_F(RenderFiles, RenderingReplacesEveryFrameOfAnAnimation) {
  for (const char* name : {"clip0000.png", "clip0001.png", "clip0000.ppm"})
    writeBytes(path(name), "older");
  ASSERT_EQ(run({"--width", "8", "--height", "6", "--seed", "3", "--frames", "2", "--output",
                 path("clip.png")}),
            0)
      << log.str();
  ASSERT_EQ(run({"--width", "8", "--height", "6", "--output", path("clip0000.ppm")}), 0)
      << log.str();
  EXPECT_EQ(read(path("clip0000.png")).width, 8);
  EXPECT_EQ(read(path("clip0001.png")).width, 8);
  EXPECT_EQ(bytes(path("clip0000.ppm")).substr(0, 11), "P6\n8 6\n255\n");
  EXPECT_EQ(names(), (std::set<std::string>{"clip0000.png", "clip0001.png", "clip0000.ppm"}));
}

TEST_F(RenderFiles, AFolderInTheWayIsReportedAndKept) {
  fs::create_directory(path("frame.png"));
  writeBytes(path("frame.png") + "/inside", "kept");
  EXPECT_EQ(run({"--width", "8", "--height", "6", "--output", path("frame.png")}), 2);
  EXPECT_EQ(log.str().rfind("glimmerweave-render: cannot write '" + path("frame.png") + "': ", 0),
            0u)
      << log.str();
  EXPECT_TRUE(fs::is_directory(path("frame.png")));
  EXPECT_EQ(bytes(path("frame.png") + "/inside"), "kept");
  EXPECT_EQ(names(), std::set<std::string>{"frame.png"});
}

#ifndef _WIN32
// Natively: links, permissions, FIFOs, devices and a full disk. The cases that need root
// (to mount a small file system, to make device nodes) skip without it, saying so. Their
// scratch folders are in the build tree, beside this program.
class RenderFilesInBuildTree : public RenderFiles {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory =
        fs::read_symlink("/proc/self/exe").parent_path() / "render_test-scratch" / info->name();
    unmountSmallDisk();
    fs::remove_all(directory);
    fs::create_directories(directory);
  }
  void TearDown() override {
    unmountSmallDisk();
    fs::remove_all(directory);
    std::error_code ignored;  // the folder of all cases goes once it is empty
    fs::remove(directory.parent_path(), ignored);
  }

  // Mounts a file system of 64 KiB at `disk`; false, with the reason in `why`, when it
  // cannot.
  bool mountSmallDisk(std::string& why) {
    if (::geteuid() != 0) {
      why = "mounting a small tmpfs needs root";
      return false;
    }
    fs::create_directory(disk());
    if (::mount("tmpfs", disk().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
      why = std::string("mounting a small tmpfs failed: ") + std::strerror(errno);
      return false;
    }
    mounted = true;
    return true;
  }

  // Unmounts it, even when the case failed; also a disk left by a run that was killed.
  void unmountSmallDisk() {
    if (mounted || fs::exists(disk())) ::umount2(disk().c_str(), MNT_DETACH);
    mounted = false;
  }

  std::string disk() const { return (directory / "small-disk").string(); }
  std::string onDisk(const std::string& name) const { return disk() + "/" + name; }

  bool mounted = false;
};

TEST_F(RenderFilesInBuildTree, FullDiskKeepsTheExistingFileAndSaysWhy) {
  std::string why;
  if (!mountSmallDisk(why)) GTEST_SKIP() << why;
  for (const char* name : {"frame.png", "frame.ppm"}) {
    const std::string older = std::string("the bytes of an older ") + name;
    writeBytes(onDisk(name), older);
    EXPECT_EQ(run({"--algorithm", "12", "--seed", "5", "--output", onDisk(name)}), 2);
    EXPECT_EQ(log.str(), "glimmerweave-render: cannot write '" + onDisk(name) +
                             "': No space left on device\n");
    EXPECT_EQ(bytes(onDisk(name)), older) << name;

    // Control: the same frame elsewhere is written, and larger than the small disk.
    ASSERT_EQ(run({"--algorithm", "12", "--seed", "5", "--output", path(name)}), 0) << log.str();
    EXPECT_GT(fs::file_size(path(name)), 64u * 1024u) << name;
  }
  EXPECT_EQ(namesIn(disk()), (std::set<std::string>{"frame.png", "frame.ppm"}))
      << "no temporary file is left";
}

TEST_F(RenderFilesInBuildTree, FullDiskEndsAnAnimationAtTheFirstFrameThatDoesNotFit) {
  std::string why;
  if (!mountSmallDisk(why)) GTEST_SKIP() << why;
  // 18014 bytes a frame: three fit in 64 KiB, the fourth does not.
  EXPECT_EQ(run({"--width", "100", "--height", "60", "--seed", "9", "--frames", "5", "--output",
                 onDisk("clip.ppm")}),
            2);
  EXPECT_EQ(log.str(), "glimmerweave-render: cannot write '" + onDisk("clip0003.ppm") +
                           "': No space left on device\n");
  EXPECT_EQ(namesIn(disk()),
            (std::set<std::string>{"clip0000.ppm", "clip0001.ppm", "clip0002.ppm"}));
  for (const char* name : {"clip0000.ppm", "clip0001.ppm", "clip0002.ppm"})
    EXPECT_EQ(fs::file_size(onDisk(name)), 18014u) << name;
}

TEST_F(RenderFilesInBuildTree, DeviceIsWrittenInPlaceAndNeverRemoved) {
  if (::geteuid() != 0) GTEST_SKIP() << "making device nodes (mknod) needs root";
  // The numbers of /dev/full, which refuses every write, and of /dev/null, which takes
  // them (the control: a device is written, not replaced).
  const std::string full = path("full.png"), null = path("null.png");
  ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0) << std::strerror(errno);
  ASSERT_EQ(::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);

  EXPECT_EQ(run({"--width", "20", "--height", "20", "--output", full}), 2);
  EXPECT_EQ(log.str(),
            "glimmerweave-render: cannot write '" + full + "': No space left on device\n");
  EXPECT_EQ(run({"--width", "20", "--height", "20", "--output", null}), 0) << log.str();
  EXPECT_EQ(run({"--width", "20", "--height", "20", "--output", path("null.ppm")}), 0)
      << "a name that is not there yet becomes a file";

  for (const std::string& device : {full, null}) {
    struct stat status {};
    ASSERT_EQ(::lstat(device.c_str(), &status), 0) << device << ": " << std::strerror(errno);
    EXPECT_TRUE(S_ISCHR(status.st_mode)) << device;
  }
  EXPECT_EQ(names(), (std::set<std::string>{"full.png", "null.png", "null.ppm"}));
}

TEST_F(RenderFilesInBuildTree, FifoIsWrittenInPlace) {
  const std::string fifo = path("frame.ppm");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  // The reading end first, without waiting for a writer; the frame fits in the pipe.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0) << std::strerror(errno);
  const std::vector<std::string> options = {"--width", "16", "--height", "12", "--seed", "2"};
  auto with = [&](const std::string& file) {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--output", file});
    return arguments;
  };
  EXPECT_EQ(run(with(fifo)), 0) << log.str();
  std::string received;
  char buffer[4096];
  for (ssize_t count; (count = ::read(reader, buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<std::size_t>(count));
  ::close(reader);

  ASSERT_EQ(run(with(path("expected.ppm"))), 0) << log.str();
  EXPECT_EQ(received, bytes(path("expected.ppm")));
  struct stat status {};
  ASSERT_EQ(::lstat(fifo.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(RenderFilesInBuildTree, LinkKeepsPointingAtTheReplacedFile) {
  writeBytes(path("target.ppm"), "older");
  fs::create_symlink("target.ppm", path("link.ppm"));
  std::string error;
  ASSERT_TRUE(writeFileSafely(path("link.ppm"), "newer", error)) << error;
  EXPECT_TRUE(fs::is_symlink(path("link.ppm")));
  EXPECT_EQ(bytes(path("target.ppm")), "newer");
  EXPECT_EQ(names(), (std::set<std::string>{"link.ppm", "target.ppm"}));
}

TEST_F(RenderFilesInBuildTree, ReplacedFileKeepsItsPermissions) {
  writeBytes(path("frame.ppm"), "older");
  fs::permissions(path("frame.ppm"), fs::perms::owner_read | fs::perms::owner_write |
                                         fs::perms::group_read | fs::perms::others_read |
                                         fs::perms::owner_exec);
  std::string error;
  ASSERT_TRUE(writeFileSafely(path("frame.ppm"), "newer", error)) << error;
  EXPECT_EQ(fs::status(path("frame.ppm")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read | fs::perms::owner_exec);
  EXPECT_EQ(bytes(path("frame.ppm")), "newer");
}
#endif

// ---------------------------------------------------------------------------
// Progress of long runs

// A clock that moves on by `step` each time it is read.
struct SteppingClock {
  std::chrono::steady_clock::duration step;
  std::chrono::steady_clock::time_point now{};
  ProgressOptions options(bool terminal) {
    return {terminal, [this] { return now += step; }};
  }
};

TEST_F(RenderFiles, ShortRunPrintsNothingButProblems) {
  SteppingClock clock{std::chrono::milliseconds(1)};
  ASSERT_EQ(
      renderMain({"--width", "8", "--height", "6", "--frames", "3", "--output", path("clip.png")},
                 out, log, clock.options(false)),
      0);
  EXPECT_EQ(log.str(), "");
  ASSERT_EQ(
      renderMain({"--width", "8", "--height", "6", "--frames", "3", "--output", path("clip.png")},
                 out, log, clock.options(true)),
      0);
  EXPECT_EQ(log.str(), "");
}

TEST_F(RenderFiles, LongRunReportsItsTicksInWholeLinesInALog) {
  // Each tick seems to take a second.
  SteppingClock clock{std::chrono::seconds(1)};
  ASSERT_EQ(renderMain({"--width", "8", "--height", "6", "--ticks", "20", "--frames", "3",
                        "--output", path("clip.png")},
                       out, log, clock.options(false)),
            0);
  const std::string text = log.str();
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_NE(text.find("glimmerweave-render: 2 of 22 ticks (9%), about 20 s left\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("glimmerweave-render: 22 of 22 ticks (100%), done in 22 s\n"),
            std::string::npos)
      << text;
}

TEST_F(RenderFiles, ProblemsDuringAReportOnATerminalStartOnALineOfTheirOwn) {
  SteppingClock clock{std::chrono::seconds(1)};
  EXPECT_EQ(renderMain({"--width", "8", "--height", "6", "--ticks", "5", "--output",
                        path("missing/x.png")},
                       out, log, clock.options(true)),
            2);
  const std::string text = log.str();
  const std::string message = "\nglimmerweave-render: cannot write '" + path("missing/x.png") +
                              "': " + missingFolder() + "\n";
  ASSERT_GT(text.size(), message.size());
  EXPECT_EQ(text.front(), '\r') << text;
  EXPECT_EQ(text.substr(text.size() - message.size()), message) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

}  // namespace
}  // namespace glimmerweave
