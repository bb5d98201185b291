// glimmerweave-render: its command line and the files it writes.
#include "render.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "png_writer.h"

namespace glimmerweave {
namespace {

namespace fs = std::filesystem;

RenderCommand parse(std::vector<std::string> arguments) {
  return parseRenderCommand(arguments);
}

// The error message for arguments that must be refused.
std::string refusal(std::vector<std::string> arguments) {
  const RenderCommand command = parse(std::move(arguments));
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

  int run(std::vector<std::string> arguments) {
    out.str("");
    log.str("");
    return renderMain(arguments, out, log);
  }

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
  EXPECT_NE(log.str().find("frame 3 of 3"), std::string::npos);
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
  EXPECT_EQ(run({"--width", "8", "--height", "8", "--output", path("missing/dir/x.png")}), 2);
  EXPECT_NE(log.str().find("cannot write"), std::string::npos);
}

TEST_F(RenderFiles, EmptyFrameWritesNothing) {
  EXPECT_EQ(run({"--width", "0", "--output", path("empty.png")}), 0);
  EXPECT_FALSE(fs::exists(path("empty.png")));
  EXPECT_NE(log.str().find("no image was written"), std::string::npos);
}

TEST_F(RenderFiles, BadOptionsExitWith2AndHelpWith0) {
  EXPECT_EQ(run({"--output", path("x.png"), "--bogus"}), 2);
  EXPECT_NE(log.str().find("unknown option"), std::string::npos);
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.str().find("Usage"), std::string::npos);
}

}  // namespace
}  // namespace glimmerweave
