// glimmerweave-render: its command line and the files it writes.
#include "render.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "png_writer.h"
#include "ppm_writer.h"

namespace glimmerweave {
namespace {

namespace fs = std::filesystem;

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

  static std::string bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << file;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
  const std::string file = path("missing/dir/x.png");
  EXPECT_EQ(run({"--width", "8", "--height", "8", "--output", file}), 2);
  EXPECT_NE(log.str().find("cannot write '" + file + "'"), std::string::npos) << log.str();
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
  EXPECT_NE(log.str().find("cannot write '" + file + "'"), std::string::npos) << log.str();
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
  EXPECT_NE(error.find("creating the file failed"), std::string::npos) << error;
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
  EXPECT_FALSE(error.empty());
#ifdef _WIN32
  // The Windows Imaging Component's failures carry their HRESULT.
  EXPECT_NE(error.find("HRESULT 0x"), std::string::npos) << error;
#endif

  RgbImage image = sampleImage();
  image.pixels.pop_back();
  error.clear();
  EXPECT_FALSE(writePng(path("short.png"), image, error));
  EXPECT_FALSE(error.empty());
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

}  // namespace
}  // namespace glimmerweave
